#include "framework/vst/VstEntry.h"

#include <new>

#include "framework/engine/CPluginDefinition.h"
#include "framework/vst/CVstWrapper.h"
#include "framework/vst/FpuControl.h"

AudioEffect* createVstInstance(audioMasterCallback audioMaster) noexcept
{
    if (CPluginDefinition* definition = pluginDefinition()) {
        definition->formatId = 1;
        definition->setFormatText("VST");
    }
    // Nothing may leave through the host's call: a failed allocation anywhere
    // in building the engine or editor just means no instance.
    try {
        return new CVstWrapper(audioMaster);
    } catch (...) {
        return nullptr;
    }
}

AEffect* vstPluginMain(audioMasterCallback audioMaster) noexcept
{
    if (!audioMaster)
        return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    AudioEffect* effect = createVstInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

AEffect* vstLegacyMain(audioMasterCallback audioMaster) noexcept
{
    enableDenormalFlush();
    return vstPluginMain(audioMaster);
}
