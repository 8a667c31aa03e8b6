#include "framework/dsp/EqBand.h"
#include "framework/dsp/Lanes.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void EqBand::updateBand(double rate)
{
    const double A = std::pow(10.0, gain / 20.0);
    double w = 6.283185005187988 * frequency / rate;
    // Above 3 rad the band would fold round Nyquist; near 0 the bandwidth
    // term divides by sin w.
    if (!(w >= 1e-4))
        w = 1e-4;
    if (w > 3.0)
        w = 3.0;
    const double sw = std::sin(w);
    const double cw = std::cos(w);
    const double alpha = sw * std::sinh(0.3465736 * bandwidth * w / sw);
    const double H = 2.0 * std::sqrt(A) * alpha;

    double nb0, nb1, nb2, na0, na1, na2;
    switch (kind) {
    case LowShelf:
        nb0 = A * ((A + 1.0) - (A - 1.0) * cw + H);
        nb1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * cw);
        nb2 = A * ((A + 1.0) - (A - 1.0) * cw - H);
        na0 = (A + 1.0) + (A - 1.0) * cw + H;
        na1 = -2.0 * ((A - 1.0) + (A + 1.0) * cw);
        na2 = (A + 1.0) + (A - 1.0) * cw - H;
        break;
    case HighShelf:
        nb0 = A * ((A + 1.0) + (A - 1.0) * cw + H);
        nb1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * cw);
        nb2 = A * ((A + 1.0) + (A - 1.0) * cw - H);
        na0 = (A + 1.0) - (A - 1.0) * cw + H;
        na1 = 2.0 * ((A - 1.0) - (A + 1.0) * cw);
        na2 = (A + 1.0) - (A - 1.0) * cw - H;
        break;
    default:  // peaking
        nb0 = 1.0 + alpha * A;
        nb1 = -2.0 * cw;
        na1 = nb1;
        nb2 = 1.0 - alpha * A;
        na0 = 1.0 + alpha / A;
        na2 = 1.0 - alpha / A;
        break;
    }

    b0 = tb::flush(static_cast<float>(nb0 / na0));
    b1 = tb::flush(static_cast<float>(nb1 / na0));
    b2 = tb::flush(static_cast<float>(nb2 / na0));
    a1 = tb::flush(static_cast<float>(na1 / na0));
    a2 = tb::flush(static_cast<float>(na2 / na0));
}

void EqBand::processBlock(float* samples, int frames)
{
    const float c0 = b0, c1 = b1, c2 = b2, d1 = a1, d2 = a2;
    float sx1 = x1, sx2 = x2, sy1 = y1, sy2 = y2;
    for (int k = 0; k < frames; ++k) {
        const float x = tb::flush(samples[k]);
        const float y = tb::flush(c0 * x + c1 * sx1 + c2 * sx2 - d1 * sy1 - d2 * sy2);
        sx2 = sx1;
        sx1 = x;
        sy2 = sy1;
        sy1 = y;
        samples[k] = y;
    }
    x1 = sx1;
    x2 = sx2;
    y1 = sy1;
    y2 = sy2;
}

#if defined(__SSE2__)
namespace {

inline __m128 loadPair(const float* p) { return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))); }
inline void storePair(float* p, __m128 v) { _mm_store_sd(reinterpret_cast<double*>(p), _mm_castps_pd(v)); }

// Biquads side by side, a band per lane: coefficients and history.
struct BiquadLanes {
    __m128 c0, c1, c2, d1, d2, x1, x2, y1, y2;

    // The output of a step on an input already flushed, flushed; the
    // history stays.
    __m128 output(__m128 x) const
    {
        const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(c0, x), _mm_mul_ps(c1, x1)), _mm_mul_ps(c2, x2));
        return tb::flushLanes(_mm_sub_ps(_mm_sub_ps(sum, _mm_mul_ps(d1, y1)), _mm_mul_ps(d2, y2)));
    }

    // One step on an input already flushed; the output comes back flushed.
    __m128 step(__m128 x)
    {
        const __m128 y = output(x);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Frames of both channels are stored left, right, left, right ...; chunks of
// this many frames keep the interleaved copy on the stack.
constexpr int kInterleavedChunk = 128;

// Four frames a step: at 16-frame blocks a frame at a time cost as much as
// two of the bands.
inline void interleave(const float* l, const float* r, float* both, int n)
{
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 lv = _mm_loadu_ps(l + k), rv = _mm_loadu_ps(r + k);
        _mm_store_ps(both + 2 * k, _mm_unpacklo_ps(lv, rv));
        _mm_store_ps(both + 2 * k + 4, _mm_unpackhi_ps(lv, rv));
    }
    for (; k < n; ++k) {
        both[2 * k] = l[k];
        both[2 * k + 1] = r[k];
    }
}

