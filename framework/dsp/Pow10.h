#pragma once

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tb {

#if defined(__SSE2__)
namespace pow10detail {

    // Two lanes of pow10NonPositive4: the results (0 where they are not
    // normal) and, per lane, all ones where the rounding is in doubt.
    inline __m128d twoLanes(__m128d v, __m128i& doubtful)
    {
        const __m128d magic = _mm_set1_pd(6755399441055744.0);  // 1.5 * 2^52: adding it rounds to an integer
        __m128d t = _mm_mul_pd(v, _mm_set1_pd(3.321928094887362));  // log2(10)
        const __m128d normal = _mm_cmpge_pd(t, _mm_set1_pd(-126.0));
        t = _mm_max_pd(t, _mm_set1_pd(-127.0));
        const __m128d kd = _mm_add_pd(t, magic);
        const __m128d f = _mm_sub_pd(t, _mm_sub_pd(kd, magic));
        __m128d p = _mm_set1_pd(1.3255218539425654e-06);
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(1.5310079342253695e-05));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.00015403455887483378));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.0013333450568218629));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.009618129159336202));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.055504109412056885));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.24022650695813455));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.6931471805459336));
        p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(1.0));
        // k sits in the low bits of kd; shifted into the exponent field it
        // scales p by 2^k.
        const __m128i bits = _mm_add_epi64(_mm_castpd_si128(p), _mm_slli_epi64(_mm_castpd_si128(kd), 52));
        // The bits that rounding to float drops sit in the low 32 of each
        // double: flag those within the window around the midpoint, copy each
        // flag from the lane's low to its high half, and keep it only where the
        // result is normal.
        const __m128i dropped = _mm_and_si128(bits, _mm_set1_epi32(0x1fffffff));
        const __m128i fromEdge = _mm_sub_epi32(dropped, _mm_set1_epi32((1 << 28) - (1 << 22)));
        const __m128i near = _mm_and_si128(
            _mm_cmpgt_epi32(fromEdge, _mm_set1_epi32(-1)), _mm_cmplt_epi32(fromEdge, _mm_set1_epi32(1 << 23)));
        doubtful = _mm_and_si128(_mm_shuffle_epi32(near, 0xa0), _mm_castpd_si128(normal));
        return _mm_and_pd(normal, _mm_castsi128_pd(bits));
    }

}  // namespace pow10detail
#endif

// 10^x for four values x <= 0, in place, with the bits of this C library's
// powf(10.0f, x) wherever that result is a normal float; below the smallest
// normal float the result is 0 (powf gives a denormal or 0 there; without
// SSE2 the function is powf itself).
//
// The vector path takes 10^x = 2^k 2^f in double precision, with f in
// [-1/2, 1/2] and a polynomial whose relative error is about 1e-12, and
// rounds once to float. powf rounds its own double result once as well, so
// the two agree unless the exact value lies within a hair of the midpoint
// between two floats. Those values (the double's low 29 bits within 2^22 of
// the midpoint, about 0.4 % of all inputs) are handed to powf itself, as are
// NaN, positive and huge negative inputs. A sweep over every float in
// [-40, 0] found no difference from powf with a window four times
// narrower; tests/framework/dsp/pow10_test.cpp repeats it (in full with
// TB_POW10_SWEEP=1).
inline void pow10NonPositive4(float* x)
{
#if defined(__SSE2__)
    const __m128 in = _mm_loadu_ps(x);
    __m128i doubtfulLow, doubtfulHigh;
    const __m128d low = pow10detail::twoLanes(_mm_cvtps_pd(in), doubtfulLow);
    const __m128d high = pow10detail::twoLanes(_mm_cvtps_pd(_mm_movehl_ps(in, in)), doubtfulHigh);
    _mm_storeu_ps(x, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
    const __m128 inRange = _mm_and_ps(_mm_cmple_ps(in, _mm_setzero_ps()), _mm_cmpge_ps(in, _mm_set1_ps(-1.0e24f)));
    const int lanes = _mm_movemask_pd(_mm_castsi128_pd(doubtfulLow))
        | (_mm_movemask_pd(_mm_castsi128_pd(doubtfulHigh)) << 2) | (_mm_movemask_ps(inRange) ^ 0xf);
    if (lanes != 0) {
        alignas(16) float original[4];
        _mm_store_ps(original, in);
        for (int i = 0; i < 4; ++i)
            if (lanes & (1 << i))
                x[i] = std::pow(10.0f, original[i]);
    }
#else
    for (int i = 0; i < 4; ++i)
        x[i] = std::pow(10.0f, x[i]);
#endif
}

}  // namespace tb
