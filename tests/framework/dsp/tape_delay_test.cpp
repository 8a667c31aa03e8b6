#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "framework/dsp/CTapeDelay.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

struct Echo {
    int first = -1;  // first non-zero output sample after the impulse
    double sum = 0.0;  // total weight of the response
    double centroid = 0;  // weighted mean position
};

// Lets the output fade in over silent tape, then sends one impulse and
// collects the response over 'window' samples.
Echo impulseResponse(CTapeDelay& line, int window, float height = 1.0f)
{
    for (int n = 0; n < 3000; ++n)
        line.process(0.0f);
    Echo e;
    double moment = 0.0;
    for (int n = 0; n < window; ++n) {
        const float y = line.process(n == 0 ? height : 0.0f);
        if (y != 0.0f) {
            if (e.first < 0)
                e.first = n;
            e.sum += y;
            moment += n * static_cast<double>(y);
        }
    }
    if (e.sum != 0.0)
        e.centroid = moment / e.sum;
    return e;
}

std::vector<float> responseOf(CTapeDelay& line, int window)
{
    for (int n = 0; n < 3000; ++n)
        line.process(0.0f);
    std::vector<float> out(window);
    for (int n = 0; n < window; ++n)
        out[n] = line.process(n == 0 ? 1.0f : 0.0f);
    return out;
}

}  // namespace

TEST(TapeDelay, ShortLengthsAreRaisedToFour)
{
    CTapeDelay line(1, 0.0);
    EXPECT_EQ(line.length(), 4);
    EXPECT_DOUBLE_EQ(line.minimumSpeed(), 0.25);
    CTapeDelay negative(-100, 0.0);
    EXPECT_EQ(negative.length(), 4);
    EXPECT_TRUE(negative.valid());
}

TEST(TapeDelay, ImpulseArrivesOneLapLaterForIntegerAndFractionalSpeeds)
{
    // The read head sits one lap behind the write head: the echo's centre lies
    // at 1 / speed + 1 samples, split between two neighbours by linear
    // interpolation when 1 / speed is fractional.
    for (double laps : {30.0, 50.0, 72.99, 100.5, 431.25}) {
        CTapeDelay line(1000, 0.0);
        line.targetSpeed = 1.0 / laps;
        line.reset();
        const Echo e = impulseResponse(line, 1500);
        EXPECT_NEAR(e.centroid, laps + 1.0, 0.01) << laps;
        EXPECT_NEAR(e.sum, 1.0, 1e-4) << laps;
        EXPECT_EQ(e.first, static_cast<int>(std::floor(laps)) + 1) << laps;
    }
}

TEST(TapeDelay, DefaultSpeedGivesAboutHalfTheLength)
{
    CTapeDelay line(1000, 0.0);
    EXPECT_NEAR(line.targetSpeed, 1.0 / 501.0, 1e-12);
    const Echo e = impulseResponse(line, 1500);
    EXPECT_NEAR(e.centroid, 502.0, 0.01);
}

TEST(TapeDelay, OutputGainScalesTheEchoAfterTheFadeIn)
{
    CTapeDelay line(400, 0.3);
    line.targetSpeed = 0.01;
    line.targetGain = -0.6f;
    line.reset();
    EXPECT_EQ(line.outputGain(), 0.0f);
    const Echo e = impulseResponse(line, 500);
    EXPECT_NEAR(e.sum, -0.6, 1e-4);
    EXPECT_NEAR(e.centroid, 101.0, 0.01);
}

TEST(TapeDelay, FeedbackRepeatsTheEchoEveryLap)
{
    CTapeDelay line(1000, 0.0);
    line.targetSpeed = 1.0 / 80.0;
    line.feedback = 0.5f;
    line.reset();
    const std::vector<float> y = responseOf(line, 400);
    // Echo k arrives k laps later at 0.5^(k-1) of the first.
    EXPECT_NEAR(y[81], 1.0f, 1e-4f);
    EXPECT_NEAR(y[162], 0.5f, 1e-4f);
    EXPECT_NEAR(y[243], 0.25f, 1e-4f);
    EXPECT_NEAR(y[324], 0.125f, 1e-4f);
    double rest = 0.0;
    for (int n = 0; n < 400; ++n)
        if (n % 81 != 0)
            rest += std::fabs(y[n]);
    EXPECT_LT(rest, 1e-4);
}

TEST(TapeDelay, SpeedIsLimitedToFiveSamplesAndToTheLength)
{
    CTapeDelay fast(1000, 0.0);
    fast.targetSpeed = 0.7;
    fast.reset();
    EXPECT_NEAR(impulseResponse(fast, 50).centroid, 6.0, 1e-6);

    CTapeDelay slow(300, 0.0);
    slow.targetSpeed = 1e-7;
    slow.reset();
    EXPECT_NEAR(impulseResponse(slow, 700).centroid, 301.0, 0.01);
}

