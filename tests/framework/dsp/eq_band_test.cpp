#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/dsp/EqBand.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

EqBand makeBand(int kind, double gain, double frequency, double bandwidth, double rate)
{
    EqBand b;
    b.kind = kind;
    b.gain = gain;
    b.frequency = frequency;
    b.bandwidth = bandwidth;
    b.updateBand(rate);
    return b;
}

// Gain in dB at 'frequency' measured on a rendered sine (frequency 0 and
// rate / 2 use a constant and an alternating signal).
double gainDb(EqBand band, double frequency, double rate)
{
    const int settle = 20000, measure = 16384;
    std::vector<float> x(settle + measure);
    for (int n = 0; n < settle + measure; ++n) {
        if (frequency <= 0.0)
            x[n] = 0.25f;
        else if (frequency >= rate / 2.0)
            x[n] = (n % 2) ? -0.25f : 0.25f;
        else
            x[n] = static_cast<float>(0.25 * std::sin(2.0 * M_PI * frequency * n / rate));
    }
    band.clearState();
    band.processBlock(x.data(), static_cast<int>(x.size()));
    return tbtest::levelDbAt(x.data() + settle, measure, frequency, rate) - tbtest::toDb(0.25);
}

}  // namespace

TEST(EqBand, ZeroGainPassesTheSignalUnchangedInEveryKind)
{
    const std::vector<float> noise = tbtest::makeNoise(4096, 11, 0.8f);
    for (int kind : {EqBand::LowShelf, EqBand::HighShelf, EqBand::Peaking}) {
        EqBand b = makeBand(kind, 0.0, 1234.0, 0.985, 48000.0);
        EXPECT_FLOAT_EQ(b.b0, 1.0f);
        EXPECT_EQ(b.b1.load(), b.a1.load());
        EXPECT_EQ(b.b2.load(), b.a2.load());
        std::vector<float> y = noise;
        b.processBlock(y.data(), static_cast<int>(y.size()));
        for (size_t n = 0; n < y.size(); ++n)
            ASSERT_NEAR(y[n], noise[n], 4e-6f) << kind << " at " << n;
    }
}

TEST(EqBand, PeakingGainIsDoubledInDbAtTheCentre)
{
    // The band's law is A = 10^(g / 20): +6 dB lifts the centre by 12 dB.
    const double rate = 48000.0;
    EXPECT_NEAR(gainDb(makeBand(EqBand::Peaking, 6.0, 1000.0, 1.0, rate), 1000.0, rate), 12.0, 0.1);
    EXPECT_NEAR(gainDb(makeBand(EqBand::Peaking, -6.0, 1000.0, 1.0, rate), 1000.0, rate), -12.0, 0.1);
    // Far from the centre the band is flat.
    EXPECT_NEAR(gainDb(makeBand(EqBand::Peaking, 6.0, 1000.0, 1.0, rate), 50.0, rate), 0.0, 0.3);
    EXPECT_NEAR(gainDb(makeBand(EqBand::Peaking, 6.0, 1000.0, 1.0, rate), 15000.0, rate), 0.0, 0.3);
}

TEST(EqBand, ShelvesMoveOnlyTheirOwnEnd)
{
    const double rate = 44100.0;
    const EqBand low = makeBand(EqBand::LowShelf, 5.0, 300.0, 0.985, rate);
    EXPECT_NEAR(gainDb(low, 0.0, rate), 10.0, 0.05);
    EXPECT_NEAR(gainDb(low, rate / 2.0, rate), 0.0, 0.05);

    const EqBand high = makeBand(EqBand::HighShelf, -4.0, 7000.0, 0.985, rate);
    EXPECT_NEAR(gainDb(high, 0.0, rate), 0.0, 0.05);
    EXPECT_NEAR(gainDb(high, rate / 2.0, rate), -8.0, 0.05);
}

TEST(EqBand, FrequencyBeyondTheClampIsComputedAtThreeRadians)
{
    const double rate = 44100.0;
    const double atThree = 3.0 * rate / 6.283185005187988;
    for (int kind : {EqBand::LowShelf, EqBand::HighShelf, EqBand::Peaking}) {
        const EqBand above = makeBand(kind, 7.0, 23000.0, 1.0, rate);
        const EqBand edge = makeBand(kind, 7.0, atThree, 1.0, rate);
        EXPECT_EQ(above.b0.load(), edge.b0.load()) << kind;
        EXPECT_EQ(above.b1.load(), edge.b1.load()) << kind;
        EXPECT_EQ(above.a2.load(), edge.a2.load()) << kind;
    }
}

TEST(EqBand, ZeroFrequencyOrRateGivesFiniteCoefficients)
{
    // Regression: w = 0 divided 0 by sin 0 in the bandwidth term, giving NaN
    // coefficients and a band that output nothing but NaN.
    for (int kind : {EqBand::LowShelf, EqBand::HighShelf, EqBand::Peaking}) {
        for (const EqBand& b : {makeBand(kind, 6.0, 0.0, 1.0, 48000.0), makeBand(kind, 6.0, 1000.0, 1.0, 0.0)}) {
            EXPECT_TRUE(std::isfinite(b.b0) && std::isfinite(b.b1) && std::isfinite(b.b2) && std::isfinite(b.a1)
                && std::isfinite(b.a2))
                << kind;
            EqBand run = b;
            std::vector<float> y = tbtest::makeNoise(48000, 2);
            run.processBlock(y.data(), static_cast<int>(y.size()));
            EXPECT_TRUE(tbtest::allFinite(y)) << kind;
        }
    }
}

