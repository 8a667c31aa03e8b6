#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "reverb_rig.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

using namespace plate;

namespace {

// Reverberation time from the backward-integrated energy of an impulse
// response, fitted between -5 dB and -35 dB and extended to 60 dB.
double reverbTime(const std::vector<float>& x, double rate)
{
    std::vector<double> energy(x.size());
    double acc = 0.0;
    for (size_t i = x.size(); i-- > 0;) {
        acc += double(x[i]) * x[i];
        energy[i] = acc;
    }
    const double total = energy[0];
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double db = 10.0 * std::log10(energy[i] / total);
        if (db > -5.0 || db < -35.0)
            continue;
        const double t = i / rate;
        sx += t, sy += db, sxx += t * t, sxy += t * db;
        ++n;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return -60.0 / slope;
}

void tankOnly(ReverbRig& rig)
{
    rig.set(kMuteEarly, 1);
    rig.set(kMuteDry, 1);
    rig.set(kReverb, 0);
    rig.set(kLowCut, 19);
    rig.set(kHighCut, 221);
    rig.set(kHighDamping, 221);
    rig.set(kBassMultiplier, 10);
    rig.set(kPredelay, 0);
}

}  // namespace

TEST(ReverbSignal, EarlyReflectionsAreSignedTapsOfTheFirstDiffuser)
{
    ReverbRig rig(44100.0f);
    rig.earlyOnly();
    std::vector<float> l, r;
    rig.impulse(16384, l, r);

    // Without diffusion the first diffuser is a plain 313-sample delay; the
    // reflections follow it without the predelay.
    const int start = 44100 * 142 / 20000;
    const int left[7] = {1102, 2904, 3784, 4873, 5878, 7470, 9062};
    const int right[8] = {837, 1423, 2865, 3938, 5278, 5978, 7532, 9263};
    const float signL[7] = {1, 1, -1, 1, 1, 1, 1};
    const float signR[8] = {1, -1, 1, 1, -1, 1, 1, -1};
    // Offsets are worked out in single precision, which puts some of them
    // one sample short of E * 1.5.
    volatile float area = 44100.0f;
    auto offset = [&](int e) { return static_cast<int>(static_cast<float>(e) * 1.5f * area / 44100.0f); };
    const float first = static_cast<float>(std::min(offset(left[0]), offset(right[0])));
    EXPECT_EQ(offset(right[7]), 13894);

    std::vector<float> expectL(l.size(), 0.0f), expectR(r.size(), 0.0f);
    for (int k = 0; k < 7; ++k)
        expectL[start + offset(left[k])] = signL[k] * 0.5f * first / offset(left[k]);
    for (int k = 0; k < 8; ++k)
        expectR[start + offset(right[k])] = signR[k] * 0.36f * first / offset(right[k]);
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_NEAR(l[i], expectL[i], 1e-6f) << "left sample " << i;
        ASSERT_NEAR(r[i], expectR[i], 1e-6f) << "right sample " << i;
    }
}

TEST(ReverbSignal, PredelayShiftsTheTankButNotTheReflections)
{
    auto onset = [](int predelay, bool early) {
        ReverbRig rig(44100.0f);
        tankOnly(rig);
        if (early) {
            rig.earlyOnly();
        }
        rig.set(kPredelay, predelay);
        std::vector<float> l, r;
        rig.impulse(20000, l, r);
        return firstAbove(l, 1e-6f);
    };
    const int tank0 = onset(0, false);
    const int tank100 = onset(100, false);
    ASSERT_GT(tank0, 0);
    EXPECT_EQ(tank100 - tank0, 4410 - 1) << "100 ms replaces the one-sample minimum";
    EXPECT_EQ(onset(100, true), onset(0, true));
}

