#include "effect/pedals/CPedal_DistModelA.h"

#include <cmath>
#include <cstring>
#include <new>

#include "framework/dsp/Flush.h"
#include "framework/dsp/Lanes.h"
#include "framework/dsp/Pow10.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using tb::flush;

namespace {

#if !defined(__SSE2__)
// Exponential clipper: linear around 0, settling at +-1 the faster the
// higher the drive. The SSE2 path does the same four points at a time.
inline float shape(float u, float drive)
{
    if (u >= 0.0f)
        return 1.0f - std::pow(10.0f, -u * drive) * (1.0f - u);
    return -(1.0f - std::pow(10.0f, u * drive) * (1.0f + u));
}
#endif

float* newRing(int32_t n)
{
    float* ring = new (std::nothrow) float[static_cast<size_t>(n)];
    if (ring)
        std::memset(ring, 0, sizeof(float) * static_cast<size_t>(n));
    return ring;
}

}  // namespace

CPedal_DistModelA::~CPedal_DistModelA() { freeRings(); }

void CPedal_DistModelA::freeRings()
{
    delete[] ring1_;
    delete[] ring2_;
    ring1_ = nullptr;
    ring2_ = nullptr;
    ring1Length_ = 0;
    ring2Capacity_ = 0;
    ring1Index_ = 0;
    ring2Index_ = 0;
}

void CPedal_DistModelA::BandPass::set(double numerator, double rate)
{
    const double w = numerator / rate;
    const double sw = std::sin(w);
    const double alpha = sw / 1.98;
    b0 = flush(static_cast<float>(static_cast<float>(0.5 * sw) / (1.0 + alpha)));
    a1 = flush(static_cast<float>(static_cast<float>(2.0 * std::cos(w)) / (1.0 + alpha)));
    a2 = flush(static_cast<float>(static_cast<float>(1.0 - alpha) / (1.0 + alpha)));
}

float CPedal_DistModelA::BandPass::run(float s)
{
    const float y = a1 * y1 + (s - x2) * b0 - a2 * y2;
    // x1 and y1 hold flushed values (the pedal flushes its input), so they
    // move on as they are.
    x2 = x1;
    x1 = s;
    y2 = y1;
    y1 = flush(y);
    return y;
}

CPedal_DistModelA::Cubic CPedal_DistModelA::push(float h[3], float y3)
{
    const float y0 = h[0], y1 = h[1], y2 = h[2];
    Cubic c;
    c.c1 = 0.5f * (y2 - y0);
    c.c3 = 1.5f * (y1 - y2) + 0.5f * (y3 - y0);
    c.c2 = c.c1 - c.c3 - y1 + y0;
    c.y1 = y1;
    h[0] = y1;
    h[1] = y2;
    h[2] = y3;
    return c;
}

void CPedal_DistModelA::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    const float fs = static_cast<float>(rate);
    sampleRate_ = fs;

    freeRings();
    int32_t n1 = static_cast<int32_t>(static_cast<double>(fs) * 8.0 * 0.001);
    int32_t n2 = static_cast<int32_t>(static_cast<double>(fs) * 8.0 * 0.0002);
    if (n1 < 1)
        n1 = 1;
    if (n2 < 1)
        n2 = 1;
    ring1_ = newRing(n1);
    ring2_ = newRing(n2);
    if (!ring1_ || !ring2_) {
        freeRings();  // without its rings the pedal passes the signal unchanged
    } else {
        ring1Length_ = n1;
        ring2Capacity_ = n2;
    }

    bandPass1_.set(1256.6370614359173, fs);
    bandPass2_.set(6283.185307179586, fs);

    tone_.frequency = 2500.0;
    tone_.bandwidth = 3.0;
    tone_.kind = EqBand::HighShelf;

    setLowPass(lowPass_, 500.0, 4.0, fs);

    reset();
    updatePedal();
}

