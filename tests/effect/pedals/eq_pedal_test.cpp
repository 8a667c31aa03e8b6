#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_Eq.h"
#include "tests/effect/pedals/PedalHarness.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

constexpr double kRate = 44100.0;

// Gain in dB through the pedal at one frequency (0 and rate / 2 use a
// constant and an alternating signal).
double gainDb(CPedal_Eq& eq, double frequency)
{
    const int settle = 22050, measure = 16384;
    std::vector<float> x(settle + measure);
    for (int n = 0; n < settle + measure; ++n) {
        if (frequency <= 0.0)
            x[n] = 0.1f;
        else if (frequency >= kRate / 2.0)
            x[n] = (n % 2) ? -0.1f : 0.1f;
        else
            x[n] = static_cast<float>(0.1 * std::sin(2.0 * M_PI * frequency * n / kRate));
    }
    eq.reset();
    const std::vector<float> y = tbtest::runMono(eq, x);
    return tbtest::levelDbAt(y.data() + settle, measure, frequency, kRate) - tbtest::toDb(0.1);
}

}  // namespace

TEST(EqPedal, AllKnobsAtHalfIsFlat)
{
    CPedal_Eq eq;
    tbtest::preparePedal(eq, kRate, {0.5f, 0.5f, 0.5f, 0.5f, 0.5f});
    const std::vector<float> x = tbtest::makeNoise(44100, 21, 0.7f);
    const std::vector<float> y = tbtest::runMono(eq, x);
    // Only float rounding remains: more than 90 dB down.
    std::vector<float> difference(x.size());
    for (size_t n = 0; n < x.size(); ++n)
        difference[n] = y[n] - x[n];
    EXPECT_LT(tbtest::peakAbs(difference.data(), 44100), 5e-5f);
    EXPECT_LT(tbtest::rmsDb(difference.data(), 44100) - tbtest::rmsDb(x.data(), 44100), -90.0);
}

TEST(EqPedal, KnobLawIsSquaredAroundTheCentre)
{
    EXPECT_DOUBLE_EQ(CPedal_Eq::gainForKnob(0.0f), -10.0);
    EXPECT_DOUBLE_EQ(CPedal_Eq::gainForKnob(0.5f), 0.0);
    EXPECT_DOUBLE_EQ(CPedal_Eq::gainForKnob(0.75f), 2.5);
    EXPECT_DOUBLE_EQ(CPedal_Eq::gainForKnob(1.0f), 10.0);
    // Out of range values reach the pedal clamped; NaN counts as 0.
    EXPECT_DOUBLE_EQ(CPedal_Eq::gainForKnob(3.0f), 10.0);
    EXPECT_DOUBLE_EQ(CPedal_Eq::gainForKnob(std::nanf("")), -10.0);
}

TEST(EqPedal, EachKnobMovesItsOwnBand)
{
    // The bands' dB law is doubled: a knob at 1.0 (+10 dB) lifts by 20 dB.
    {
        CPedal_Eq eq;
        tbtest::preparePedal(eq, kRate, {0.5f, 1.0f, 0.5f, 0.5f});
        EXPECT_NEAR(gainDb(eq, 700.0), 20.0, 0.2);
        EXPECT_NEAR(gainDb(eq, 40.0), 0.0, 0.3);
    }
    {
        CPedal_Eq eq;
        tbtest::preparePedal(eq, kRate, {0.5f, 0.5f, 0.75f, 0.5f});
        EXPECT_NEAR(gainDb(eq, 1800.0), 5.0, 0.1);
    }
    {
        CPedal_Eq eq;
        tbtest::preparePedal(eq, kRate, {0.0f, 0.5f, 0.5f, 1.0f});
        EXPECT_NEAR(gainDb(eq, 0.0), -20.0, 0.05);
        EXPECT_NEAR(gainDb(eq, kRate / 2.0), 20.0, 0.05);
    }
}

TEST(EqPedal, ChannelsAreFilteredSeparately)
{
    CPedal_Eq eq;
    tbtest::preparePedal(eq, kRate, {0.9f, 0.1f, 0.8f, 0.2f});
    tbtest::Stereo s(tbtest::makeNoise(8192, 4, 0.5f), std::vector<float>(8192, 0.0f));
    tbtest::runBlocks(eq, s, 100);
    EXPECT_EQ(tbtest::peakAbs(s.right.data(), 8192), 0.0f);
    EXPECT_GT(tbtest::rms(s.left.data(), 8192), 0.1);
}

TEST(EqPedal, KnobFourAndStrayIndicesChangeNothing)
{
    const std::vector<float> x = tbtest::makeNoise(8192, 8, 0.5f);
    CPedal_Eq a, b;
    tbtest::preparePedal(a, kRate, {0.2f, 0.7f, 0.4f, 0.9f, 0.0f});
    tbtest::preparePedal(b, kRate, {0.2f, 0.7f, 0.4f, 0.9f, 1.0f});
    b.setParameter(-1, 0.0f);
    b.setParameter(5, 1.0f);
    EXPECT_EQ(tbtest::runMono(a, x), tbtest::runMono(b, x));
}

TEST(EqPedal, SampleRateIsKeptForLaterKnobs)
{
    CPedal_Eq eq;
    tbtest::preparePedal(eq, 96000.0, {0.5f, 1.0f});
    eq.setSampleRate(2000.0);  // ignored
    EXPECT_DOUBLE_EQ(eq.sampleRate(), 96000.0);
    EqBand expected;
    expected.kind = EqBand::Peaking;
    expected.frequency = 700.0;
    expected.bandwidth = 0.985;
    expected.gain = 10.0;
    expected.updateBand(96000.0);
    EXPECT_EQ(eq.rightBand(1).b0.load(), expected.b0.load());
    EXPECT_EQ(eq.leftBand(1).a1.load(), expected.a1.load());
}
