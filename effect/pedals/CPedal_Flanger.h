#pragma once

#include <memory>

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/CTapeDelay.h"
#include "framework/dsp/Relaxed.h"

// Two short tape lines, one per side, swept in opposite phase by their LFOs,
// with a little negative feedback. The wet level never reaches 0.
class CPedal_Flanger : public CPedalFX {
public:
    CPedal_Flanger() = default;

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void destroy() override;
    void setParameter(int index, float value) override;

    const CTapeDelay* line(int i) const { return lines_[i].get(); }

private:
    ~CPedal_Flanger() override = default;

    double sampleRate_ = 44100.0;
    tb::Relaxed<float> level_{0.5f};
    tb::Relaxed<float> sweepRate_{0.5f}; // Hz
    tb::Relaxed<float> delaySetting_{0.01f};
    std::unique_ptr<CTapeDelay> lines_[2];
};
