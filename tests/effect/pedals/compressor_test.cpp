#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_Compressor.h"
#include "tests/effect/pedals/PedalHarness.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

constexpr double kRate = 48000.0;
// Knob 0 at 0.6875 puts the threshold at -20 dB (0.1).
constexpr float kMinus20Db = 0.6875f;

std::vector<float> constant(int frames, float v) { return std::vector<float>(static_cast<size_t>(frames), v); }

// Samples until the output/input ratio has covered 63.2 % of the way from
// 'from' to 'to'.
int samplesToSettle(const std::vector<float>& y, float in, int start, double from, double to)
{
    for (int n = start; n < static_cast<int>(y.size()); ++n)
        if ((y[n] / in - from) / (to - from) >= 1.0 - std::exp(-1.0))
            return n - start;
    return -1;
}

}  // namespace

TEST(Compressor, ThresholdKnobSpansMinus64To0Db)
{
    // Ratio knob at 1 limits: a loud constant settles exactly on the threshold.
    for (const auto& [knob, db] : {std::pair {0.0f, -64.0}, std::pair {kMinus20Db, -20.0}, std::pair {1.0f, 0.0}}) {
        CPedal_Compressor comp;
        tbtest::preparePedal(comp, kRate, {knob, 1.0f, 0.0f, 0.0f});
        const std::vector<float> y = tbtest::runMono(comp, constant(48000, 2.0f));
        EXPECT_NEAR(tbtest::toDb(y.back()), db, 0.01) << knob;
    }
}

TEST(Compressor, SteadyStateFollowsThresholdAndRatio)
{
    // A constant 0.5 above a threshold of 0.1 settles at 0.5 T / (T + h (0.5 - T)).
    struct Case {
        float ratioKnob;
        double expected;
    };
    for (const Case c : {Case {0.0f, 0.5 * 0.1 / (0.1 + 0.4 / 31.0)}, Case {0.5f, 0.4}, Case {1.0f, 0.1}}) {
        CPedal_Compressor comp;
        tbtest::preparePedal(comp, kRate, {kMinus20Db, c.ratioKnob, 0.0f, 0.0f});
        const std::vector<float> y = tbtest::runMono(comp, constant(48000, 0.5f));
        EXPECT_NEAR(y.back(), c.expected, 1e-5) << c.ratioKnob;
    }
}

TEST(Compressor, LevelsAtOrBelowThresholdPassWithTheGainRisingToOne)
{
    CPedal_Compressor comp;
    tbtest::preparePedal(comp, kRate, {1.0f, 0.3f, 0.5f, 0.0f});
    const std::vector<float> x = tbtest::makeSine(440.0, kRate, 96000, 1.0f);
    const std::vector<float> y = tbtest::runMono(comp, x);
    EXPECT_EQ(y[0], 0.0f);  // the gain starts closed after a reset
    for (int n = 48000; n < 96000; ++n)
        ASSERT_NEAR(y[n], x[n], 1e-4f) << n;
}

TEST(Compressor, AttackAndReleaseTimesFollowTheirKnobs)
{
    // Time constants: attack 0.1 + 2 v^2 seconds / 8.82, release 0.2 + 4.8 v^2
    // seconds / 8.82.
    for (float knob : {0.0f, 0.5f, 1.0f}) {
        CPedal_Compressor comp;
        tbtest::preparePedal(comp, kRate, {kMinus20Db, 1.0f, knob, knob});
        // Quiet (gain to 1), loud (gain to 0.2), quiet again.
        std::vector<float> x = constant(200000, 0.05f);
        x.resize(600000, 0.5f);
        x.resize(1000000, 0.05f);
        const std::vector<float> y = tbtest::runMono(comp, x);

        const double attack = kRate * (0.1 + 2.0 * knob * knob) / 8.82;
        const double release = kRate * (0.2 + 4.8 * knob * knob) / 8.82;
        EXPECT_NEAR(samplesToSettle(y, 0.5f, 200000, 1.0, 0.2), attack, attack * 0.02 + 1) << knob;
        EXPECT_NEAR(samplesToSettle(y, 0.05f, 600000, 0.2, 1.0), release, release * 0.02 + 1) << knob;
    }
}

TEST(Compressor, ChannelsKeepTheirOwnGain)
{
    CPedal_Compressor comp;
    tbtest::preparePedal(comp, kRate, {kMinus20Db, 1.0f, 0.0f, 0.0f});
    tbtest::Stereo s(constant(48000, 0.5f), constant(48000, 0.05f));
    tbtest::runBlocks(comp, s);
    EXPECT_NEAR(s.left.back(), 0.1f, 1e-5f);
    EXPECT_NEAR(s.right.back(), 0.05f, 1e-5f);
}

TEST(Compressor, SampleNotANumberDoesNotPoisonTheGain)
{
    // Regression: a NaN compared as louder than the threshold made the target
    // gain NaN, and the gain stayed NaN, silencing the channel for good.
    CPedal_Compressor comp;
    tbtest::preparePedal(comp, kRate, {kMinus20Db, 0.5f, 0.0f, 0.0f});
    std::vector<float> x = tbtest::makeSine(440.0, kRate, 48000, 0.5f);
    x[1000] = std::nanf("");
    x[1001] = INFINITY;
    const std::vector<float> y = tbtest::runMono(comp, x);
    EXPECT_TRUE(tbtest::allFinite(y.data() + 1002, 46998));
    EXPECT_GT(tbtest::peakAbs(y.data() + 40000, 8000), 0.05f);
}

TEST(Compressor, IgnoresKnobFourAndUnusableRates)
{
    const std::vector<float> x = tbtest::makeNoise(20000, 3, 0.8f);
    CPedal_Compressor a, b;
    tbtest::preparePedal(a, kRate, {0.3f, 0.6f, 0.2f, 0.4f, 0.0f});
    tbtest::preparePedal(b, kRate, {0.3f, 0.6f, 0.2f, 0.4f, 1.0f});
    b.setSampleRate(0.0);
    b.setSampleRate(1e9);
    b.setParameter(9, 0.0f);
    b.setParameter(-1, 0.0f);
    EXPECT_EQ(tbtest::runMono(a, x), tbtest::runMono(b, x));
}
