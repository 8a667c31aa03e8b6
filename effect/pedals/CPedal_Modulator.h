#pragma once

#include <memory>

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/CTapeDelay.h"
#include "framework/dsp/Relaxed.h"

// Vibrato, tremolo and auto-pan from one LFO rate: the mono sum runs through
// a short swept tape line, is shaped by the tremolo and spread by the pan.
// Only the processed signal comes out; there is no dry path.
class CPedal_Modulator : public CPedalFX {
public:
    CPedal_Modulator() = default;

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    const CTapeDelay* line() const { return line_.get(); }

private:
    ~CPedal_Modulator() override = default;
    void update();

    double sampleRate_ = 44100.0;
    tb::Relaxed<float> knobs_[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    double phase_ = 0.0;  // cycles
    tb::Relaxed<double> increment_ {0.0};  // cycles per sample
    float tremolo_ = 0.0f;
    float pan_ = 0.0f;
    std::unique_ptr<CTapeDelay> line_;
};
