#include "effect/reverb/vst/fxReverb.h"

#include "framework/vst/VstText.h"

namespace {

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
    setProgram(0);
}

void fxReverb::setSampleRate(float rate)
{
    AudioEffect::setSampleRate(rate);
    effect_.setSampleRate(rate);
}

void fxReverb::setProgram(VstInt32 program)
{
    if (program < 0 || program >= numPrograms)
        return;
    curProgram = program;
    effect_.loadProgram();
}

void fxReverb::getProgramName(char* name)
{
    if (name)
        vstCopyText(name, effect_.programName(), kVstMaxProgNameLen - 1);
}

void fxReverb::run(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate)
{
    if (!inputs || !outputs)
        return;
    effect_.process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames, accumulate);
}

void fxReverb::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    run(inputs, outputs, sampleFrames, false);
}

void fxReverb::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    run(inputs, outputs, sampleFrames, true);
}
