#pragma once

#include "effect/dsp/MasterEqualiser.h"
#include "effect/dsp/ModelStage.h"
#include "effect/dsp/ParameterMap.h"
#include "effect/dsp/PedalBox.h"
#include "framework/dsp/Biquad.h"
#include "framework/engine/CFx.h"

#include <atomic>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class CProgram;

// The product's effect unit: 30 Hz input high-pass, smoothed input gain with
// its peak, five pedal boxes in series, the amplifier model, the eight-band
// master equaliser and the smoothed output gain with its peak.
//
// Threads: process() runs on the audio thread. setEffectParameter() runs on
// whichever thread changed a value and only leaves atomics for the audio
// thread (targets, switches, pending requests). reset() and setSampleRate()
// come from the engine under its program-switch handshake, when no block
// renders.
class CDriveEffect : public CFx {
public:
    static constexpr int kBoxes = drive::kBoxes;

    CDriveEffect();
    ~CDriveEffect() override;

    // Input samples that are not finite or lie beyond +-1e6 play as silence,
    // so no host sample can break a recursive state.
    void process(float* inL, float* inR, float* outL, float* outR, int32_t frames) override;
    void reset() override;
    void setSampleRate(double rate) override;

    // Applies one stored program value (index 0..49); other indices are ignored.
    void setEffectParameter(int index, float value);
    // The program the pedal factory reads knob values from (not owned).
    void setProgram(CProgram* program) { program_.store(program, std::memory_order_release); }

    // Peaks of the last block: |L + R| at the input gain and at the output.
    float inputPeak() const { return inputPeak_.load(std::memory_order_relaxed); }
    float outputPeak() const { return outputPeak_.load(std::memory_order_relaxed); }

    // --- inspection (tests, the engine) ---
    const PedalBox& box(int b) const { return boxes_[b]; }
    const ModelStage& modelStage(int channel) const { return models_.stage(channel); }
    const MasterEqualiser& equaliser() const { return equaliser_; }
    bool equaliserOn() const { return equaliserOn_.load(std::memory_order_relaxed); }
    float inputGainTarget() const { return inputTarget_.load(std::memory_order_relaxed); }
    float outputGainTarget() const { return outputTarget_.load(std::memory_order_relaxed); }

    // dB law of the input and output levels: 0 -> -24 dB, 0.5 -> 0 dB, 1 -> +24 dB;
    // values beyond 0..1 act as the ends.
    static float gainForValue(float value);

private:
    // Hands the high-pass coefficients to its lanes.
    void loadHighPass();
    void applyPendingModel();
    // Carries out the boxes' requests and lists the pedals that run.
    void applyBoxRequests();
    // The input limit, high-pass and gain in place; returns the input peak.
    float inputStage(float* left, float* right, int n, float target);
#if defined(__SSE2__)
    template <bool AtRest> float inputLanes(float* left, float* right, int n, float target);
#endif
    // The output gain into the outputs; returns the output peak.
    float outputStage(const float* left, const float* right, float* outL, float* outR, int n, float target);

    // No signal yet: the meters rest until the first block.
    std::atomic<float> inputPeak_ {0.0f};
    std::atomic<float> outputPeak_ {0.0f};
    double sampleRate_ = 44100.0;
    std::atomic<float> inputTarget_ {1.0f};
    float inputGain_ = 1.0f;
    std::atomic<float> outputTarget_ {1.0f};
    float outputGain_ = 1.0f;
    std::atomic<CProgram*> program_ {nullptr};
    PedalBox boxes_[kBoxes];
    // Raised after any box request: the boxes are looked at only then, and
    // otherwise the block runs straight down the list of running pedals.
    std::atomic<bool> boxRequests_ {false};
    // The pedals that run, in chain order, at the end of the array.
    CPedalFX* running_[kBoxes] = {};
    int runningCount_ = 0;
    BiquadSection highPass_[2];
#if defined(__SSE2__)
    // The high-pass as the audio thread runs it, left and right side by side
    // and kept from block to block, so a block does not move coefficients and
    // history in and out of the sections; the sections' own history is left
    // behind.
    struct HighPassLanes {
        __m128 b0, a1, a2;
        __m128 x1, x2, y1, y2;
    };
    HighPassLanes highPassLanes_;
#endif
    MasterEqualiser equaliser_;
    // On until the program says otherwise; its default switches it on anyway.
    std::atomic<bool> equaliserOn_ {true};
    ModelStagePair models_;
    std::atomic<int32_t> pendingModel_ {-1};
};
