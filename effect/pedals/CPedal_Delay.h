#pragma once

#include <memory>

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/CTapeDelay.h"
#include "framework/dsp/Relaxed.h"

// An echo: one second of tape per side, with repeats through the line's
// feedback and a faint 1 Hz wow. The wet level never reaches 0.
class CPedal_Delay : public CPedalFX {
public:
    CPedal_Delay() = default;

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void destroy() override;
    void setParameter(int index, float value) override;

    const CTapeDelay* line(int i) const { return lines_[i].get(); }

private:
    ~CPedal_Delay() override = default;

    double sampleRate_ = 44100.0;
    tb::Relaxed<float> level_{-0.1f};
    tb::Relaxed<float> time_{0.1f};
    tb::Relaxed<float> feedback_{0.0f};
    std::unique_ptr<CTapeDelay> lines_[2];
};