TEST(ReverbSignal, DecayTimeFollowsTheDecaySetting)
{
    auto measure = [](int tenths) {
        ReverbRig rig(44100.0f);
        tankOnly(rig);
        rig.set(kDecay, tenths);
        std::vector<float> l, r;
        rig.impulse(44100 * 3, l, r);
        return reverbTime(l, 44100.0);
    };
    const double t1 = measure(10);
    const double t2 = measure(20);
    EXPECT_NEAR(t2 / t1, 2.0, 0.2);
    // The decay law counts only the four plain delays of the loop; the four
    // tank allpasses lengthen each round trip and with it the decay.
    const double loop = 4453 + 3720 + 4217 + 3163;
    const double stretch = (loop + 672 + 1800 + 908 + 2656) / loop;
    EXPECT_NEAR(t1, 1.0 * stretch, 0.15 * stretch);
    EXPECT_NEAR(t2, 2.0 * stretch, 0.3 * stretch);
}

TEST(ReverbSignal, WidthSpreadsTheWetSignal)
{
    auto render = [](int width, std::vector<float>& l, std::vector<float>& r) {
        ReverbRig rig(48000.0f);
        rig.set(kMuteDry, 1);
        rig.set(kReverb, 0);
        rig.set(kWidth, width);
        l = tbtest::makeNoise(8192, 7);
        r = tbtest::makeNoise(8192, 8);
        rig.render(l, r);
    };
    std::vector<float> l0, r0, l1, r1;
    render(0, l0, r0);
    render(100, l1, r1);
    double difference = 0.0;
    for (size_t i = 0; i < l0.size(); ++i) {
        ASSERT_EQ(l0[i], r0[i]) << "no width gives one mono wet signal";
        ASSERT_NEAR(l1[i] + r1[i], 2.0f * l0[i], 1e-5f);
        difference += std::fabs(l1[i] - r1[i]);
    }
    EXPECT_GT(difference, 1.0) << "full width gives two different sides";
}

TEST(ReverbSignal, RoomSizeChangeSilencesTheTankAtOnce)
{
    auto tailAfter = [](bool changeRoom) {
        ReverbRig rig(44100.0f);
        tankOnly(rig);
        rig.set(kDecay, 100);
        std::vector<float> l = tbtest::makeNoise(22050), r;
        rig.render(l, r);
        if (changeRoom)
            rig.set(kRoomSize, 80);
        std::vector<float> tl(8192, 0.0f), tr;
        rig.render(tl, tr);
        return tbtest::rmsDb(tl.data(), static_cast<int>(tl.size()));
    };
    const double kept = tailAfter(false);
    const double cleared = tailAfter(true);
    EXPECT_GT(kept, -30.0);
    EXPECT_LT(cleared, kept - 30.0);
}

TEST(ReverbSignal, AccumulatingProcessAddsToTheOutputs)
{
    ReverbRig a(44100.0f), b(44100.0f);
    std::vector<float> in = tbtest::makeNoise(1024, 3);
    std::vector<float> replacedL(1024), replacedR(1024), addedL(1024, 0.25f), addedR(1024, -0.5f);
    float* inputs[2] = {in.data(), in.data()};
    float* outA[2] = {replacedL.data(), replacedR.data()};
    float* outB[2] = {addedL.data(), addedR.data()};
    a.reverb->processReplacing(inputs, outA, 1024);
    b.reverb->process(inputs, outB, 1024);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_FLOAT_EQ(addedL[i], replacedL[i] + 0.25f);
        ASSERT_FLOAT_EQ(addedR[i], replacedR[i] - 0.5f);
    }
}

// The taps are summed over chunks of frames after the recursion; a chunk
// must stop before a frame overwrites what an earlier frame of it reads.
// Tiny rooms at low rates put taps right behind their heads (offset 0 among
// them): blocks of 1000 must still give the bits of frame-by-frame blocks.
TEST(ReverbSignal, TapsCloseBehindTheirHeadsGiveTheBitsOfSingleFrames)
{
    for (const float rate : {100.0f, 1000.0f, 8000.0f}) {
        std::vector<float> out[2][2];
        for (int pass = 0; pass < 2; ++pass) {
            ReverbRig rig(rate);
            rig.set(kRoomSize, 0);
            rig.set(kMuteDry, 1);
            rig.set(kEarly, 0);
            out[pass][0] = tbtest::makeNoise(3000, 7);
            out[pass][1] = tbtest::makeNoise(3000, 8);
            rig.render(out[pass][0], out[pass][1], pass == 0 ? 1 : 1000);
        }
        EXPECT_GT(tbtest::rms(out[1][0].data(), 3000), 1e-5) << rate;
        for (int c = 0; c < 2; ++c)
            for (size_t i = 0; i < out[0][c].size(); ++i)
                ASSERT_EQ(out[0][c][i], out[1][c][i]) << rate << " Hz, channel " << c << ", frame " << i;
    }
}