inline void deinterleave(const float* both, float* l, float* r, int n)
{
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 lo = _mm_load_ps(both + 2 * k), hi = _mm_load_ps(both + 2 * k + 4);
        _mm_storeu_ps(l + k, _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(r + k, _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    for (; k < n; ++k) {
        l[k] = both[2 * k];
        r[k] = both[2 * k + 1];
    }
}

}  // namespace

namespace {

// Lanes 0, 1 from `lower`, lanes 2, 3 from `upper`.
inline __m128 join(__m128 lower, __m128 upper) { return _mm_shuffle_ps(lower, upper, _MM_SHUFFLE(3, 2, 1, 0)); }

}  // namespace

void EqBandPairLanes::loadCoefficients(const EqBand& l0, const EqBand& r0, const EqBand& l1, const EqBand& r1)
{
    settle();
    b0 = _mm_setr_ps(l0.b0, r0.b0, l1.b0, r1.b0);
    b1 = _mm_setr_ps(l0.b1, r0.b1, l1.b1, r1.b1);
    b2 = _mm_setr_ps(l0.b2, r0.b2, l1.b2, r1.b2);
    a1 = _mm_setr_ps(l0.a1, r0.a1, l1.a1, r1.a1);
    a2 = _mm_setr_ps(l0.a2, r0.a2, l1.a2, r1.a2);
}

void EqBandPairLanes::loadHistory(const EqBand& l0, const EqBand& r0, const EqBand& l1, const EqBand& r1)
{
    x1 = _mm_setr_ps(l0.x1, r0.x1, l1.x1, r1.x1);
    x2 = _mm_setr_ps(l0.x2, r0.x2, l1.x2, r1.x2);
    y1 = _mm_setr_ps(l0.y1, r0.y1, l1.y1, r1.y1);
    y2 = _mm_setr_ps(l0.y2, r0.y2, l1.y2, r1.y2);
    settled = true;
}

void EqBandPairLanes::storeHistory(EqBand& l0, EqBand& r0, EqBand& l1, EqBand& r1) const
{
    alignas(16) float out[4][4];
    _mm_store_ps(out[0], x1);
    _mm_store_ps(out[1], x2);
    _mm_store_ps(out[2], y1);
    _mm_store_ps(out[3], y2);
    EqBand* const bands[4] = {&l0, &r0, &l1, &r1};
    for (int i = 0; i < 4; ++i) {
        bands[i]->x1 = out[0][i];
        bands[i]->x2 = out[1][i];
        bands[i]->y1 = out[2][i];
        bands[i]->y2 = out[3][i];
    }
}

void EqBandPairLanes::clearHistory()
{
    x1 = x2 = y1 = y2 = _mm_setzero_ps();
    settled = true;
}

void EqBandPairLanes::settle()
{
    if (settled)
        return;
    // Band b's last output, flushed already, is band b + 1's input; the
    // lanes of band b do no real work, and their history is put back.
    BiquadLanes q {b0, b1, b2, a1, a2, x1, x2, y1, y2};
    q.step(_mm_movelh_ps(_mm_setzero_ps(), y1));
    x1 = join(x1, q.x1);
    x2 = join(x2, q.x2);
    y1 = join(y1, q.y1);
    y2 = join(y2, q.y2);
    settled = true;
}

namespace {

// Step k runs band b on frame k and band b + 1 on frame k - 1, whose input is
// band b's output of the step before. On settled history the first step's
// upper lanes do no real work and their history is put back; otherwise they
// take band b + 1's step of the last frame that it is behind on. A pair left
// settled takes one more step for band b + 1's last frame, its lower lanes
// doing no real work; otherwise that step's output alone is taken.
// Each lane does processBlock()'s operations in its order. Out of line:
// inlined into a chain, the pairs crowd each other out of registers.
template <bool FlushInput, bool LeaveSettled> [[gnu::noinline]] void runLanes(EqBandPairLanes& p, float* both, int n)
{
    BiquadLanes q {p.b0, p.b1, p.b2, p.a1, p.a2, p.x1, p.x2, p.y1, p.y2};
    auto input = [&](__m128 in) {
        // The lower lanes take the input, the upper ones band b's last output.
        __m128 x = _mm_movelh_ps(in, q.y1);
        if constexpr (FlushInput)
            x = tb::flushLanes(x);  // the upper lanes were flushed already
        return x;
    };

    if (p.settled) {
        const BiquadLanes saved = q;
        q.step(input(loadPair(both)));
        q.x1 = join(q.x1, saved.x1);
        q.x2 = join(q.x2, saved.x2);
        q.y1 = join(q.y1, saved.y1);
        q.y2 = join(q.y2, saved.y2);
    } else {
        q.step(input(loadPair(both)));
    }
    // Unrolled, the history moves round the registers instead of being
    // copied along every step.
#pragma GCC unroll 4
    for (int k = 1; k < n; ++k) {
        const __m128 y = q.step(input(loadPair(both + 2 * k)));
        _mm_storeh_pi(reinterpret_cast<__m64*>(both + 2 * (k - 1)), y);
    }
    if constexpr (LeaveSettled) {
        const BiquadLanes saved = q;
        const __m128 last = q.step(input(_mm_setzero_ps()));
        _mm_storeh_pi(reinterpret_cast<__m64*>(both + 2 * (n - 1)), last);
        p.x1 = join(saved.x1, q.x1);
        p.x2 = join(saved.x2, q.x2);
        p.y1 = join(saved.y1, q.y1);
        p.y2 = join(saved.y2, q.y2);
    } else {
        _mm_storeh_pi(reinterpret_cast<__m64*>(both + 2 * (n - 1)), q.output(input(_mm_setzero_ps())));
        p.x1 = q.x1;
        p.x2 = q.x2;
        p.y1 = q.y1;
        p.y2 = q.y2;
    }
    p.settled = LeaveSettled;
}

// runLanes<true, false>() on an unsettled pair, the input taken straight
// from the channels and paired four frames at a time as interleave() would
// store them, which saves that pass. The first step's upper lanes, put out
// the block before, go in front of the frames: `both` needs room for one
// frame there.
[[gnu::noinline]] void runFirstFromChannels(EqBandPairLanes& p, const float* l, const float* r, float* both, int n)
{
    BiquadLanes q {p.b0, p.b1, p.b2, p.a1, p.a2, p.x1, p.x2, p.y1, p.y2};
    // The lower lanes take lanes 0, 1 (`low`) or 2, 3 of `in`, the upper ones
    // band b's last output; the upper lanes were flushed already.
    auto input = [&](__m128 in, bool low) {
        return tb::flushLanes(low ? _mm_movelh_ps(in, q.y1) : _mm_shuffle_ps(in, q.y1, _MM_SHUFFLE(1, 0, 3, 2)));
    };
    auto putUpper = [](float* at, __m128 y) { _mm_storeh_pi(reinterpret_cast<__m64*>(at), y); };
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 lv = _mm_loadu_ps(l + k), rv = _mm_loadu_ps(r + k);
        const __m128 lo = _mm_unpacklo_ps(lv, rv), hi = _mm_unpackhi_ps(lv, rv);
        putUpper(both + 2 * k - 2, q.step(input(lo, true)));
        putUpper(both + 2 * k, q.step(input(lo, false)));
        putUpper(both + 2 * k + 2, q.step(input(hi, true)));
        putUpper(both + 2 * k + 4, q.step(input(hi, false)));
    }
    for (; k < n; ++k)
        putUpper(both + 2 * k - 2, q.step(input(tb::pairOf(l[k], r[k]), true)));
    putUpper(both + 2 * n - 2, q.output(input(_mm_setzero_ps(), true)));
    p.x1 = q.x1;
    p.x2 = q.x2;
    p.y1 = q.y1;
    p.y2 = q.y2;
    p.settled = false;
}

// runLanes<false, false>() for a pair after the first, in four-step groups
// that store their outputs together: into the buffer in place, or for the
// last pair (`ToChannels`) straight into the channels, which saves the pass
// that takes the buffer apart.
template <bool ToChannels> [[gnu::noinline]] void runOnward(EqBandPairLanes& p, float* both, float* l, float* r, int n)
{
    BiquadLanes q {p.b0, p.b1, p.b2, p.a1, p.a2, p.x1, p.x2, p.y1, p.y2};
    // The lower lanes take the input, the upper ones band b's last output.
    auto input = [&](__m128 in) { return _mm_movelh_ps(in, q.y1); };
    // Frame k's input; its output comes in the upper lanes a step later.
    auto step = [&](int k) { return q.step(input(loadPair(both + 2 * k))); };
    auto putUpper = [&](int frame, __m128 y) {
        if constexpr (ToChannels) {
            const __m128 high = _mm_movehl_ps(y, y);
            _mm_store_ss(l + frame, high);
            _mm_store_ss(r + frame, _mm_shuffle_ps(high, high, 1));
        } else {
            _mm_storeh_pi(reinterpret_cast<__m64*>(both + 2 * frame), y);
        }
    };
    // Upper lanes of frames j .. j + 3, j a multiple of four.
    auto putFour = [&](int j, __m128 a, __m128 b, __m128 c, __m128 d) {
        const __m128 first = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2));
        const __m128 second = _mm_shuffle_ps(c, d, _MM_SHUFFLE(3, 2, 3, 2));
        if constexpr (ToChannels) {
            _mm_storeu_ps(l + j, _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
            _mm_storeu_ps(r + j, _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
        } else {
            _mm_store_ps(both + 2 * j, first);
            _mm_store_ps(both + 2 * j + 4, second);
        }
    };

    if (p.settled) {
        const BiquadLanes saved = q;
        step(0);
        q.x1 = join(q.x1, saved.x1);
        q.x2 = join(q.x2, saved.x2);
        q.y1 = join(q.y1, saved.y1);
        q.y2 = join(q.y2, saved.y2);
    } else {
        step(0);
    }
    int j = 0;
    for (; j + 4 < n; j += 4) {
        const __m128 a = step(j + 1), b = step(j + 2), c = step(j + 3);
        putFour(j, a, b, c, step(j + 4));
    }
    if (j + 4 == n) {
        const __m128 a = step(j + 1), b = step(j + 2), c = step(j + 3);
        putFour(j, a, b, c, q.output(input(_mm_setzero_ps())));
    } else {
        for (; j + 1 < n; ++j)
            putUpper(j, step(j + 1));
        putUpper(n - 1, q.output(input(_mm_setzero_ps())));
    }
    p.x1 = q.x1;
    p.x2 = q.x2;
    p.y1 = q.y1;
    p.y2 = q.y2;
    p.settled = false;
}

}  // namespace

