#pragma once

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/Relaxed.h"

// Feed-forward compressor with one gain per channel. Above the threshold T
// a level x gets the gain T / (T + h (x - T)) and so comes out at
// x T / (T + h (x - T)): h = 1 holds it at T (a limiter), a small h lets it
// pass nearly unchanged. The ratio knob sets h = 1 / ((1 - v) 30 + 1): fully
// down h = 1/31, the gentlest setting; fully up h = 1, limiting. The gain
// moves toward its target by an attack or release fraction per sample.
//
// Knobs: 0 threshold (-64..0 dB, applied at once), 1 ratio, 2 attack,
// 3 release (read at the start of each block), 4 none.
class CPedal_Compressor : public CPedalFX {
public:
    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    // Read-only views for tests.
    float gainLeft() const { return gainLeft_; }
    float gainRight() const { return gainRight_; }
    float threshold() const { return threshold_; }

    // 10^((1 - v) * -64 / 20): the linear threshold for knob value v.
    static float thresholdForKnob(float v);

private:
    float step(float x, float& gain, float T, float h, float attack, float release) const;

    float gainLeft_ = 0.0f;
    float gainRight_ = 0.0f;
    tb::Relaxed<double> sampleRate_ {44100.0};
    tb::Relaxed<float> knob2_ {0.5f};
    tb::Relaxed<float> knob3_ {0.5f};
    tb::Relaxed<float> knob1_ {0.5f};
    tb::Relaxed<float> threshold_ {1.0f};
};
