#pragma once

#include "effect/reverb/PlateEffect.h"
#include "framework/vst/AudioEffect.h"

// The plate reverb as a complete VST effect with one program and 18
// parameters; the sound and the parameters are those of plate::PlateEffect.
class fxReverb : public AudioEffect {
public:
    explicit fxReverb(audioMasterCallback audioMaster);

    void suspend() override { effect_.suspend(); }
    void resume() override { effect_.resume(); }
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    void setParameter(VstInt32 index, float value) override { effect_.setParameter(index, value); }
    float getParameter(VstInt32 index) override { return effect_.getParameter(index); }
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override { effect_.setProgramName(name); }
    void getProgramName(char* name) override;
    // Texts are at most plate::kParamTextSize bytes, terminator included.
    void getParameterLabel(VstInt32 index, char* label) override { effect_.getParameterLabel(index, label); }
    void getParameterDisplay(VstInt32 index, char* text) override { effect_.getParameterDisplay(index, text); }
    void getParameterName(VstInt32 index, char* text) override { effect_.getParameterName(index, text); }

    // The inverse of setParameter: sets a parameter by its natural value.
    void setNaturalValue(VstInt32 index, VstInt32 natural) { effect_.setNaturalValue(index, natural); }
    VstInt32 naturalValue(VstInt32 index) const { return effect_.naturalValue(index); }

    const plate::PlateReverb& plate() const { return effect_.plate(); }

private:
    void run(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate);

    plate::PlateEffect effect_;
};
