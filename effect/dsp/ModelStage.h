#pragma once

#include "framework/dsp/Biquad.h"

#include <cstdint>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// One channel of the amplifier model: two chains of six all-pass sections with
// feedback, a short smeared ring (the "cabinet") and a resonant low-pass.
// Model 0 leaves the signal untouched; 1..5 are the five voicings.
class ModelStage {
public:
    static constexpr int kModels = 5;
    static constexpr int kAllPassStages = 6;

    ModelStage();
    ModelStage(const ModelStage&) = delete;
    ModelStage& operator=(const ModelStage&) = delete;

    // Reallocates the ring for the rate; never called on the audio thread.
    void setSampleRate(double rate);
    // Selects a voicing (clamped to 0..5) and clears the signal memory; the
    // ring already exists, so this is safe on the audio thread.
    void setModel(int model);
    void reset();
    void processModelStage(float* samples, int frames);
    // Both channels at once: the same bits as processModelStage() on each,
    // with left and right in the lanes of SSE2 registers when the two
    // stages' rings are in step (as the chain always keeps them).
    static void processPair(ModelStage& left, float* l, ModelStage& right, float* r, int frames);

    int model() const { return model_; }
    int activeLength() const { return length_; }
    int capacity() const { return capacity_; }

#if defined(__SSE2__)
    // Two stages side by side, left in lane 0 and right in lane 1: their
    // coefficients, rings and whole signal state (both all-pass chains, their
    // feedback values, the low-pass history, the previous sample and the
    // ring index), so that a run needs nothing from the stages themselves.
    struct PairLanes {
        __m128 s1[kAllPassStages], s2[kAllPassStages];
        __m128 feedback1, feedback2;
        __m128 x1, x2, y1, y2;
        __m128 previous;
        __m128 k1, k2, wet1, wet2;
        __m128 b0, a1, a2;
        float* ringL;  // null when the stages have no ring
        float* ringR;
        int length;
        int index;

        void load(const ModelStage& left, const ModelStage& right);
        void store(ModelStage& left, ModelStage& right) const;
    };
    // Whether processPair() would run the two stages in lanes.
    static bool pairable(const ModelStage& left, const float* l, const ModelStage& right, const float* r, int frames);
    // processPair()'s lane path on everything kept in `lanes`.
    static void runPair(PairLanes& lanes, float* l, float* r, int frames);
#endif

private:
    struct AllPassChain {
        float k = 0.0f;
        float wet = 0.0f;
        float state[kAllPassStages] = {};
        float feedback = 0.0f;

        float run(float in);
        void clear();
    };

    void clearSignal();
    bool ringInStepWith(const ModelStage& other) const;

    double sampleRate_ = 44100.0;
    AllPassChain first_;
    AllPassChain second_;
    std::unique_ptr<float[]> ring_;
    int length_ = 0;
    int index_ = 0;
    int capacity_ = 44100;
    float previous_ = 0.0f;
    BiquadSection lowPass_;
    int model_ = 0;
};

// The chain's two stages, left and right. processPair() moves their whole
// signal state into lanes and back on every call, as much work as the
// filtering of a 16-frame block; the pair keeps that state in lanes from
// block to block instead, and hands it back to the stages only before they
// run on their own. Everything that clears the stages drops the lanes.
class ModelStagePair {
public:
    void setSampleRate(double rate);
    void setModel(int model);
    void reset();
    void process(float* left, float* right, int frames);

    // Settings for inspection; the signal state may live in the lanes.
    const ModelStage& stage(int channel) const { return stages_[channel]; }

private:
    // process() when the state is not in lanes or the block is not usable;
    // kept out of process() so that its common case saves no registers.
    [[gnu::noinline]] void processOtherwise(float* left, float* right, int frames);

    ModelStage stages_[2];
#if defined(__SSE2__)
    ModelStage::PairLanes lanes_;
    bool inLanes_ = false;  // the signal state lives in lanes_, not in the stages
#endif
};
