#pragma once

#include <atomic>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/Biquad.h"
#include "framework/dsp/ChangeCount.h"
#include "framework/dsp/EqBand.h"
#include "framework/dsp/Relaxed.h"

// The distortion pedal. Both channels are summed and split into two
// resonant bands (200 Hz and 1 kHz); each band is interpolated up to eight
// times the sample rate (Catmull-Rom), shaped by an exponential clipper, and
// recombined through two short feedback rings that give the pedal its boxy
// body. A fixed low-pass (set as "500 Hz" but running at the eightfold rate),
// a resonant low-cut and a high-shelf tone control finish the mono result,
// which goes to both channels.
//
// Knobs: 0 drive, 1 short comb length, 2 low-cut resonance, 3 tone, 4 none.
class CPedal_DistModelA : public CPedalFX {
public:
    CPedal_DistModelA() = default;
    ~CPedal_DistModelA() override;

    CPedal_DistModelA(const CPedal_DistModelA&) = delete;
    CPedal_DistModelA& operator=(const CPedal_DistModelA&) = delete;

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    // Read-only views for tests.
    float driveFactor() const { return driveFactor_; }
    float outputGain() const { return outputGain_; }
    int32_t ring1Length() const { return ring1Length_; }
    int32_t ring2Length() const { return ring2Length_; }
    int32_t ring2Capacity() const { return ring2Capacity_; }

    static constexpr int kOversampling = 8;

private:
    // Resonant band-pass in the pedal's own form: y = a1 y1 + (x - x2) b0 - a2 y2.
    struct BandPass {
        float b0 = 0.0f, a1 = 0.0f, a2 = 0.0f;
        float x2 = 0.0f, x1 = 0.0f, y2 = 0.0f, y1 = 0.0f;
        void set(double numerator, double rate);
        float run(float s);
        void clearState() { x2 = x1 = y2 = y1 = 0.0f; }
    };
    // The last three values of a band, oldest first, and the cubic through
    // them and the newest value.
    struct Cubic {
        float c1, c2, c3, y1;
        float at(float t) const { return ((c3 * t + c2) * t + c1) * t + y1; }
#if defined(__SSE2__)
        // at() on four points.
        __m128 at4(__m128 t) const
        {
            __m128 v = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(c3), t), _mm_set1_ps(c2));
            v = _mm_add_ps(_mm_mul_ps(v, t), _mm_set1_ps(c1));
            return _mm_add_ps(_mm_mul_ps(v, t), _mm_set1_ps(y1));
        }
#endif
    };
    static Cubic push(float history[3], float newest);

    void updatePedal();
    void freeRings();
    void takeSettings();

    tb::Relaxed<float> knob0_ {0.5f};
    tb::Relaxed<float> knob1_ {0.5f};
    tb::Relaxed<float> knob3_ {0.5f};
    tb::Relaxed<float> knob2_ {0.5f};

    float* ring1_ = nullptr;
    int32_t ring1Length_ = 0;
    int32_t ring1Index_ = 0;
    float* ring2_ = nullptr;
    tb::Relaxed<int32_t> ring2Length_ {0};  // written by the knob thread
    tb::Relaxed<int32_t> ring2Capacity_ {0};  // read by the knob thread
    int32_t ring2Index_ = 0;

    float history1_[3] = {0.0f, 0.0f, 0.0f};
    float history2_[3] = {0.0f, 0.0f, 0.0f};

    tb::Relaxed<float> sampleRate_ {0.0f};
    tb::Relaxed<float> outputGain_ {1.0f};
    tb::Relaxed<float> driveFactor_ {1.0f};

    // What a block runs with, copied from the relaxed fields above and
    // below only when updatePedal() has published a change since: each
    // relaxed load goes through a register and a stack slot on every
    // block, where plain fields serve the frame loop from where they are.
    struct Settings {
        float drive = 1.0f, gain = 1.0f;
        float lpB0 = 0.0f, lpA1 = 0.0f, lpA2 = 0.0f;
        float hpB0 = 0.0f, hpA1 = 0.0f, hpA2 = 0.0f;
        float toneB0 = 1.0f, toneB1 = 0.0f, toneB2 = 0.0f, toneA1 = 0.0f, toneA2 = 0.0f;
    };
    Settings settings_;  // the audio thread's
    tb::ChangeCount changes_;  // counts updatePedal() calls

    BandPass bandPass1_;
    BandPass bandPass2_;
    BiquadSection lowPass_;
    BiquadSection highPass_;
    EqBand tone_;
};
