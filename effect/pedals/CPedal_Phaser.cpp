#include "effect/pedals/CPedal_Phaser.h"

#include "framework/dsp/Lanes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTwoPi = 6.2831853f;
// A constant offset at the input keeps the recursive stages out of denormals.
constexpr float kInputOffset = 0.000001f;
constexpr float kSmoothing = 0.001f;

}  // namespace

void CPedal_Phaser::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    floor_ = static_cast<float>(50.0 / rate);
    span_ = static_cast<float>(20000.0 / rate) - floor_;
    changes_.publish();
    reset();
}

void CPedal_Phaser::reset()
{
#if defined(__SSE2__)
    for (__m128& s : stages_)
        s = _mm_setzero_ps();
    feedback_ = _mm_setzero_ps();
#else
    left_ = Side {};
    right_ = Side {};
#endif
    phase_ = 0.0f;
    smoothedBase_ = -1.0f;
    smoothedMix_ = -1.0f;
    // The next block takes the settings again, and with them the smoothed
    // values' start.
    changes_.invalidate();
}

void CPedal_Phaser::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: rate_ = v; break;
    case 1: base_ = v; break;
    case 2: depth_ = v; break;
    case 3: mix_ = v; break;
    default: break;
    }
    // After the knob: a block that sees the new count sees the knob.
    changes_.publish();
}

void CPedal_Phaser::takeSettings()
{
    Settings& s = settings_;
    const float baseKnob = base_;
    s.baseTarget = std::max(baseKnob * baseKnob, 0.00001f);
    s.mixTarget = std::max(static_cast<float>(mix_), 0.00001f);
    const float rateKnob = rate_;
    s.increment = static_cast<float>(2.0 * rateKnob * rateKnob * 44100.0 / sampleRate_) * 0.0005f;
    const float depthKnob = depth_;
    s.width = depthKnob * depthKnob * depthKnob;
    if (smoothedBase_ < 0.0f)
        smoothedBase_ = s.baseTarget;
    if (smoothedMix_ < 0.0f)
        smoothedMix_ = s.mixTarget;
}

float CPedal_Phaser::Side::run(float x, float k, float fb)
{
    float u = x - kInputOffset + feedback * fb;
    for (float& s : stage) {
        const float y = s - k * u;
        s = u + k * y;
        u = y;
    }
    feedback = u;
    return u;
}

void CPedal_Phaser::process(float* left, float* right, int frames)
{
    if (!left || !right)
        return;
    if (changes_.take())
        takeSettings();
    const float baseTarget = settings_.baseTarget;
    const float mixTarget = settings_.mixTarget;
    float base = smoothedBase_;
    float mix = smoothedMix_;

    const float fb = std::pow(0.1f, 1.0f / 3.0f) * 0.98f;
    const float increment = settings_.increment;
    const float c = floor_;
    const float span = span_;
    const float width = settings_.width;
    float phase = phase_;

    // The sweep first, then the stages: the sweep's cosf() call would
    // otherwise force the stages out of their registers on every frame.
    float ks[kChunk];
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        for (int i = 0; i < n; ++i) {
            const float w = std::cos(phase);
            phase += increment;
            if (phase > kTwoPi)
                phase -= kTwoPi;

            float p = (static_cast<float>(width * 0.5f * (w + 1.0f)) + base) * span + c;
            p = std::min(p, 0.499f);
            // Never below the 50 Hz floor: p near 0 puts the stages at the edge of stability.
            p = p >= c ? p : c;
            ks[i] = (1.0f - p) / (1.0f + p);
            base += (baseTarget - base) * kSmoothing;
        }
        // Keeps the compiler from loading the stages before the sweep and
        // then saving and restoring them around its calls.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        float* const l = left + done;
        float* const r = right + done;
#if defined(__SSE2__)
        // Side::run() on both sides at once, one per lane, in its order.
        __m128 s0 = stages_[0], s1 = stages_[1], s2 = stages_[2], s3 = stages_[3], s4 = stages_[4], s5 = stages_[5];
        __m128 feedback = feedback_;
        const __m128 offset = _mm_set1_ps(kInputOffset);
        const __m128 fbLanes = _mm_set1_ps(fb);
        for (int i = 0; i < n; ++i) {
            const __m128 x = tb::pairOf(l[i], r[i]);
            const __m128 k = _mm_set1_ps(ks[i]);
            __m128 u = _mm_add_ps(_mm_sub_ps(x, offset), _mm_mul_ps(feedback, fbLanes));
            u = tb::allPassChain(s0, s1, s2, s3, s4, s5, k, u);
            feedback = u;
            const __m128 out = _mm_add_ps(_mm_mul_ps(u, _mm_set1_ps(mix)), x);
            l[i] = _mm_cvtss_f32(out);
            r[i] = tb::laneOne(out);
            mix += (mixTarget - mix) * kSmoothing;
        }
        stages_[0] = s0;
        stages_[1] = s1;
        stages_[2] = s2;
        stages_[3] = s3;
        stages_[4] = s4;
        stages_[5] = s5;
        feedback_ = feedback;
#else
        for (int i = 0; i < n; ++i) {
            const float yl = left_.run(l[i], ks[i], fb);
            const float yr = right_.run(r[i], ks[i], fb);
            l[i] = yl * mix + l[i];
            r[i] = yr * mix + r[i];
            mix += (mixTarget - mix) * kSmoothing;
        }
#endif
    }
    phase_ = phase;
    smoothedBase_ = base;
    smoothedMix_ = mix;
}
