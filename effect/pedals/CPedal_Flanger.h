#pragma once

#include "effect/pedals/TapeLinePair.h"
#include "framework/dsp/Relaxed.h"

// Two short tape lines, one per side, swept in opposite phase by their LFOs,
// with a little negative feedback. The wet level never reaches 0.
class CPedal_Flanger : public TapeLinePair {
public:
    CPedal_Flanger() = default;

    void setSampleRate(double rate) override;
    void setParameter(int index, float value) override;

private:
    ~CPedal_Flanger() override = default;

    tb::Relaxed<float> level_ {0.5f};
    tb::Relaxed<float> sweepRate_ {0.5f};  // Hz
    tb::Relaxed<float> delaySetting_ {0.01f};
};
