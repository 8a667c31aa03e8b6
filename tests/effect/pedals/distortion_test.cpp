#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_DistModelA.h"
#include "tests/effect/pedals/PedalHarness.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

using tbtest::Stereo;

namespace {

// Harmonics 2 to 12 relative to the fundamental, in dB.
double harmonicsDb(const std::vector<float>& y, int from, double f, double rate)
{
    const int n = static_cast<int>(y.size()) - from;
    double power = 0.0;
    for (int k = 2; k <= 12; ++k) {
        const double a = tbtest::amplitudeAt(y.data() + from, n, k * f, rate);
        power += a * a;
    }
    return tbtest::toDb(std::sqrt(power) / tbtest::amplitudeAt(y.data() + from, n, f, rate));
}

}  // namespace

TEST(Distortion, DriveKnobSetsClipperAndCompensatingGain)
{
    CPedal_DistModelA d;
    tbtest::preparePedal(d, 48000.0, {0.0f});
    EXPECT_FLOAT_EQ(d.driveFactor(), 1.0f);
    EXPECT_FLOAT_EQ(d.outputGain(), 1.0f);
    d.setParameter(0, 1.0f);
    EXPECT_FLOAT_EQ(d.driveFactor(), 100.0f);
    EXPECT_FLOAT_EQ(d.outputGain(), 1.0f / 9.0f);
}

TEST(Distortion, RingsAreSizedForTheEightfoldRate)
{
    CPedal_DistModelA d;
    tbtest::preparePedal(d, 44100.0, {0.5f, 0.0f});
    EXPECT_EQ(d.ring1Length(), 352);  // 1 ms at 352.8 kHz
    EXPECT_EQ(d.ring2Capacity(), 70);
    EXPECT_EQ(d.ring2Length(), 0);  // comb off
    d.setParameter(1, 1.0f);
    EXPECT_EQ(d.ring2Length(), 69);  // capacity - 1
    d.setParameter(1, 0.5f);
    EXPECT_EQ(d.ring2Length(), 35);
    d.setSampleRate(96000.0);
    EXPECT_EQ(d.ring1Length(), 768);
    EXPECT_EQ(d.ring2Capacity(), 153);
    EXPECT_EQ(d.ring2Length(), 76);
}

TEST(Distortion, ToneTiltsTheTrebleAndLowCutResonanceLiftsItsCorner)
{
    // A small sine at low drive passes almost linearly, so level ratios
    // between two knob settings show the filters alone.
    const double rate = 48000.0;
    auto levelDb = [rate](float lowCut, float tone, double f) {
        CPedal_DistModelA d;
        tbtest::preparePedal(d, rate, {0.0f, 0.0f, lowCut, tone});
        const std::vector<float> y = tbtest::runMono(d, tbtest::makeSine(f, rate, 48000, 0.005f));
        return tbtest::levelDbAt(y.data() + 24000, 24000, f, rate);
    };
    // Tone spans -10..+10 dB on a band whose dB law is doubled: up to 40 dB
    // between the ends of the knob at the top, nothing in the bass.
    EXPECT_NEAR(levelDb(0.0f, 0.0f, 60.0), levelDb(0.0f, 1.0f, 60.0), 0.5);
    const double treble = levelDb(0.0f, 1.0f, 12000.0) - levelDb(0.0f, 0.0f, 12000.0);
    EXPECT_GT(treble, 35.0);
    EXPECT_LT(treble, 40.5);
    // The centre of the knob is the flat middle of that span.
    EXPECT_NEAR(levelDb(0.0f, 0.5f, 12000.0) - levelDb(0.0f, 0.0f, 12000.0), treble / 2.0, 0.5);

    // Knob 2 raises the q of the 85 Hz low-cut from 1 to 31.
    EXPECT_GT(levelDb(1.0f, 0.5f, 85.0) - levelDb(0.0f, 0.5f, 85.0), 25.0);
    EXPECT_NEAR(levelDb(1.0f, 0.5f, 1000.0), levelDb(0.0f, 0.5f, 1000.0), 0.5);
}

