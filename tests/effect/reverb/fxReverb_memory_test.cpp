#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "reverb_rig.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

using namespace plate;

namespace {

const int kBase[12] = {142, 107, 379, 277, 672, 4453, 1800, 3720, 908, 4217, 2656, 3163};

void renderSilence(ReverbRig& rig, int frames)
{
    std::vector<float> l(frames, 0.0f), r;
    rig.render(l, r);
}

}  // namespace

TEST(ReverbMemory, AllocationsAt44100)
{
    ReverbRig rig(44100.0f);
    const ReverbMemory& m = rig.reverb->plate().memory();
    int64_t sum = 0;
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(m.line(i).allocated, 44100 * kBase[i] / 20000) << "line " << i;
        sum += m.line(i).allocated;
    }
    EXPECT_EQ(m.line(5).allocated, 9818);
    EXPECT_EQ(m.line(kPredelayLine).allocated, 11025);
    EXPECT_EQ(m.line(kEarlyRingLine).allocated, 32768);
    EXPECT_EQ(m.totalLength(), sum + 11025 + 32768);
}

TEST(ReverbMemory, RoomSizeSetsLineLengthsAndTaps)
{
    ReverbRig rig(44100.0f);
    rig.set(kRoomSize, 100);
    renderSilence(rig, 64);
    const PlateReverb& p = rig.reverb->plate();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(p.memory().line(i).length, p.memory().line(i).allocated) << "largest room uses all of line " << i;
    EXPECT_EQ(p.outputTapLeft(0), 44100 * 266 / 20000);
    EXPECT_EQ(p.earlyOffsetRight(7), 13894) << "largest reflection";

    rig.set(kRoomSize, 50);
    renderSilence(rig, 64);
    const int64_t t = 44100 * 65 / 115;
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(p.memory().line(i).length, t * kBase[i] / 20000) << "line " << i;
    EXPECT_EQ(p.outputTapRight(1), t * 3627 / 20000);

    rig.set(kPredelay, 100);
    renderSilence(rig, 64);
    EXPECT_EQ(p.memory().line(kPredelayLine).length, 4410);
    rig.set(kPredelay, 0);
    renderSilence(rig, 64);
    EXPECT_EQ(p.memory().line(kPredelayLine).length, 1) << "a zero predelay still holds one sample";
}

TEST(ReverbMemory, RateChangeReallocatesForTheNewRate)
{
    ReverbRig rig(44100.0f);
    rig.reverb->setSampleRate(96000.0f);
    const ReverbMemory& m = rig.reverb->plate().memory();
    EXPECT_EQ(m.line(5).allocated, 96000 * 4453 / 20000);
    EXPECT_EQ(m.line(kPredelayLine).allocated, 24000);
    EXPECT_EQ(m.line(kEarlyRingLine).allocated, 65536);
    for (int i = 0; i < kLineCount; ++i) {
        EXPECT_EQ(m.line(i).position, 0);
        EXPECT_EQ(m.line(i).length, m.line(i).allocated);
    }
}

// Regression: rate * base length overflowed 32-bit arithmetic above about
// 480 kHz and gave negative allocations.
TEST(ReverbMemory, HighRatesDoNotOverflowTheLineArithmetic)
{
    ReverbRig rig(768000.0f);
    const ReverbMemory& m = rig.reverb->plate().memory();
    EXPECT_EQ(m.line(5).allocated, 170995);
    rig.set(kRoomSize, 100);
    rig.set(kPredelay, 250);
    std::vector<float> l = tbtest::makeNoise(4096), r;
    rig.render(l, r);
    EXPECT_EQ(m.line(5).length, 170995);
    EXPECT_EQ(m.line(kPredelayLine).length, 192000);
    EXPECT_TRUE(tbtest::allFinite(l));
}

// Regression: rates no host means (0, negative, NaN, absurdly high) must give
// a small bounded allocation with every line at least one sample long, and
// first-order filters whose cut-off lies past half the rate must stay stable.
TEST(ReverbMemory, NonsenseRatesStayBoundedAndSilentlySafe)
{
    for (float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), 1.0e12f, 3.0f}) {
        ReverbRig rig(rate);
        const ReverbMemory& m = rig.reverb->plate().memory();
        ASSERT_TRUE(m.ready());
        EXPECT_LE(m.totalLength(), int64_t {768000} * 3);
        for (int i = 0; i < kLineCount; ++i)
            EXPECT_GE(m.line(i).allocated, 1);
        std::vector<float> l = tbtest::makeNoise(2048), r;
        rig.render(l, r);
        EXPECT_TRUE(tbtest::allFinite(l)) << "rate " << rate;
        EXPECT_TRUE(tbtest::allFinite(r)) << "rate " << rate;
    }
}

// Regression: a rate change handed back a block of whatever the allocator
// held, so a host that processed without a suspend in between (rate, resume,
// process) played that memory back through the tank.
TEST(ReverbMemory, RateChangeWithoutSuspendStartsFromSilence)
{
    fxReverb reverb(nullptr);
    reverb.setSampleRate(48000.0f);
    const ReverbMemory& m = reverb.plate().memory();
    for (int i = 0; i < kLineCount; ++i)
        for (int32_t k = 0; k < m.line(i).allocated; ++k)
            ASSERT_EQ(m.line(i).data[k], 0.0f) << "line " << i << " sample " << k;

    reverb.resume();
    std::vector<float> l(48000, 0.0f), r(48000, 0.0f);
    float* io[2] = {l.data(), r.data()};
    reverb.processReplacing(io, io, 48000);
    // Only the anti-denormal biases are left.
    EXPECT_LT(tbtest::peakAbs(l.data(), 48000), 1e-15f);
    EXPECT_LT(tbtest::peakAbs(r.data(), 48000), 1e-15f);
}