// How far a chunk may run is worked out when the layout changes, not per
// block: a room that shrinks between blocks must shorten the chunks at once.
TEST(ReverbSignal, ARoomShrunkBetweenBlocksKeepsTheBitsOfSingleFrames)
{
    std::vector<float> out[2][2];
    for (int pass = 0; pass < 2; ++pass) {
        const int block = pass == 0 ? 1 : 1000;
        ReverbRig rig(1000.0f);
        rig.set(kMuteDry, 1);
        rig.set(kEarly, 0);
        std::vector<float> warm = tbtest::makeNoise(2000, 5);
        rig.render(warm, warm, block);
        rig.set(kRoomSize, 0);
        out[pass][0] = tbtest::makeNoise(3000, 7);
        out[pass][1] = tbtest::makeNoise(3000, 8);
        rig.render(out[pass][0], out[pass][1], block);
    }
    for (int c = 0; c < 2; ++c)
        for (size_t i = 0; i < out[0][c].size(); ++i)
            ASSERT_EQ(out[0][c][i], out[1][c][i]) << "channel " << c << ", frame " << i;
}

// suspend() silences the memory, so nothing made before it may be heard:
// after it a used plate sounds as a new one.
TEST(ReverbSignal, AfterSuspendAUsedPlateSoundsAsANewOne)
{
    ReverbRig used(44100.0f), fresh(44100.0f);
    std::vector<float> warm = tbtest::makeNoise(1000, 3);
    used.render(warm, warm, 16);
    used.reverb->suspend();
    std::vector<float> a = tbtest::makeNoise(2000, 4), b = a, empty;
    used.render(a, empty, 16);
    empty.clear();
    fresh.render(b, empty, 16);
    EXPECT_EQ(a, b);
}

// Regression: a high cut above half the rate folded back to a lower cut-off
// (22 kHz at 8 kHz acted like 2 kHz); it now acts as half the rate.
TEST(ReverbSignal, HighCutAboveHalfTheRateActsAsHalfTheRate)
{
    auto response = [](int highCut) {
        ReverbRig rig(8000.0f);
        rig.earlyOnly();
        rig.set(kHighCut, highCut);
        std::vector<float> l, r;
        rig.impulse(4096, l, r);
        return l;
    };
    const std::vector<float> open = response(221);
    const std::vector<float> cut = response(220);
    const auto peak
        = std::max_element(open.begin(), open.end(), [](float x, float y) { return std::fabs(x) < std::fabs(y); });
    const size_t at = static_cast<size_t>(peak - open.begin());
    // The one-pole's first output sample is its coefficient.
    EXPECT_NEAR(cut[at] / open[at], 2.0 * std::sqrt(2.0) - 2.0, 1e-4);
}

TEST(ReverbSignal, MutesAndSilentLevelsRemoveTheirPaths)
{
    ReverbRig rig(44100.0f);
    rig.set(kMuteReverb, 1);
    rig.set(kMuteEarly, 1);
    std::vector<float> l = tbtest::makeNoise(4096, 5), r = tbtest::makeNoise(4096, 6);
    const std::vector<float> inL = l, inR = r;
    rig.render(l, r);
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_FLOAT_EQ(l[i], inL[i]) << "only the dry signal is left";
        ASSERT_FLOAT_EQ(r[i], inR[i]);
    }

    ReverbRig silent(44100.0f);
    silent.reverb->setParameter(kInput, 0.0f);
    l = inL;
    r = inR;
    silent.render(l, r);
    EXPECT_LT(tbtest::peakAbs(l.data(), 4096), 1e-6f) << "a silent input silences dry and wet";
}
