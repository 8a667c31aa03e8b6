#pragma once

#include <atomic>

#include "effect/reverb/PlateReverb.h"
#include "effect/reverb/ReverbParameters.h"
#include "framework/dsp/Relaxed.h"
#include "framework/vst/AudioEffect.h"

// The one program of the reverb: 18 normalised values and a name.
struct ReverbProgram {
    static constexpr int kNameSize = 24;
    float values[plate::kParamCount];
    char name[kNameSize];
};

// A stereo plate reverberator with early reflections, built as a complete
// effect with one program and 18 parameters. Parameter changes are stored and
// flagged; the coefficients follow at the start of the next processing call,
// never in the middle of a block.
class fxReverb : public AudioEffect {
public:
    explicit fxReverb(audioMasterCallback audioMaster);
    ~fxReverb() override;

    void suspend() override;
    void resume() override;
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    // Texts are at most plate::kParamTextSize bytes, terminator included.
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    // The inverse of setParameter: sets a parameter by its natural value.
    void setNaturalValue(VstInt32 index, VstInt32 natural);
    VstInt32 naturalValue(VstInt32 index) const;

    const plate::PlateReverb& plate() const { return plate_; }
    bool coefficientsStale() const { return stale_.load(std::memory_order_relaxed); }

private:
    void store(VstInt32 index, float normalised, VstInt32 natural);
    void run(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate);

    tb::Relaxed<float> values_[plate::kParamCount];
    tb::Relaxed<VstInt32> natural_[plate::kParamCount];
    std::atomic<bool> stale_ {true};
    ReverbProgram* program_ = nullptr;
    plate::PlateReverb plate_;
};
