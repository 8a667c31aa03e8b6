#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_Chorus.h"
#include "tests/effect/pedals/mod_pedal_rig.h"
#include "tests/support/SignalGenerators.h"

using modrig::make;
using modrig::PedalPtr;

TEST(Chorus, LevelZeroLeavesBothSidesDry)
{
    auto chorus = make<CPedal_Chorus>(44100.0, {1.0f, 1.0f, 0.0f});
    std::vector<float> l = tbtest::makeNoise(20000, 1), r = tbtest::makeNoise(20000, 2);
    const std::vector<float> inL = l, inR = r;
    modrig::render(*chorus, l, r);
    EXPECT_EQ(l, inL);
    EXPECT_EQ(r, inR);
}

TEST(Chorus, DcSettlesToDryMinusInvertedVoices)
{
    // Constant 1 on both sides: the mono sum is 2 and each voice gives
    // -level^2 of it, two voices per side.
    for (float level : {1.0f, 0.5f, 0.7f}) {
        auto chorus = make<CPedal_Chorus>(48000.0, {0.5f, 0.5f, level});
        std::vector<float> l(48000, 1.0f), r(48000, 1.0f);
        modrig::render(*chorus, l, r);
        const double expected = 1.0 - 4.0 * level * level;
        EXPECT_NEAR(modrig::mean(l, 40000, 48000), expected, 1e-3) << "level " << level;
        EXPECT_NEAR(modrig::mean(r, 40000, 48000), expected, 1e-3) << "level " << level;
    }
}

TEST(Chorus, ThreeVoicesAtTheirDelaysOneSharedByBothSides)
{
    // Without depth each line delays by about 1 + length / 2 samples:
    // 0.854, 1.0 and 1.1 times 0.02 s of line give 377.5, 442 and 486 samples at 44.1 kHz.
    auto chorus = make<CPedal_Chorus>(44100.0, {0.0f, 0.5f, 1.0f});
    // The impulse comes once every line has run its first, silent lap and
    // its output gain has faded in.
    const int at = 2000;
    std::vector<float> l(4000, 0.0f), r(4000, 0.0f);
    l[at] = r[at] = 1.0f;
    modrig::render(*chorus, l, r);
    EXPECT_NEAR(modrig::lobe(l, at + 378, 3), -2.0, 0.01);
    EXPECT_NEAR(modrig::lobe(r, at + 378, 3), -2.0, 0.01);
    EXPECT_NEAR(modrig::lobe(r, at + 442, 3), -2.0, 0.01);
    EXPECT_NEAR(modrig::lobe(l, at + 486, 3), -2.0, 0.01);
    EXPECT_NEAR(modrig::lobe(l, at + 442, 3), 0.0, 1e-6) << "the right-only voice stays off the left";
    EXPECT_NEAR(modrig::lobe(r, at + 486, 3), 0.0, 1e-6) << "the left-only voice stays off the right";
    double elsewhere = 0.0;
    for (int i = at + 1; i < 4000; ++i)
        if (std::abs(i - at - 378) > 3 && std::abs(i - at - 442) > 3 && std::abs(i - at - 486) > 3)
            elsewhere += std::fabs(l[i]) + std::fabs(r[i]);
    EXPECT_LT(elsewhere, 1e-5);
}

TEST(Chorus, DepthBendsThePitchOfTheVoices)
{
    // A modulated tape speed spreads a steady tone into sidebands; without
    // depth the wet tone stays a clean copy.
    auto spread = [](float depth) {
        auto chorus = make<CPedal_Chorus>(48000.0, {depth, 1.0f, 1.0f});
        std::vector<float> l = tbtest::makeSine(1000.0, 48000.0, 96000), r = l;
        const std::vector<float> in = l;
        modrig::render(*chorus, l, r);
        double diff = 0.0;
        for (int i = 48000; i < 96000; ++i)
            diff += std::fabs(l[i] - l[i - 48]);  // one period earlier
        return diff / 48000.0;
    };
    EXPECT_LT(spread(0.0f), 1e-3);
    EXPECT_GT(spread(1.0f), 0.05);
}
