#pragma once

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/ChangeCount.h"
#include "framework/dsp/Relaxed.h"

#include <atomic>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Six first-order all-pass stages per side with feedback, swept by a cosine
// LFO; the swept signal is added to the dry one. Knobs are only stored here:
// process() derives its settings from them at the start of the first block
// after a change.
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

    static constexpr int kChunk = 64;  // frames swept at a time

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
    // Derived from the rate: the sweep's floor (50 Hz) and its span up to
    // 20 kHz, as fractions of the rate.
    float floor_ = static_cast<float>(50.0 / 44100.0);
    float span_ = static_cast<float>(20000.0 / 44100.0) - floor_;
    // What the knobs make of a block, worked out again only when a knob or
    // the rate has changed since (changes_ counts them): the
    // four relaxed loads and their arithmetic cost every block as much as
    // a frame's sweep.
    struct Settings {
        float baseTarget = 0.0f, mixTarget = 0.0f;
        float increment = 0.0f;  // the sweep's step
        float width = 0.0f;  // the sweep's depth
    };
    void takeSettings();
    Settings settings_;  // the audio thread's
    tb::ChangeCount changes_;  // counts knob and rate changes
#if defined(__SSE2__)
    // Both sides' stages and feedback values, left in lane 0 and right in
    // lane 1, kept in lanes from block to block: moving them in and out of
    // the sides cost a third of a 16-frame block's work outside the stages.
    __m128 stages_[kStages] = {};
    __m128 feedback_ = {};
#else
    Side left_;
    Side right_;
#endif
    float phase_ = 0.0f;  // radians
    float smoothedBase_ = -1.0f;  // below 0: not started, takes its target at once
    float smoothedMix_ = -1.0f;
};
