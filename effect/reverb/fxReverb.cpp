#include "effect/reverb/fxReverb.h"

#include <new>

#include "framework/vst/VstText.h"

namespace {

constexpr const char* kProgramName = "[1] Default Reverb";

VstInt32 fourChars(char a, char b, char c, char d)
{
    return static_cast<VstInt32>((static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(b) << 16)
        | (static_cast<uint32_t>(c) << 8) | static_cast<uint32_t>(d));
}

}  // namespace

fxReverb::fxReverb(audioMasterCallback audioMaster)
    : AudioEffect(audioMaster, 1, plate::kParamCount)
{
    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing();
    canMono();
    setUniqueID(fourChars('a', 'b', 'c', 'd'));

    program_ = new (std::nothrow) ReverbProgram;
    if (program_) {
        for (int i = 0; i < plate::kParamCount; ++i)
            program_->values[i] = plate::defaultNormalised(i);
        plate::copyText(program_->name, kProgramName, ReverbProgram::kNameSize);
    }
    setProgram(0);

    plate_.setSampleRate(sampleRate);
    plate_.suspend();
    stale_.store(true);
}

fxReverb::~fxReverb() { delete program_; }

void fxReverb::suspend() { plate_.suspend(); }

void fxReverb::resume() { stale_.store(true); }

void fxReverb::setSampleRate(float rate)
{
    AudioEffect::setSampleRate(rate);
    plate_.setSampleRate(rate);
}

void fxReverb::store(VstInt32 index, float normalised, VstInt32 natural)
{
    values_[index] = normalised;
    natural_[index] = natural;
    if (program_)
        program_->values[index] = normalised;
    stale_.store(true, std::memory_order_release);
}

void fxReverb::setParameter(VstInt32 index, float value)
{
    if (!plate::validParam(index))
        return;
    const float v = plate::clampNormalised(value);
    store(index, v, plate::naturalFromNormalised(index, v));
}

void fxReverb::setNaturalValue(VstInt32 index, VstInt32 natural)
{
    if (!plate::validParam(index))
        return;
    const VstInt32 lo = plate::naturalMin(index);
    const VstInt32 hi = plate::naturalMax(index);
    const VstInt32 n = natural < lo ? lo : (natural > hi ? hi : natural);
    store(index, plate::normalisedFromNatural(index, n), n);
}

float fxReverb::getParameter(VstInt32 index) { return plate::validParam(index) ? values_[index].load() : 0.0f; }

VstInt32 fxReverb::naturalValue(VstInt32 index) const { return plate::validParam(index) ? natural_[index].load() : 0; }

void fxReverb::setProgram(VstInt32 program)
{
    if (program < 0 || program >= numPrograms)
        return;
    curProgram = program;
    for (int i = 0; i < plate::kParamCount; ++i)
        setParameter(i, program_ ? program_->values[i] : plate::defaultNormalised(i));
}

void fxReverb::setProgramName(char* name)
{
    if (program_ && name)
        plate::copyText(program_->name, name, ReverbProgram::kNameSize);
}

void fxReverb::getProgramName(char* name)
{
    if (name)
        vstCopyText(name, program_ ? program_->name : "", kVstMaxProgNameLen - 1);
}

void fxReverb::getParameterLabel(VstInt32 index, char* label) { plate::paramLabel(index, label); }

void fxReverb::getParameterName(VstInt32 index, char* text) { plate::paramName(index, text); }

void fxReverb::getParameterDisplay(VstInt32 index, char* text)
{
    if (plate::validParam(index))
        plate::paramDisplay(index, natural_[index], text);
}

void fxReverb::run(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate)
{
    if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1] || sampleFrames <= 0)
        return;
    if (stale_.exchange(false, std::memory_order_acquire)) {
        VstInt32 n[plate::kParamCount];
        for (int i = 0; i < plate::kParamCount; ++i)
            n[i] = natural_[i];
        plate_.update(n);
    }
    plate_.process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames, accumulate);
}

void fxReverb::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    run(inputs, outputs, sampleFrames, false);
}

void fxReverb::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    run(inputs, outputs, sampleFrames, true);
}