TEST(TapeDelay, SpeedNotANumberRunsAtTheMinimumAndRecovers)
{
    // Regression: a NaN speed used to stop the write head inside its lap, so
    // the lap never ended and its count ran past the buffer.
    CTapeDelay line(200, 0.0);
    line.targetSpeed = std::nan("");
    line.reset();
    const Echo e = impulseResponse(line, 3000);
    EXPECT_NEAR(e.centroid, 201.0, 0.01);
    EXPECT_NEAR(e.sum, 1.0, 1e-4);

    line.targetSpeed = 0.02;
    for (int n = 0; n < 5000; ++n)
        line.process(0.0f);
    EXPECT_NEAR(line.speed(), 0.02, 1e-6);
    EXPECT_NEAR(impulseResponse(line, 300).centroid, 51.0, 0.01);
}

TEST(TapeDelay, StartPositionNotANumberNeverWritesPastTheLap)
{
    CTapeDelay line(64, std::nan(""));
    tbtest::NoiseSource noise(3);
    for (int n = 0; n < 20000; ++n)
        ASSERT_TRUE(std::isfinite(line.process(noise.next())));
    // Once the lap is full the head restarts at 0 and the line works again.
    EXPECT_GE(line.writePosition(), 0.0);
    EXPECT_LT(line.writePosition(), 1.0);
}

TEST(TapeDelay, LfoOnlyShortensTheDelay)
{
    // A negative depth would lengthen it; the factor is kept at 1 or more.
    CTapeDelay negative(1000, 0.0);
    negative.targetSpeed = 0.01;
    negative.lfoDepth = -1.0f;
    negative.lfoIncrement = 0.5;
    negative.reset();
    EXPECT_NEAR(impulseResponse(negative, 300).centroid, 101.0, 0.01);

    // Phase alternates 0 and 0.5: factors 1 and 2 (the triangle's peak), so
    // the tape runs on average 1.5 times faster.
    CTapeDelay positive(1000, 0.0);
    positive.targetSpeed = 0.01;
    positive.lfoDepth = 1.0f;
    positive.lfoIncrement = 0.5;
    positive.reset();
    const Echo e = impulseResponse(positive, 300);
    EXPECT_NEAR(e.centroid, 100.0 / 1.5 + 1.0, 1.0);
}

TEST(TapeDelay, SpeedChangesGlideWithoutClicks)
{
    // A sine through a line whose speed jumps keeps a bounded sample-to-sample
    // step: the pitch bends, the waveform does not break.
    const double rate = 48000.0;
    CTapeDelay line(4800, 0.0);
    line.targetSpeed = 1.0 / 2000.0;
    line.reset();
    const std::vector<float> x = tbtest::makeSine(220.0, rate, 96000, 0.5f);
    float previous = 0.0f;
    float largestStep = 0.0f;
    for (int n = 0; n < 96000; ++n) {
        if (n == 30000)
            line.targetSpeed = 1.0 / 300.0;
        if (n == 60000)
            line.targetSpeed = 1.0 / 4000.0;
        const float y = line.process(x[n]);
        ASSERT_TRUE(std::isfinite(y));
        if (n > 10000)
            largestStep = std::fmax(largestStep, std::fabs(y - previous));
        previous = y;
    }
    // Unbent, a 220 Hz sine of 0.5 moves at most 0.0144 per sample; the bend
    // raises the pitch by at most 1 + 0.005 * 2000 / 300 here.
    EXPECT_LT(largestStep, 0.0144f * 8.0f);
    EXPECT_GT(largestStep, 0.0100f);
}

TEST(TapeDelay, ResetSilencesTheTapeAndFadesIn)
{
    CTapeDelay line(100, 0.0);
    line.targetSpeed = 0.05;
    tbtest::NoiseSource noise(5);
    for (int n = 0; n < 1000; ++n)
        line.process(noise.next());
    line.reset();
    EXPECT_EQ(line.outputGain(), 0.0f);
    float sum = 0.0f;
    for (int n = 0; n < 200; ++n)
        sum += std::fabs(line.process(0.0f));
    EXPECT_EQ(sum, 0.0f);
    EXPECT_NEAR(line.outputGain(), 1.0f - std::pow(0.99f, 200.0f), 1e-4f);
}

