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
    const float baseKnob = base_;
    const float baseTarget = std::max(baseKnob * baseKnob, 0.00001f);
    const float mixTarget = std::max(static_cast<float>(mix_), 0.00001f);
    if (smoothedBase_ < 0.0f)
        smoothedBase_ = baseTarget;
    if (smoothedMix_ < 0.0f)
        smoothedMix_ = mixTarget;

    const float fb = std::pow(0.1f, 1.0f / 3.0f) * 0.98f;
    const float rateKnob = rate_;
    const float increment = static_cast<float>(2.0 * rateKnob * rateKnob * 44100.0 / sampleRate_) * 0.0005f;
    const float c = static_cast<float>(50.0 / sampleRate_);
    const float span = static_cast<float>(20000.0 / sampleRate_) - c;
    const float depthKnob = depth_;
    const float width = depthKnob * depthKnob * depthKnob;

#if defined(__SSE2__)
    __m128 stages[kStages];
    for (int j = 0; j < kStages; ++j)
        stages[j] = stages_[j];
    __m128 feedback = feedback_;
#endif
    for (int i = 0; i < frames; ++i) {
        const float w = std::cos(phase_);
        phase_ += increment;
        if (phase_ > kTwoPi)
            phase_ -= kTwoPi;

        float p = (static_cast<float>(width * 0.5f * (w + 1.0f)) + smoothedBase_) * span + c;
        p = std::min(p, 0.499f);
        // Never below the 50 Hz floor: p near 0 puts the stages at the edge of stability.
        p = p >= c ? p : c;
        const float k = (1.0f - p) / (1.0f + p);
        smoothedBase_ += (baseTarget - smoothedBase_) * kSmoothing;

#if defined(__SSE2__)
        // Side::run() on both sides at once, one per lane, in its order.
        const __m128 x = tb::pairOf(left[i], right[i]);
        const __m128 kk = _mm_set1_ps(k);
        const __m128 u = tb::allPassChain(
            stages, kk, _mm_add_ps(_mm_sub_ps(x, _mm_set1_ps(kInputOffset)), _mm_mul_ps(feedback, _mm_set1_ps(fb))));
        feedback = u;
        const __m128 out = _mm_add_ps(_mm_mul_ps(u, _mm_set1_ps(smoothedMix_)), x);
        left[i] = _mm_cvtss_f32(out);
        right[i] = tb::laneOne(out);
#else
        const float yl = left_.run(left[i], k, fb);
        const float yr = right_.run(right[i], k, fb);
        left[i] = yl * smoothedMix_ + left[i];
        right[i] = yr * smoothedMix_ + right[i];
#endif
        smoothedMix_ += (mixTarget - smoothedMix_) * kSmoothing;
    }
#if defined(__SSE2__)
    for (int j = 0; j < kStages; ++j)
        stages_[j] = stages[j];
    feedback_ = feedback;
#endif
}