void CPedal_DistModelA::updatePedal()
{
    const float drive = knob0_;
    driveFactor_ = 99.0f * drive * drive + 1.0f;
    outputGain_ = 1.0f / (8.0f * drive + 1.0f);

    const float rate = sampleRate_;
    if (rate > 0.0f) {
        setHighPass(highPass_, 85.0, 30.0 * static_cast<double>(knob2_.load()) + 1.0, rate);
        tone_.gain = (static_cast<double>(knob3_.load()) - 0.5) * 20.0;
        tone_.updateBand(rate);
    }

    const int32_t capacity = ring2Capacity_;
    int32_t length = static_cast<int32_t>(static_cast<float>(capacity) * knob1_.load());
    if (length > capacity - 1)
        length = capacity - 1;
    if (length < 1)
        length = 0;
    ring2Length_ = length;
    // After every field it covers: a block that sees the new count sees
    // them all.
    changes_.publish();
}

void CPedal_DistModelA::takeSettings()
{
    Settings& s = settings_;
    s.drive = driveFactor_;
    s.gain = outputGain_;
    s.lpB0 = lowPass_.b0;
    s.lpA1 = lowPass_.a1;
    s.lpA2 = lowPass_.a2;
    s.hpB0 = highPass_.b0;
    s.hpA1 = highPass_.a1;
    s.hpA2 = highPass_.a2;
    s.toneB0 = tone_.b0;
    s.toneB1 = tone_.b1;
    s.toneB2 = tone_.b2;
    s.toneA1 = tone_.a1;
    s.toneA2 = tone_.a2;
}

void CPedal_DistModelA::reset()
{
    bandPass1_.clearState();
    bandPass2_.clearState();
    if (ring1_)
        std::memset(ring1_, 0, sizeof(float) * static_cast<size_t>(ring1Length_));
    ring1Index_ = 0;
    if (ring2_)
        std::memset(ring2_, 0, sizeof(float) * static_cast<size_t>(ring2Capacity_.load()));
    ring2Index_ = 0;
    lowPass_.clearState();
    highPass_.clearState();
    for (int k = 0; k < 3; ++k)
        history1_[k] = history2_[k] = 0.0f;
}

void CPedal_DistModelA::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: knob0_ = v; break;
    case 1: knob1_ = v; break;
    case 2: knob2_ = v; break;
    case 3: knob3_ = v; break;
    default: break;
    }
    updatePedal();
}

