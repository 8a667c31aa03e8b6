#pragma once

#include "effect/pedals/TapeLinePair.h"
#include "framework/dsp/Relaxed.h"

// An echo: one second of tape per side, with repeats through the line's
// feedback and a faint 1 Hz wow. The wet level never reaches 0.
class CPedal_Delay : public TapeLinePair {
public:
    CPedal_Delay() = default;

    void setSampleRate(double rate) override;
    void setParameter(int index, float value) override;

private:
    ~CPedal_Delay() override = default;

    tb::Relaxed<float> level_ {-0.1f};
    tb::Relaxed<float> time_ {0.1f};
    tb::Relaxed<float> feedback_ {0.0f};
};
