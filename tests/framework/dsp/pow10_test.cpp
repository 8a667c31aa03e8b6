#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "framework/dsp/Pow10.h"

namespace {

uint32_t bitsOf(float v)
{
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

}  // namespace

// The distortion's golden renders rest on these bits: a sweep over the floats
// in [-40, 0] (every 61st, or all of them with TB_POW10_SWEEP=1) must give
// powf's bits wherever powf's result is normal, and 0 below.
TEST(Pow10, EveryNonPositiveFloatGivesPowfsBits)
{
    const uint32_t step = std::getenv("TB_POW10_SWEEP") ? 1u : 61u;
    const uint32_t last = bitsOf(-40.0f);
    long wrong = 0;
    for (uint32_t first = 0x80000000u; first <= last && wrong < 10; first += 4 * step) {
        float x[4], in[4];
        for (uint32_t i = 0; i < 4; ++i) {
            uint32_t b = first + i * step;
            if (b > last)
                b = last;
            std::memcpy(&in[i], &b, 4);
            x[i] = in[i];
        }
        tb::pow10NonPositive4(x);
        for (int i = 0; i < 4; ++i) {
            const float want = std::pow(10.0f, in[i]);
            const float expected = want >= std::numeric_limits<float>::min() ? want : 0.0f;
            if (bitsOf(x[i]) != bitsOf(expected)) {
                ADD_FAILURE() << "10^" << in[i] << ": " << x[i] << " instead of " << expected;
                ++wrong;
            }
        }
    }
}

// Inputs outside the swept range go to powf itself.
TEST(Pow10, NanPositiveAndHugeInputsGiveWhatPowfGives)
{
    float x[4] = {std::numeric_limits<float>::quiet_NaN(), 0.5f, -1.0e30f, -0.0f};
    tb::pow10NonPositive4(x);
    EXPECT_TRUE(std::isnan(x[0]));
    EXPECT_EQ(bitsOf(x[1]), bitsOf(std::pow(10.0f, 0.5f)));
    EXPECT_EQ(bitsOf(x[2]), bitsOf(0.0f));
    EXPECT_EQ(x[3], 1.0f);
}
