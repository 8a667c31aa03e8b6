#pragma once

#include "framework/dsp/Biquad.h"

#include <cstdint>
#include <memory>

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
    static void runPair(ModelStage& left, float* l, ModelStage& right, float* r, int frames);

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
