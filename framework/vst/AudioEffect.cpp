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
    case effOpen: return dispatchOpen();
    case effClose: return dispatchClose();
    case effSetProgram: return dispatchSetProgram(value);
    case effGetProgram: return getProgram();
    case effSetProgramName: return dispatchText(&AudioEffect::setProgramName, text);
    case effGetProgramName: return dispatchText(&AudioEffect::getProgramName, text);
    case effGetParamLabel: return dispatchParameterText(&AudioEffect::getParameterLabel, index, text);
    case effGetParamDisplay: return dispatchParameterText(&AudioEffect::getParameterDisplay, index, text);
    case effGetParamName: return dispatchParameterText(&AudioEffect::getParameterName, index, text);
    case effGetVu: return dispatchGetVu();
    case effSetSampleRate: return dispatchSetSampleRate(opt);
    case effSetBlockSize: return dispatchSetBlockSize(value);
    case effMainsChanged: return dispatchMainsChanged(value);
    case effEditGetRect: return dispatchEditGetRect(ptr);
    case effEditOpen: return dispatchEditOpen(ptr);
    case effEditClose: return dispatchEditClose();
    case effEditIdle: return dispatchEditIdle();
    case effIdentify: return kEffectIdentify;
    case effGetChunk: return dispatchGetChunk(index, ptr);
    case effSetChunk: return dispatchSetChunk(index, value, ptr);
    default: return 0;
    }
}

// ---- one handler per core opcode ----------------------------------------------

VstIntPtr AudioEffect::dispatchOpen()
{
    open();
    return 0;
}

VstIntPtr AudioEffect::dispatchClose()
{
    close();
    return 0;
}

VstIntPtr AudioEffect::dispatchSetProgram(VstIntPtr value)
{
    if (value >= 0 && value < numPrograms)
        setProgram(static_cast<VstInt32>(value));
    return 0;
}

VstIntPtr AudioEffect::dispatchText(void (AudioEffect::*get)(char*), char* text)
{
    if (text)
        (this->*get)(text);
    return 0;
}

VstIntPtr AudioEffect::dispatchParameterText(void (AudioEffect::*get)(VstInt32, char*), VstInt32 index, char* text)
{
    if (text)
        (this->*get)(index, text);
    return 0;
}

VstIntPtr AudioEffect::dispatchGetVu()
{
    const float vu = getVu() * 32767.0f;
    if (!std::isfinite(vu) || std::fabs(vu) > 2147483647.0f)
        return 0;
    return static_cast<VstIntPtr>(vu);
}

VstIntPtr AudioEffect::dispatchSetSampleRate(float opt)
{
    if (std::isfinite(opt) && opt > 0.0f)
        setSampleRate(opt);
    return 0;
}

VstIntPtr AudioEffect::dispatchSetBlockSize(VstIntPtr value)
{
    if (fitsInt32(value))
        setBlockSize(static_cast<VstInt32>(value));
    return 0;
}

VstIntPtr AudioEffect::dispatchMainsChanged(VstIntPtr value)
{
    if (value)
        resume();
    else
        suspend();
    return 0;
}

VstIntPtr AudioEffect::dispatchEditGetRect(void* ptr)
{
    if (editor && ptr)
        return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    return 0;
}

VstIntPtr AudioEffect::dispatchEditOpen(void* ptr)
{
    if (editor)
        return editor->open(ptr) ? 1 : 0;
    return 0;
}

VstIntPtr AudioEffect::dispatchEditClose()
{
    if (editor)
        editor->close();
    return 0;
}

VstIntPtr AudioEffect::dispatchEditIdle()
{
    if (editor)
        editor->idle();
    return 0;
}

VstIntPtr AudioEffect::dispatchGetChunk(VstInt32 index, void* ptr)
{
    if (!ptr)
        return 0;
    return getChunk(static_cast<void**>(ptr), index != 0);
}

VstIntPtr AudioEffect::dispatchSetChunk(VstInt32 index, VstIntPtr value, void* ptr)
{
    if (!ptr || value < 0 || !fitsInt32(value))
        return 0;
    return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
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