void CPedal_DistModelA::process(float* left, float* right, int frames)
{
    if (!ring1_ || !ring2_ || frames <= 0)
        return;

    if (changes_.take())
        takeSettings();
    const float drive = settings_.drive;
    const float gain = settings_.gain;
    // The comb length may change under us from the knob thread; take it once
    // per block, never beyond the ring, and bring the index back inside.
    int32_t length2 = ring2Length_;
    const int32_t capacity2 = ring2Capacity_;
    if (length2 > capacity2 - 1)
        length2 = capacity2 - 1;
    if (length2 < 1)
        length2 = 0;
    if (ring2Index_ >= length2)
        ring2Index_ = 0;

    // Rings and indices run in locals for the block, the oversampled
    // low-pass's states for a frame's eight steps: stores into the rings
    // could alias members, which would reload and store each of them on
    // every oversampled step. Across frames the states stay in the members;
    // they would be spilled to the stack anyway, and copying them in and
    // out cost every call as much as that.
    float* const ring1 = ring1_;
    float* const ring2 = ring2_;
    const int32_t length1 = ring1Length_;
    int32_t index1 = ring1Index_;
    int32_t index2 = ring2Index_;

#if defined(__SSE2__)
    // The eight oversampled points of both bands go through the clipper four
    // at a time. Every lane does the scalar code's float operations in its
    // order and each 10^x has powf's bits (see Pow10.h), so the output keeps
    // its bits.
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 driveLanes = _mm_set1_ps(drive);
    const __m128 t0 = _mm_setr_ps(0.0f, 0.125f, 0.25f, 0.375f);
    const __m128 t1 = _mm_setr_ps(0.5f, 0.625f, 0.75f, 0.875f);
    // The filters' coefficients as taken above; the knob thread never
    // writes these.
    const Settings& c = settings_;
    for (int k = 0; k < frames; ++k) {
        const float s = flush(left[k] + right[k]);
        const float low = bandPass1_.run(s);
        const float mid = bandPass2_.run(s);
        const Cubic p1 = push(history1_, low * 0.05f);
        const Cubic p2 = push(history2_, mid * 5.0f);

        // u at the points: band 1 in u[0], u[1], band 2 in u[2], u[3].
        const __m128 u[4] = {p1.at4(t0), p1.at4(t1), p2.at4(t0), p2.at4(t1)};
        __m128 w[4], negative[4];
        alignas(16) float power[16];
#pragma GCC unroll 8
        for (int j = 0; j < 4; ++j) {
            // shape(): -u where u >= 0, u where u < 0; the exponent is
            // w * drive and the factor 1 + w on either side.
            negative[j] = _mm_cmplt_ps(u[j], _mm_setzero_ps());
            w[j] = _mm_xor_ps(u[j], _mm_andnot_ps(negative[j], sign));
            _mm_store_ps(power + 4 * j, _mm_mul_ps(w[j], driveLanes));
        }
        // powf's bits, four at a time. Where powf would give a denormal
        // the vector gives 0; 1 - e (1 + w) is then exactly 1 either way, as
        // e (1 + w) stays far below half a float step of 1 (|w| is at most
        // 1e24 there, or powf makes the value).
#pragma GCC unroll 8
        for (int j = 0; j < 16; j += 4)
            tb::pow10NonPositive4(power + j);
        alignas(16) float shaped[16];
#pragma GCC unroll 8
        for (int j = 0; j < 4; ++j) {
            const __m128 v = _mm_sub_ps(one, _mm_mul_ps(_mm_load_ps(power + 4 * j), _mm_add_ps(one, w[j])));
            _mm_store_ps(shaped + 4 * j, _mm_xor_ps(v, _mm_and_ps(negative[j], sign)));
        }
        const float* const r = shaped;
        const float* const g = shaped + kOversampling;

        // The rings: ring 1 is far longer than a frame's eight steps, so
        // they never read what they wrote in this frame; four at a time
        // unless the ring wraps within the frame. Ring 2 may be shorter
        // than eight and then goes step by step.
        alignas(16) float x[kOversampling];
        if (index1 + kOversampling <= length1) {
#pragma GCC unroll 8
            for (int j = 0; j < kOversampling; j += 4) {
                const __m128 old = _mm_loadu_ps(ring1 + index1 + j);
                _mm_storeu_ps(ring1 + index1 + j, _mm_sub_ps(_mm_load_ps(g + j), _mm_mul_ps(_mm_set1_ps(0.25f), old)));
                _mm_store_ps(x + j, _mm_add_ps(_mm_load_ps(r + j), _mm_mul_ps(_mm_set1_ps(0.7f), old)));
            }
            index1 += kOversampling;
            if (index1 >= length1)
                index1 = 0;
        } else {
#pragma GCC unroll 8
            for (int step = 0; step < kOversampling; ++step) {
                const float old = ring1[index1];
                ring1[index1] = g[step] - 0.25f * old;
                if (++index1 >= length1)
                    index1 = 0;
                x[step] = r[step] + 0.7f * old;
            }
        }
        if (length2 >= kOversampling && index2 + kOversampling <= length2) {
#pragma GCC unroll 8
            for (int j = 0; j < kOversampling; j += 4) {
                const __m128 old2 = _mm_loadu_ps(ring2 + index2 + j);
                const __m128 in = _mm_load_ps(x + j);
                _mm_storeu_ps(ring2 + index2 + j, in);
                _mm_store_ps(x + j, _mm_sub_ps(in, _mm_mul_ps(_mm_set1_ps(0.3f), old2)));
            }
            index2 += kOversampling;
            if (index2 >= length2)
                index2 = 0;
        } else if (length2 != 0) {
#pragma GCC unroll 8
            for (int step = 0; step < kOversampling; ++step) {
                const float old2 = ring2[index2];
                ring2[index2] = x[step];
                if (++index2 >= length2)
                    index2 = 0;
                x[step] = x[step] - 0.3f * old2;
            }
        }

        // BiquadSection::lowPass() on each step. Its inputs are flushed four
        // at a time and its output once; the states shift values that are
        // flushed already, and flushing them again would change nothing.
#pragma GCC unroll 8
        for (int j = 0; j < kOversampling; j += 4)
            _mm_store_ps(x + j, tb::flushLanes(_mm_load_ps(x + j)));
        float o = 0.0f;
        float lpX1 = lowPass_.x1, lpX2 = lowPass_.x2, lpY1 = lowPass_.y1, lpY2 = lowPass_.y2;
#pragma GCC unroll 8
        for (int step = 0; step < kOversampling; ++step) {
            const float in = x[step];
            const float y = (in + 2.0f * lpX1 + lpX2) * c.lpB0 - c.lpA1 * lpY1 - c.lpA2 * lpY2;
            lpX2 = lpX1;
            lpX1 = in;
            lpY2 = lpY1;
            lpY1 = flush(y);
            o = y;
        }
        lowPass_.x1 = lpX1;
        lowPass_.x2 = lpX2;
        lowPass_.y1 = lpY1;
        lowPass_.y2 = lpY2;

        o = flush(o * gain);
        // BiquadSection::highPass() on a flushed input; only its output
        // needs the flush.
        BiquadSection& hp = highPass_;
        const float h = (o - 2.0f * hp.x1 + hp.x2) * c.hpB0 - c.hpA1 * hp.y1 - c.hpA2 * hp.y2;
        hp.x2 = hp.x1;
        hp.x1 = o;
        hp.y2 = hp.y1;
        hp.y1 = flush(h);
        // EqBand::process() on the block's coefficients; its output is
        // flushed already, so the pedal's own flush of it would change nothing.
        const float t = flush(h);
        const float y = flush(
            c.toneB0 * t + c.toneB1 * tone_.x1 + c.toneB2 * tone_.x2 - c.toneA1 * tone_.y1 - c.toneA2 * tone_.y2);
        tone_.x2 = tone_.x1;
        tone_.x1 = t;
        tone_.y2 = tone_.y1;
        tone_.y1 = y;
        left[k] = y;
        right[k] = y;
    }
#else
    BiquadSection lowPass = lowPass_;
    for (int k = 0; k < frames; ++k) {
        const float s = flush(left[k] + right[k]);
        const float low = bandPass1_.run(s);
        const float mid = bandPass2_.run(s);
        const Cubic p1 = push(history1_, low * 0.05f);
        const Cubic p2 = push(history2_, mid * 5.0f);

        float o = 0.0f;
        for (int step = 0; step < kOversampling; ++step) {
            const float t = static_cast<float>(step) * 0.125f;
            const float r = shape(p1.at(t), drive);
            const float g = shape(p2.at(t), drive);

            const float old = ring1[index1];
            ring1[index1] = g - 0.25f * old;
            if (++index1 >= length1)
                index1 = 0;
            float x = r + 0.7f * old;

            if (length2 != 0) {
                const float old2 = ring2[index2];
                ring2[index2] = x;
                if (++index2 >= length2)
                    index2 = 0;
                x = x - 0.3f * old2;
            }
            o = lowPass.lowPass(flush(x));
        }

        o = flush(o * gain);
        const float y = flush(tone_.process(highPass_.highPass(o)));
        left[k] = y;
        right[k] = y;
    }
    lowPass_.x1 = lowPass.x1;
    lowPass_.x2 = lowPass.x2;
    lowPass_.y1 = lowPass.y1;
    lowPass_.y2 = lowPass.y2;
#endif
    ring1Index_ = index1;
    ring2Index_ = index2;
}
