#pragma once

// Helpers for running the left and right channels side by side in SSE2
// registers: left in lane 0, right in lane 1, zeros above. Code built on
// them does each scalar operation once per lane in the scalar order, so
// each channel keeps the bits of the one-channel code.

#if defined(__SSE2__)
#include <emmintrin.h>

#include "framework/dsp/Flush.h"

namespace tb {

inline __m128 pairOf(float left, float right) { return _mm_unpacklo_ps(_mm_set_ss(left), _mm_set_ss(right)); }

inline float laneOne(__m128 v) { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1)); }

// flush() per lane: |v| below the limit, and NaN, become +0.
inline __m128 flushLanes(__m128 v)
{
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), v);
    return _mm_and_ps(_mm_cmpge_ps(magnitude, _mm_set1_ps(kFlushLimit)), v);
}

// A chain of six first-order all-pass stages fed with u, every lane its own
// channel, each stage doing the scalar stage's operations in its order;
// returns the chain's output. The states are separate references so that a
// caller holding them in locals keeps them in registers across its frames.
inline __m128 allPassChain(__m128& s0, __m128& s1, __m128& s2, __m128& s3, __m128& s4, __m128& s5, __m128 k, __m128 u)
{
    auto stage = [&u, k](__m128& s) {
        const __m128 y = _mm_sub_ps(s, _mm_mul_ps(k, u));
        s = _mm_add_ps(u, _mm_mul_ps(k, y));
        u = y;
    };
    stage(s0);
    stage(s1);
    stage(s2);
    stage(s3);
    stage(s4);
    stage(s5);
    return u;
}

// Hands a biquad pair's history (x1, x2, y1, y2 side by side) back to the
// left and right sections it was loaded from.
template <typename Section>
inline void storeHistory(__m128 x1, __m128 x2, __m128 y1, __m128 y2, Section& left, Section& right)
{
    alignas(16) float lanes[4][4];
    _mm_store_ps(lanes[0], x1);
    _mm_store_ps(lanes[1], x2);
    _mm_store_ps(lanes[2], y1);
    _mm_store_ps(lanes[3], y2);
    left.x1 = lanes[0][0];
    right.x1 = lanes[0][1];
    left.x2 = lanes[1][0];
    right.x2 = lanes[1][1];
    left.y1 = lanes[2][0];
    right.y1 = lanes[2][1];
    left.y2 = lanes[3][0];
    right.y2 = lanes[3][1];
}

}  // namespace tb

#endif