// Guards the block version against drifting from process(): with the speed,
// LFO, feedback and gain moved between blocks (laps end mid-block and the
// speed glides), every sample must carry the same bits.
TEST(TapeDelay, BlocksGiveTheBitsOfSampleBySample)
{
    CTapeDelay a(600, 0.2), b(600, 0.2);
    const std::vector<float> in = tbtest::makeNoise(6000, 7, 0.5f);
    std::vector<float> outA(in.size()), outB(in.size());
    int at = 0;
    for (int block = 1; at < static_cast<int>(in.size()); block = block * 2 + 3) {
        for (CTapeDelay* line : {&a, &b}) {
            line->targetSpeed = 0.004 + 0.001 * (block % 7);
            line->lfoIncrement = 0.0003 * (block % 5);
            line->lfoDepth = 0.1f * static_cast<float>(block % 3);
            line->feedback = 0.4f;
            line->targetGain = 0.8f;
        }
        const int n = std::min(block, static_cast<int>(in.size()) - at);
        for (int k = at; k < at + n; ++k)
            outA[k] = a.process(in[k]);
        // Now and then a single sample amid a block, which moves the LFO on.
        const int half = block % 3 == 2 ? n / 2 : n;
        b.processBlock(in.data() + at, outB.data() + at, half);
        if (half < n) {
            outB[at + half] = b.process(in[at + half]);
            b.processBlock(in.data() + at + half + 1, outB.data() + at + half + 1, n - half - 1);
        }
        at += n;
    }
    EXPECT_GT(*std::max_element(outB.begin(), outB.end()), 0.1f);  // the echo came through
    EXPECT_EQ(outA, outB);
    EXPECT_EQ(a.writePosition(), b.writePosition());
}

// Once the glides have settled, short blocks skip most of the block set-up;
// blocks of all sizes, a lone sample now and then and input of the
// flush's own threshold must still carry the bits of process(), whether
// the block writes its output, reads flushed input or adds in place.
TEST(TapeDelay, SettledBlocksGiveTheBitsOfSampleBySample)
{
    CTapeDelay a(300, 0.4), b(300, 0.4), c(300, 0.4), d(300, 0.4);
    std::vector<float> in = tbtest::makeNoise(12000, 11, 0.5f);
    for (size_t k = 0; k < in.size(); k += 7)
        in[k] = (k % 2 ? 1.0f : -1.0f) * 0.9e-9f;
    std::vector<float> flushed(in.size());
    for (size_t k = 0; k < in.size(); ++k)
        flushed[k] = std::fabs(in[k]) < 1e-9f ? 0.0f : in[k];
    for (CTapeDelay* line : {&a, &b, &c, &d}) {
        line->targetSpeed = 0.02;
        line->lfoIncrement = 0.0011;
        line->lfoDepth = 0.3f;
        line->feedback = 0.5f;
        line->targetGain = 0.7f;
    }
    std::vector<float> outA(in.size()), outB(in.size()), outC(in.size()), mixed = in;
    const int sizes[] = {16, 16, 16, 24, 5, 64, 1, 16, 40, 100};
    int at = 0;
    for (int block = 0; at < static_cast<int>(in.size()); ++block) {
        const int n = std::min(sizes[block % 10], static_cast<int>(in.size()) - at);
        for (int k = at; k < at + n; ++k)
            outA[k] = a.process(in[k]);
        if (block % 17 == 16) {
            outB[at] = b.process(in[at]);
            outC[at] = c.process(flushed[at]);
            mixed[at] = d.process(in[at]) + mixed[at];
            b.processBlock(in.data() + at + 1, outB.data() + at + 1, n - 1);
            c.processFlushedBlock(flushed.data() + at + 1, outC.data() + at + 1, n - 1);
            d.processBlockAdding(mixed.data() + at + 1, mixed.data() + at + 1, n - 1);
        } else {
            b.processBlock(in.data() + at, outB.data() + at, n);
            c.processFlushedBlock(flushed.data() + at, outC.data() + at, n);
            d.processBlockAdding(mixed.data() + at, mixed.data() + at, n);
        }
        at += n;
    }
    EXPECT_GT(*std::max_element(outB.begin(), outB.end()), 0.1f);
    EXPECT_EQ(outA, outB);
    EXPECT_EQ(outA, outC);
    for (size_t k = 0; k < in.size(); ++k)
        outA[k] = outA[k] + in[k];
    EXPECT_EQ(outA, mixed);
}

// Laps that blocks must meet on the same sample as process() does: ones
// that end only when their buffer is full, because the head is not a
// number or never reaches 1.0, one that ends before it has any tape,
// because the head starts just short of the end, and a head that starts
// laps ahead.
TEST(TapeDelay, BlocksMeetingRareLapsGiveTheBitsOfSampleBySample)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (const double start : {std::nan(""), -inf, 0.99, 5.0, inf}) {
        CTapeDelay a(64, start), b(64, start);
        const std::vector<float> in = tbtest::makeNoise(3000, 5, 0.5f);
        std::vector<float> outA(in.size()), outB(in.size());
        for (size_t k = 0; k < in.size(); ++k)
            outA[k] = a.process(in[k]);
        for (size_t at = 0, n = 16; at < in.size(); at += n, n = 40 - n) {
            n = std::min(n, in.size() - at);
            b.processBlock(in.data() + at, outB.data() + at, static_cast<int>(n));
        }
        EXPECT_EQ(outA, outB) << start;
        EXPECT_EQ(a.writePosition(), b.writePosition()) << start;
    }
}
