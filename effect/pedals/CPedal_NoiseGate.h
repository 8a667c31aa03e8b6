#pragma once

#include <cstdint>

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/Relaxed.h"

// Noise gate with a counter and a gain per channel. A channel that stays at
// or below the threshold for more than 0.1 s is faded toward silence (never
// quite: the gain stops at 1e-7); any sample above the threshold opens it
// again at once.
//
// Knobs: 0 opening speed, 1 closing speed (read at the start of each block),
// 2 threshold (-64..0 dB, applied at once); 3 and 4 none.
class CPedal_NoiseGate : public CPedalFX {
public:
    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    // Read-only views for tests.
    float gainLeft() const { return gainLeft_; }
    float gainRight() const { return gainRight_; }
    float threshold() const { return threshold_; }

    static constexpr float kGainFloor = 1e-7f;

private:
    struct Channel {
        int32_t& counter;
        float& gain;
    };
    static float step(float x, Channel c, float T, int32_t hold, float open, float close);

    int32_t counterLeft_ = 0;
    float gainLeft_ = 0.0f;
    int32_t counterRight_ = 0;
    float gainRight_ = 0.0f;
    tb::Relaxed<double> sampleRate_ {44100.0};
    tb::Relaxed<float> knob0_ {0.5f};
    tb::Relaxed<float> knob1_ {0.5f};
    tb::Relaxed<float> threshold_ {0.0f};
};