void EqBandPairLanes::run(float* both, int n, bool flushInput)
{
    if (flushInput)
        runLanes<true, true>(*this, both, n);
    else
        runLanes<false, true>(*this, both, n);
}

void EqBandPairLanes::runChain(EqBandPairLanes* pairs, int count, float* l, float* r, int frames)
{
    // Four floats in front keep the frames aligned and give the first pair
    // room for one.
    alignas(16) float buffer[4 + 2 * kInterleavedChunk];
    float* const both = buffer + 4;
    for (int at = 0; at < frames; at += kInterleavedChunk) {
        const int n = frames - at < kInterleavedChunk ? frames - at : kInterleavedChunk;
        if (count > 0 && !pairs[0].settled) {
            runFirstFromChannels(pairs[0], l + at, r + at, both, n);
        } else {
            interleave(l + at, r + at, both, n);
            if (count > 0)
                runLanes<true, false>(pairs[0], both, n);
        }
        for (int p = 1; p + 1 < count; ++p)
            runOnward<false>(pairs[p], both, l + at, r + at, n);
        if (count > 1)
            runOnward<true>(pairs[count - 1], both, l + at, r + at, n);
        else
            deinterleave(both, l + at, r + at, n);
    }
}
#endif

void EqBand::processChains(EqBand* left, EqBand* right, int count, float* l, float* r, int frames)
{
#if defined(__SSE2__)
    // The block goes through in chunks, left and right side by side, each
    // band over the whole chunk with its coefficients and states in
    // registers; every lane does processBlock()'s operations in its order.
    alignas(16) float both[2 * kInterleavedChunk];
    for (int at = 0; at < frames; at += kInterleavedChunk) {
        const int n = frames - at < kInterleavedChunk ? frames - at : kInterleavedChunk;
        interleave(l + at, r + at, both, n);
        int b = 0;
        for (; b + 1 < count; b += 2) {
            EqBandPairLanes pair;
            pair.loadCoefficients(left[b], right[b], left[b + 1], right[b + 1]);
            pair.loadHistory(left[b], right[b], left[b + 1], right[b + 1]);
            pair.run(both, n, b == 0);
            pair.storeHistory(left[b], right[b], left[b + 1], right[b + 1]);
        }
        for (; b < count; ++b) {
            EqBand& bl = left[b];
            EqBand& br = right[b];
            BiquadLanes q {tb::pairOf(bl.b0, br.b0), tb::pairOf(bl.b1, br.b1), tb::pairOf(bl.b2, br.b2),
                tb::pairOf(bl.a1, br.a1), tb::pairOf(bl.a2, br.a2), tb::pairOf(bl.x1, br.x1), tb::pairOf(bl.x2, br.x2),
                tb::pairOf(bl.y1, br.y1), tb::pairOf(bl.y2, br.y2)};
            // Only the first band's input needs the flush: every later band
            // takes an output that was flushed already.
            const bool flushInput = b == 0;
            for (int k = 0; k < n; ++k) {
                __m128 x = loadPair(both + 2 * k);
                if (flushInput)
                    x = tb::flushLanes(x);
                storePair(both + 2 * k, q.step(x));
            }
            tb::storeHistory(q.x1, q.x2, q.y1, q.y2, bl, br);
        }
        deinterleave(both, l + at, r + at, n);
    }
#else
    for (int b = 0; b < count; ++b) {
        left[b].processBlock(l, frames);
        right[b].processBlock(r, frames);
    }
#endif
}