TEST(EqBand, TinySamplesEnterAsZero)
{
    EqBand b = makeBand(EqBand::Peaking, 10.0, 1000.0, 1.0, 48000.0);
    EXPECT_EQ(b.process(5e-10f), 0.0f);
    EXPECT_EQ(b.process(-9.9e-10f), 0.0f);
    EXPECT_EQ(b.x1, 0.0f);
    EXPECT_NE(b.process(2e-9f), 0.0f);
}

TEST(EqBand, BlockAndSampleFilteringAgree)
{
    EqBand a = makeBand(EqBand::HighShelf, 9.0, 2500.0, 3.0, 48000.0);
    EqBand b = a;
    std::vector<float> x = tbtest::makeNoise(1000, 9);
    std::vector<float> y = x;
    a.processBlock(y.data(), 1000);
    for (int n = 0; n < 1000; ++n)
        ASSERT_EQ(b.process(x[n]), y[n]) << n;
}

TEST(EqBand, UpdateKeepsTheStates)
{
    EqBand b = makeBand(EqBand::Peaking, 3.0, 1000.0, 1.0, 48000.0);
    b.process(0.5f);
    b.process(-0.25f);
    const float x1 = b.x1, y1 = b.y1;
    b.gain = -3.0;
    b.updateBand(48000.0);
    EXPECT_EQ(b.x1, x1);
    EXPECT_EQ(b.y1, y1);
}

// Guards the two-channel version against mixing the channels, dropping a
// flush or losing the states between chunks and blocks: each side must come
// out bit for bit as processBlock() renders it, band after band.
TEST(EqBand, ChainsOfBothChannelsMatchBlockByBlockBits)
{
    for (int count : {1, 5, 8}) {
        EqBand l1[8], r1[8];
        for (int b = 0; b < count; ++b) {
            l1[b] = makeBand(b % 3, b % 2 ? 7.0 : -5.0, 100.0 * (b + 1), 1.0, 44100.0);
            r1[b] = makeBand((b + 1) % 3, b % 2 ? -4.0 : 9.0, 150.0 * (b + 1), 2.0, 44100.0);
        }
        EqBand l2[8], r2[8];
        std::copy(l1, l1 + 8, l2);
        std::copy(r1, r1 + 8, r2);
        std::vector<float> inL = tbtest::makeNoise(3000, 2, 0.5f), inR = tbtest::makeSine(330.0, 44100.0, 3000);
        inL[1000] = 1.0e-12f;  // below the flush limit
        std::vector<float> aL = inL, aR = inR, bL = inL, bR = inR;
        for (int at = 0, block = 1; at < 3000; at += block, block = block * 3 + 1) {
            const int n = std::min(block, 3000 - at);
            for (int b = 0; b < count; ++b) {
                l1[b].processBlock(aL.data() + at, n);
                r1[b].processBlock(aR.data() + at, n);
            }
            EqBand::processChains(l2, r2, count, bL.data() + at, bR.data() + at, n);
        }
        EXPECT_EQ(aL, bL) << count << " bands";
        EXPECT_EQ(aR, bR) << count << " bands";
    }
}

#if defined(__SSE2__)
// Between blocks the kept pairs leave their second band a frame behind; new
// coefficients must let it take that frame with the old ones, whatever the
// block length; first, middle and last pairs each run their own loop.
TEST(EqBand, KeptPairsMatchTheBandsAcrossCoefficientChanges)
{
    EqBand l[6], r[6];
    for (int b = 0; b < 6; ++b) {
        l[b] = makeBand(b % 3, 6.0, 200.0 * (b + 1), 1.0, 44100.0);
        r[b] = makeBand((b + 1) % 3, -6.0, 300.0 * (b + 1), 1.5, 44100.0);
    }
    EqBandPairLanes pairs[3];
    for (int p = 0; p < 3; ++p) {
        pairs[p].loadCoefficients(l[2 * p], r[2 * p], l[2 * p + 1], r[2 * p + 1]);
        pairs[p].clearHistory();
    }
    const int frames = 2000;
    std::vector<float> aL = tbtest::makeNoise(frames, 5, 0.5f), aR = tbtest::makeSine(440.0, 44100.0, frames);
    std::vector<float> bL = aL, bR = aR;
    for (int at = 0, block = 1, i = 0; at < frames; at += block, block = block % 9 + 1, ++i) {
        block = std::min(block, frames - at);
        for (int b = 0; b < 6; ++b) {
            l[b].processBlock(aL.data() + at, block);
            r[b].processBlock(aR.data() + at, block);
        }
        EqBandPairLanes::runChain(pairs, 3, bL.data() + at, bR.data() + at, block);
        const int b = i % 6;
        l[b].gain = r[b].gain = (i % 7) - 3.0;
        l[b].updateBand(44100.0);
        r[b].updateBand(44100.0);
        pairs[b / 2].loadCoefficients(l[b & ~1], r[b & ~1], l[b | 1], r[b | 1]);
    }
    EXPECT_EQ(aL, bL);
    EXPECT_EQ(aR, bR);
}
#endif
