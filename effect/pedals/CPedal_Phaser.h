#pragma once

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/Relaxed.h"

// Six first-order all-pass stages per side with feedback, swept by a cosine
// LFO; the swept signal is added to the dry one. Knobs are only stored here:
// process() derives everything at the start of each block.
class CPedal_Phaser : public CPedalFX {
public:
    static constexpr int kStages = 6;

    CPedal_Phaser() = default;

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

private:
    ~CPedal_Phaser() override = default;

    struct Side {
        float stage[kStages] = {};
        float feedback = 0.0f;
        float run(float x, float k, float fb);
    };

    tb::Relaxed<float> rate_ {0.0f};  // knob 0
    tb::Relaxed<float> mix_ {0.0f};  // knob 3
    tb::Relaxed<float> base_ {0.0f};  // knob 1
    tb::Relaxed<float> depth_ {0.0f};  // knob 2
    double sampleRate_ = 44100.0;
    Side left_;
    Side right_;
    float phase_ = 0.0f;  // radians
    float smoothedBase_ = -1.0f;  // below 0: not started, takes its target at once
    float smoothedMix_ = -1.0f;
};