TEST(Distortion, OutputIsTheSameMonoSignalOnBothChannels)
{
    const double rate = 48000.0;
    const std::vector<float> x = tbtest::makeNoise(9600, 4, 0.3f);
    CPedal_DistModelA a, b;
    tbtest::preparePedal(a, rate, {0.7f, 0.4f, 0.3f, 0.6f});
    tbtest::preparePedal(b, rate, {0.7f, 0.4f, 0.3f, 0.6f});
    // All left, then all right: the pedal only sees L + R.
    Stereo left(x, std::vector<float>(x.size(), 0.0f));
    Stereo right(std::vector<float>(x.size(), 0.0f), x);
    tbtest::runBlocks(a, left);
    tbtest::runBlocks(b, right);
    for (size_t n = 0; n < x.size(); ++n) {
        ASSERT_EQ(left.left[n], left.right[n]) << n;
        ASSERT_EQ(left.left[n], right.left[n]) << n;
    }
    EXPECT_GT(tbtest::rms(left.left.data(), left.frames()), 1e-3);
}

TEST(Distortion, MoreDriveGivesMoreHarmonicsAtAboutTheSameLevel)
{
    const double rate = 48000.0;
    const double f = 220.0;
    const std::vector<float> x = tbtest::makeSine(f, rate, 48000, 0.02f);
    std::vector<double> thd, level;
    for (float drive : {0.0f, 0.25f, 0.5f, 1.0f}) {
        CPedal_DistModelA d;
        tbtest::preparePedal(d, rate, {drive, 0.0f, 0.0f, 0.5f});
        const std::vector<float> y = tbtest::runMono(d, x);
        ASSERT_TRUE(tbtest::allFinite(y));
        thd.push_back(harmonicsDb(y, 24000, f, rate));
        level.push_back(tbtest::rmsDb(y.data() + 24000, 24000));
    }
    EXPECT_LT(thd[0], -30.0);  // a small signal passes almost clean
    EXPECT_GT(thd[1], thd[0] + 10.0);
    EXPECT_GT(thd[2], thd[1] + 3.0);
    EXPECT_GT(thd[3], -12.0);  // full drive is plainly clipped
    // The output gain keeps the level within 6 dB while the drive spans 40 dB.
    for (double l : level)
        EXPECT_NEAR(l, level[0], 6.0);
}

TEST(Distortion, StrongSignalGetsQuieterAsTheDriveRises)
{
    // The output gain falls faster than a strong signal's clipped level rises.
    auto levelDb = [](float drive) {
        CPedal_DistModelA d;
        tbtest::preparePedal(d, 48000.0, {drive, 0.0f, 0.0f, 0.5f});
        const std::vector<float> y = tbtest::runMono(d, tbtest::makeSine(220.0, 48000.0, 48000, 0.3f));
        return tbtest::rmsDb(y.data() + 24000, 24000);
    };
    EXPECT_NEAR(levelDb(0.0f) - levelDb(1.0f), 10.0, 2.0);
}

TEST(Distortion, SilenceAfterSignalLeavesNoDenormalTail)
{
    CPedal_DistModelA d;
    tbtest::preparePedal(d, 48000.0, {1.0f, 1.0f, 1.0f, 1.0f});
    std::vector<float> x = tbtest::makeNoise(48000, 8, 0.5f);
    x.resize(144000, 0.0f);
    const std::vector<float> y = tbtest::runMono(d, x);
    // Every output is flushed: exactly 0 or at least 1e-9. The resonant
    // low-cut at full q may keep a rounding cycle far below hearing.
    for (int n = 48000; n < 144000; ++n)
        ASSERT_TRUE(y[n] == 0.0f || std::fabs(y[n]) >= 1e-9f) << n;
    EXPECT_LT(tbtest::peakAbs(y.data() + 96000, 48000), 1e-6f);

    // With a gentle low-cut the tail ends in exact zeros.
    CPedal_DistModelA gentle;
    tbtest::preparePedal(gentle, 48000.0, {1.0f, 1.0f, 0.0f, 1.0f});
    const std::vector<float> z = tbtest::runMono(gentle, x);
    EXPECT_EQ(tbtest::peakAbs(z.data() + 96000, 48000), 0.0f);
}

