#include "framework/vst/AudioEffect.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Host values arrive pointer-sized; anything that does not fit 32 bits is not
// a value this interface can mean.
bool fitsInt32(VstIntPtr v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster)
    , numPrograms(numPrograms)
    , numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &AudioEffect::entryDispatcher;
    cEffect.process = &AudioEffect::entryProcess;
    cEffect.setParameter = &AudioEffect::entrySetParameter;
    cEffect.getParameter = &AudioEffect::entryGetParameter;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = &AudioEffect::entryProcessReplacing;
    cEffect.processDoubleReplacing = &AudioEffect::entryProcessDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
    editor = nullptr;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!audioMaster)
        return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::processReplacing(float** /*inputs*/, float** outputs, VstInt32 sampleFrames)
{
    if (!outputs || sampleFrames <= 0)
        return;
    for (VstInt32 c = 0; c < cEffect.numOutputs; ++c)
        if (outputs[c])
            std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(sampleFrames));
}

VstIntPtr AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (audioMaster)
        return audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
    return 0;
}

VstInt32 AudioEffect::getMasterVersion()
{
    const VstIntPtr version = callHost(audioMasterVersion);
    if (version == 0 || !fitsInt32(version))
        return 1;
    return static_cast<VstInt32>(version);
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) { return callHost(audioMasterPinConnected, input, 1) == 0; }

bool AudioEffect::isOutputConnected(VstInt32 output) { return callHost(audioMasterPinConnected, output, 0) == 0; }

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (text)
            setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text)
            getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text)
            getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text)
            getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text)
            getParameterName(index, text);
        return 0;
    case effGetVu: {
        const float vu = getVu() * 32767.0f;
        if (!std::isfinite(vu) || std::fabs(vu) > 2147483647.0f)
            return 0;
        return static_cast<VstIntPtr>(vu);
    }
    case effSetSampleRate:
        if (std::isfinite(opt) && opt > 0.0f)
            setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (fitsInt32(value))
            setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (editor && ptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        if (editor)
            return editor->open(ptr) ? 1 : 0;
        return 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify: return kEffectIdentify;
    case effGetChunk:
        if (!ptr)
            return 0;
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (!ptr || value < 0 || !fitsInt32(value))
            return 0;
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default: return 0;
    }
}

// ---- the record's entry functions ---------------------------------------------

AudioEffect* AudioEffect::fromRecord(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

VstIntPtr AudioEffect::entryDispatcher(
    AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) noexcept
{
    AudioEffect* self = fromRecord(e);
    if (!self)
        return 0;
    const VstIntPtr result = self->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        // The host's handle dies with this call; the record lives inside the
        // object, so the object goes with it.
        delete self;
        return 1;
    }
    return result;
}

void AudioEffect::entryProcess(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept
{
    if (AudioEffect* self = fromRecord(e))
        self->process(inputs, outputs, sampleFrames);
}

void AudioEffect::entryProcessReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept
{
    if (AudioEffect* self = fromRecord(e))
        self->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::entryProcessDoubleReplacing(
    AEffect* e, double** inputs, double** outputs, VstInt32 sampleFrames) noexcept
{
    if (AudioEffect* self = fromRecord(e))
        self->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::entrySetParameter(AEffect* e, VstInt32 index, float value) noexcept
{
    if (AudioEffect* self = fromRecord(e))
        self->setParameter(index, value);
}

float AudioEffect::entryGetParameter(AEffect* e, VstInt32 index) noexcept
{
    if (AudioEffect* self = fromRecord(e))
        return self->getParameter(index);
    return 0.0f;
}
