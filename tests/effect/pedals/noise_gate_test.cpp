#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_NoiseGate.h"
#include "tests/effect/pedals/PedalHarness.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

constexpr double kRate = 48000.0;
constexpr float kMinus20Db = 0.6875f;  // knob 2: threshold 0.1

std::vector<float> loudThenQuiet(int loud, int quiet)
{
    std::vector<float> x(static_cast<size_t>(loud), 0.5f);
    x.resize(static_cast<size_t>(loud + quiet), 0.05f);
    return x;
}

}  // namespace

TEST(NoiseGate, HoldsOpenForATenthOfASecondThenCloses)
{
    CPedal_NoiseGate gate;
    tbtest::preparePedal(gate, kRate, {0.0f, 0.0f, kMinus20Db});
    const std::vector<float> y = tbtest::runMono(gate, loudThenQuiet(24000, 24000));
    EXPECT_NEAR(y[23999], 0.5f, 1e-5f);
    // 4800 quiet samples (0.1 s) still pass at full gain...
    EXPECT_NEAR(y[24000 + 4799], 0.05f, 1e-6f);
    // ...then the gain falls by kc = 8.82 / (rate * 0.05) per sample.
    const double kc = 8.82 / (kRate * 0.05);
    for (int k : {1, 100, 1000}) {
        const double expected = 0.05 * std::pow(1.0 - kc, k);
        EXPECT_NEAR(y[24000 + 4799 + k], expected, expected * 1e-3) << k;
    }
}

TEST(NoiseGate, GainNeverFallsBelowItsFloor)
{
    CPedal_NoiseGate gate;
    tbtest::preparePedal(gate, kRate, {0.0f, 0.0f, kMinus20Db});
    const std::vector<float> y = tbtest::runMono(gate, loudThenQuiet(4800, 480000));
    EXPECT_FLOAT_EQ(gate.gainLeft(), CPedal_NoiseGate::kGainFloor);
    EXPECT_FLOAT_EQ(y.back(), 0.05f * CPedal_NoiseGate::kGainFloor);
}

TEST(NoiseGate, ClosingSpeedFollowsKnobOne)
{
    for (float knob : {0.0f, 0.5f, 1.0f}) {
        CPedal_NoiseGate gate;
        tbtest::preparePedal(gate, kRate, {0.0f, knob, kMinus20Db});
        const std::vector<float> y = tbtest::runMono(gate, loudThenQuiet(24000, 200000));
        const double kc = 8.82 / (kRate * static_cast<float>(2.0f * knob * knob + 0.05f));
        const int tau = static_cast<int>(1.0 / kc);
        EXPECT_NEAR(y[24000 + 4800 + tau] / 0.05, std::exp(-1.0), 0.01) << knob;
    }
}

TEST(NoiseGate, OneLoudSampleReopensAtTheOpeningSpeed)
{
    CPedal_NoiseGate gate;
    tbtest::preparePedal(gate, kRate, {1.0f, 0.0f, kMinus20Db});
    std::vector<float> x = loudThenQuiet(4800, 48000);
    x.resize(x.size() + 48000, 0.05f);
    x[52800] = 0.5f;  // the counter restarts: another 0.1 s of hold follows
    const std::vector<float> y = tbtest::runMono(gate, x);
    const double ko = 8.82 / (kRate * 2.05);
    // Closed gain ~1e-7 moves toward 1 by ko per sample.
    const double expected = 0.05 * (1.0 - std::pow(1.0 - ko, 4001));
    EXPECT_NEAR(y[52800 + 4000], expected, expected * 0.01);
}

TEST(NoiseGate, EachChannelGatesOnItsOwnLevel)
{
    CPedal_NoiseGate gate;
    tbtest::preparePedal(gate, kRate, {0.0f, 0.0f, kMinus20Db});
    tbtest::Stereo s(std::vector<float>(96000, 0.5f), std::vector<float>(96000, 0.05f));
    tbtest::runBlocks(gate, s);
    EXPECT_NEAR(s.left.back(), 0.5f, 1e-5f);  // the gain stalls a few ulps below 1
    EXPECT_LT(s.right.back(), 1e-6f);
}

TEST(NoiseGate, IgnoresKnobsThreeAndFour)
{
    const std::vector<float> x = tbtest::makeNoise(30000, 5, 0.2f);
    CPedal_NoiseGate a, b;
    tbtest::preparePedal(a, kRate, {0.2f, 0.4f, 0.8f, 0.0f, 0.0f});
    tbtest::preparePedal(b, kRate, {0.2f, 0.4f, 0.8f, 1.0f, 1.0f});
    EXPECT_EQ(tbtest::runMono(a, x), tbtest::runMono(b, x));
}