TEST(Distortion, CombKnobTurnedDownMidStreamStaysInsideTheRing)
{
    // Regression: the short comb wrapped its index with == against the new,
    // shorter length, so turning knob 1 down from 1.0 left the index past the
    // end and every later sample wrote beyond the ring. Run under ASan.
    CPedal_DistModelA d;
    tbtest::preparePedal(d, 48000.0, {0.8f, 1.0f});
    tbtest::NoiseSource noise(12);
    std::vector<float> l(256), r(256);
    for (int block = 0; block < 400; ++block) {
        if (block == 100)
            d.setParameter(1, 0.1f);
        if (block >= 200)
            d.setParameter(1, (block % 7) / 6.0f);  // every block a new length
        noise.fill(l.data(), 256, 0.4f);
        noise.fill(r.data(), 256, 0.4f);
        // Odd block sizes put the index anywhere when the length changes.
        const int frames = 1 + (block * 37) % 256;
        d.process(l.data(), r.data(), frames);
        ASSERT_TRUE(tbtest::allFinite(l.data(), frames)) << block;
    }
}

TEST(Distortion, UnusableRatesAreIgnored)
{
    CPedal_DistModelA fresh;
    fresh.setSampleRate(1000.0);
    fresh.setSampleRate(std::nan(""));
    fresh.setParameter(1, 1.0f);
    fresh.reset();
    // No rings yet: the block passes untouched instead of crashing.
    std::vector<float> l {0.5f, -0.5f}, r {0.25f, 0.0f};
    fresh.process(l.data(), r.data(), 2);
    EXPECT_EQ(l[0], 0.5f);
    EXPECT_EQ(r[0], 0.25f);

    CPedal_DistModelA d;
    tbtest::preparePedal(d, 48000.0, {});
    d.setSampleRate(500000.0);
    EXPECT_EQ(d.ring1Length(), 384);
}

TEST(Distortion, KnobFourAndOutOfRangeValuesChangeNothingUnsafe)
{
    const double rate = 44100.0;
    const std::vector<float> x = tbtest::makeNoise(8192, 6, 0.3f);
    CPedal_DistModelA a, b;
    tbtest::preparePedal(a, rate, {0.3f, 0.6f, 0.2f, 0.9f, 0.0f});
    tbtest::preparePedal(b, rate, {0.3f, 0.6f, 0.2f, 0.9f, 1.0f});
    EXPECT_EQ(tbtest::runMono(a, x), tbtest::runMono(b, x));

    // Knob values beyond the range act as the nearest end; NaN acts as 0.
    CPedal_DistModelA c;
    tbtest::preparePedal(c, rate, {5.0f, 7.0f});
    EXPECT_FLOAT_EQ(c.driveFactor(), 100.0f);
    EXPECT_EQ(c.ring2Length(), c.ring2Capacity() - 1);
    c.setParameter(0, std::nanf(""));
    c.setParameter(1, -3.0f);
    EXPECT_FLOAT_EQ(c.driveFactor(), 1.0f);
    EXPECT_EQ(c.ring2Length(), 0);
}

// The pedal takes its settings over only when a knob has moved; a knob
// turned between two blocks must still count from the very next block.
TEST(Distortion, KnobsTurnedBetweenBlocksCountFromTheNextBlock)
{
    const std::vector<float> x = tbtest::makeNoise(2048, 9, 0.3f);
    CPedal_DistModelA turned, set;
    tbtest::preparePedal(turned, 48000.0, {0.2f, 0.5f, 0.2f, 0.3f});
    tbtest::preparePedal(set, 48000.0, {0.9f, 0.5f, 0.8f, 0.9f});
    // A silent block first: it runs with the old settings and leaves every
    // state at zero.
    std::vector<float> l(64, 0.0f), r(64, 0.0f);
    turned.process(l.data(), r.data(), 64);
    turned.setParameter(0, 0.9f);
    turned.setParameter(2, 0.8f);
    turned.setParameter(3, 0.9f);
    EXPECT_EQ(tbtest::runMono(turned, x, 16), tbtest::runMono(set, x, 16));
}
