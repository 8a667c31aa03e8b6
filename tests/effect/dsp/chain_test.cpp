#include "tests/effect/dsp/chain_rig.h"

#include "effect/dsp/ModelStage.h"
#include "effect/pedals/CPedalFX.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using chaintest::ChainRig;

namespace {

constexpr double kRate = 48000.0;
constexpr int kSecond = 48000;

// Level of the settled second half of a rendered signal.
double settledDb(const std::vector<float>& x, double frequency)
{
    const int half = static_cast<int>(x.size()) / 2;
    return tbtest::levelDbAt(x.data() + half, half, frequency, kRate);
}

}  // namespace

TEST(ChainLevels, DefaultProgramPassesMidBandUnchanged)
{
    ChainRig rig(kRate);
    const auto out = rig.renderSine(1000.0, 0.25f, kSecond);
    EXPECT_NEAR(settledDb(out, 1000.0), tbtest::toDb(0.25), 0.05);
    EXPECT_TRUE(tbtest::allFinite(out));
}

TEST(ChainLevels, InputHighPassRemovesDcAndLowRumble)
{
    ChainRig rig(kRate);
    const double mid = settledDb(rig.renderSine(1000.0, 0.5f, kSecond), 1000.0);
    ChainRig low(kRate);
    const double at30 = settledDb(low.renderSine(30.0, 0.5f, 2 * kSecond), 30.0);
    ChainRig sub(kRate);
    const double at8 = settledDb(sub.renderSine(8.0, 0.5f, 4 * kSecond), 8.0);
    EXPECT_LT(at30 - mid, -2.0);
    EXPECT_GT(at30 - mid, -8.0);
    EXPECT_LT(at8 - mid, -18.0);

    ChainRig dc(kRate);
    std::vector<float> l(kSecond, 0.5f), r(kSecond, 0.5f), ol, orr;
    dc.render(l, r, ol, orr);
    EXPECT_LT(tbtest::peakAbs(ol.data() + kSecond / 2, kSecond / 2), 1e-3f);
}

// Full blocks take the input four frames at a time, a block's odd frames one
// by one; both must let through and silence the same samples.
TEST(ChainLevels, WildSamplesPlayAlikeInWholeAndSingleFrameBlocks)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float wild[] = {nan, inf, -inf, 1e6f, -1e6f, 1.0001e6f, -1.0001e6f, 1e-9f, -1e-9f, 0.99e-9f, -0.99e-9f, -0.0f,
        0.25f, -0.25f, 3e5f, 1e-30f};
    std::vector<float> l(4096), r(4096);
    for (size_t i = 0; i < l.size(); ++i) {
        l[i] = wild[i % 16];
        r[i] = wild[(i * 7 + 3) % 16];
    }
    std::vector<float> l1 = l, r1 = r, wholeL, wholeR, singleL, singleR;
    ChainRig whole(kRate), single(kRate);
    whole.render(l, r, wholeL, wholeR);
    single.render(l1, r1, singleL, singleR, 1);
    EXPECT_EQ(wholeL, singleL);
    EXPECT_EQ(wholeR, singleR);
}

TEST(ChainLevels, LevelLawsSpanPlusMinusTwentyFourDb)
{
    for (int index : {0, 1}) {
        ChainRig up(kRate);
        up.set(index, 0.75f);
        EXPECT_NEAR(settledDb(up.renderSine(1000.0, 0.01f, kSecond), 1000.0), tbtest::toDb(0.01) + 12.0, 0.05)
            << "index " << index;
        ChainRig down(kRate);
        down.set(index, 0.0f);
        EXPECT_NEAR(settledDb(down.renderSine(1000.0, 0.5f, kSecond), 1000.0), tbtest::toDb(0.5) - 24.0, 0.05)
            << "index " << index;
    }
    EXPECT_FLOAT_EQ(CDriveEffect::gainForValue(0.5f), 1.0f);
}

TEST(ChainLevels, NonFiniteLevelIsIgnored)
{
    ChainRig rig(kRate);
    rig.set(1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(rig.chain.outputGainTarget(), 1.0f);
    EXPECT_TRUE(tbtest::allFinite(rig.renderSine(1000.0, 0.5f, 4096)));
}

TEST(ChainEqualiser, BandLawIsSignedSquareAndDoubledAtTheCentre)
{
    EXPECT_FLOAT_EQ(MasterEqualiser::gainForValue(0.0f), -18.0f);
    EXPECT_FLOAT_EQ(MasterEqualiser::gainForValue(0.25f), -4.5f);
    EXPECT_FLOAT_EQ(MasterEqualiser::gainForValue(0.5f), 0.0f);
    EXPECT_FLOAT_EQ(MasterEqualiser::gainForValue(1.0f), 18.0f);

    // Band 4 sits at 1 kHz; its +18 dB setting lifts the centre by 36 dB.
    ChainRig rig(kRate);
    rig.set(6, 1.0f);
    EXPECT_NEAR(settledDb(rig.renderSine(1000.0, 0.001f, kSecond), 1000.0), tbtest::toDb(0.001) + 36.0, 0.3);

    ChainRig cut(kRate);
    cut.set(6, 0.0f);
    EXPECT_NEAR(settledDb(cut.renderSine(1000.0, 0.5f, kSecond), 1000.0), tbtest::toDb(0.5) - 36.0, 0.3);
}

TEST(ChainEqualiser, SwitchOffBypassesEveryBand)
{
    ChainRig rig(kRate);
    rig.set(6, 1.0f);
    rig.set(2, 0.0f);
    EXPECT_FALSE(rig.chain.equaliserOn());
    EXPECT_NEAR(settledDb(rig.renderSine(1000.0, 0.25f, kSecond), 1000.0), tbtest::toDb(0.25), 0.05);
}

TEST(ChainEqualiser, BandChangeWaitsForTheNextBlock)
{
    ChainRig rig(kRate);
    rig.set(4, 1.0f);
    EXPECT_DOUBLE_EQ(rig.chain.equaliser().band(0, 1).gain, 0.0);
    rig.tick();
    EXPECT_DOUBLE_EQ(rig.chain.equaliser().band(1, 1).gain, 18.0);
}

// The equaliser and the model stages keep their state in SSE2 lanes between
// blocks; a reset must clear it there.
TEST(ChainGains, ResetClearsTheEqualiserAndModelHistory)
{
    ChainRig used(kRate), fresh(kRate);
    for (ChainRig* rig : {&used, &fresh}) {
        for (int band = 0; band < 8; ++band)
            rig->set(3 + band, band % 2 ? 0.9f : 0.2f);
        rig->set(11, 3.0f);
    }
    std::vector<float> l = tbtest::makeNoise(2000, 4), r = l, ol, orr;
    used.render(l, r, ol, orr);
    used.chain.reset();
    std::vector<float> out[2][2];
    int i = 0;
    for (ChainRig* rig : {&used, &fresh}) {
        l = tbtest::makeNoise(2000, 5);
        r = l;
        rig->render(l, r, out[i][0], out[i][1], 16);
        ++i;
    }
    EXPECT_EQ(out[0][0], out[1][0]);
    EXPECT_EQ(out[0][1], out[1][1]);
}

TEST(ChainPeaks, PeaksMeasureTheSumOfBothSides)
{
    ChainRig rig(kRate);
    std::vector<float> l = tbtest::makeSine(1000.0, kRate, kSecond, 0.25f);
    std::vector<float> r = l, ol, orr;
    rig.render(l, r, ol, orr);
    EXPECT_NEAR(rig.chain.inputPeak(), 0.5f, 0.01f);
    EXPECT_NEAR(rig.chain.outputPeak(), 0.5f, 0.01f);

    ChainRig opposite(kRate);
    std::vector<float> a = tbtest::makeSine(1000.0, kRate, 4096, 0.25f);
    std::vector<float> b = a;
    for (float& v : b)
        v = -v;
    opposite.render(a, b, ol, orr);
    EXPECT_EQ(opposite.chain.inputPeak(), 0.0f);
    EXPECT_EQ(opposite.chain.outputPeak(), 0.0f);

    rig.render(l, r, ol, orr);
    rig.tick();
    EXPECT_EQ(rig.chain.inputPeak(), 0.0f);
    EXPECT_EQ(rig.chain.outputPeak(), 0.0f);
}

TEST(ChainGains, ResetFadesTheOutputInFromSilence)
{
    ChainRig rig(kRate);
    rig.renderSine(1000.0, 0.5f, 4096);
    rig.chain.reset();
    const auto out = rig.renderSine(1000.0, 0.5f, 8000);
    EXPECT_LT(tbtest::peakAbs(out.data(), 48), 0.01f);
    EXPECT_LT(tbtest::peakAbs(out.data(), 480), 0.25f);
    EXPECT_GT(tbtest::peakAbs(out.data() + 7000, 1000), 0.49f);
}

TEST(ChainModel, ModelValueIsTruncatedAndClamped)
{
    const struct {
        float value;
        int model;
    } cases[] = {{5.9f, 5}, {-0.5f, 0}, {7.0f, 5}, {2.0f, 2}, {std::numeric_limits<float>::quiet_NaN(), 0}};
    ChainRig rig(kRate);
    for (const auto& c : cases) {
        rig.set(11, c.value);
        rig.tick();
        EXPECT_EQ(rig.chain.modelStage(0).model(), c.model) << c.value;
        EXPECT_EQ(rig.chain.modelStage(1).model(), c.model) << c.value;
    }
}

TEST(ChainModel, EveryModelColoursTheSoundAndOffLeavesItUntouched)
{
    const std::vector<float> in = tbtest::makeNoise(8192, 7u, 0.3f);
    ModelStage off;
    off.setSampleRate(kRate);
    std::vector<float> same = in;
    off.processModelStage(same.data(), static_cast<int>(same.size()));
    EXPECT_EQ(same, in);

    for (int m = 1; m <= ModelStage::kModels; ++m) {
        ModelStage stage;
        stage.setSampleRate(kRate);
        stage.setModel(m);
        EXPECT_GT(stage.activeLength(), 4);
        EXPECT_LE(stage.activeLength(), stage.capacity());
        std::vector<float> out = in;
        stage.processModelStage(out.data(), static_cast<int>(out.size()));
        EXPECT_TRUE(tbtest::allFinite(out));
        EXPECT_GT(tbtest::rms(out.data(), 8192), 0.001);
        EXPECT_LT(tbtest::peakAbs(out.data(), 8192), 4.0f);
        EXPECT_NE(out, in);
        // Every voicing is quieter than no model, by about 7 to 11 dB.
        EXPECT_NEAR(tbtest::rmsDb(out.data() + 4096, 4096) - tbtest::rmsDb(in.data() + 4096, 4096), -9.0, 2.5) << m;
    }
}

// Regression: at a very low rate the voicing's ring length (at least 4) was
// longer than the ring allocated for the rate, and the ring pass wrote past it.
TEST(ChainModel, RingNeverRunsPastItsAllocationAtTinyRates)
{
    for (double rate : {20.0, 50.0, 70.0, 0.5}) {
        ModelStage stage;
        stage.setSampleRate(rate);
        stage.setModel(1);
        EXPECT_LE(stage.activeLength(), stage.capacity()) << rate;
        std::vector<float> x = tbtest::makeNoise(512, 3u, 0.5f);
        stage.processModelStage(x.data(), 512);
        EXPECT_TRUE(tbtest::allFinite(x)) << rate;
    }
}

// Regression: the model's 7230 Hz low-pass was built unclamped, so at rates
// whose half lies below that corner (8 kHz, 11.025 kHz) its poles left the
// unit circle and every model ran away within a few thousand samples.
TEST(ChainModel, StaysBoundedAtRatesBelowTwiceItsLowPassCorner)
{
    for (double rate : {8000.0, 11025.0, 14000.0}) {
        for (int m = 1; m <= ModelStage::kModels; ++m) {
            ModelStage stage;
            stage.setSampleRate(rate);
            stage.setModel(m);
            std::vector<float> x = tbtest::makeNoise(static_cast<int>(rate), 5u, 0.5f);
            stage.processModelStage(x.data(), static_cast<int>(x.size()));
            EXPECT_TRUE(tbtest::allFinite(x)) << rate << " model " << m;
            EXPECT_LT(tbtest::peakAbs(x.data(), static_cast<int>(x.size())), 4.0f) << rate << " model " << m;
        }
    }
}

TEST(ChainBoxes, TypeValuesAreTruncatedAndClamped)
{
    const struct {
        float value;
        int pending;
    } cases[] = {{10.99f, 10}, {11.0f, 10}, {1e9f, 10}, {-0.2f, 0}, {-1.0f, -1}, {3.0f, 3},
        {std::numeric_limits<float>::quiet_NaN(), -1}};
    for (const auto& c : cases) {
        ChainRig rig(kRate);
        rig.set(47, c.value);
        EXPECT_EQ(rig.chain.box(2).pendingType(), c.pending) << c.value;
    }
}

TEST(ChainBoxes, PedalIsBuiltAtTheBoxsTurnAndKeptForTheSameType)
{
    ChainRig rig(kRate);
    rig.set(45, 2.0f);
    EXPECT_EQ(rig.chain.box(0).currentType(), 0);
    EXPECT_EQ(rig.chain.box(0).pedal(), nullptr);
    rig.tick();
    EXPECT_EQ(rig.chain.box(0).currentType(), 2);
    EXPECT_EQ(rig.chain.box(0).pendingType(), -1);
    const CPedalFX* built = rig.chain.box(0).pedal();
    ASSERT_NE(built, nullptr);

    rig.set(45, 2.5f);
    rig.tick();
    EXPECT_EQ(rig.chain.box(0).pedal(), built);

    rig.set(45, 0.0f);
    rig.tick();
    EXPECT_EQ(rig.chain.box(0).pedal(), nullptr);
    rig.set(13, 0.9f);  // knobs of an empty box go nowhere
    rig.tick();
    EXPECT_EQ(rig.chain.box(0).pedal(), nullptr);
}

TEST(ChainBoxes, EveryPedalTypeBuildsAndPlays)
{
    for (int type = 1; type <= 10; ++type) {
        ChainRig rig(kRate);
        rig.set(46, static_cast<float>(type));
        const auto out = rig.renderSine(440.0, 0.3f, 8192);
        ASSERT_NE(rig.chain.box(1).pedal(), nullptr) << type;
        EXPECT_TRUE(tbtest::allFinite(out)) << type;
    }
}

TEST(ChainBoxes, EnableWriteRequestsResetAndSetsBypass)
{
    // A delay's echoes ring on after the signal stops; writing the box's
    // enable value, even one that changes nothing, clears them at the next
    // block (what is left echoes the high-pass's own ring-out).
    auto echoAfterBurst = [](bool writeEnable) {
        ChainRig rig(kRate);
        rig.set(48, 6.0f);
        rig.renderSine(440.0, 0.3f, kSecond / 4);
        if (writeEnable)
            rig.set(42, 1.0f);
        const auto tail = rig.renderSine(440.0, 0.0f, kSecond);
        return tbtest::rms(tail.data(), kSecond);
    };
    const double kept = echoAfterBurst(false);
    EXPECT_GT(kept, 0.01);
    EXPECT_LT(echoAfterBurst(true), 0.1 * kept);

    ChainRig rig(kRate);
    rig.set(48, 6.0f);
    rig.tick();
    rig.set(42, 0.0f);
    EXPECT_TRUE(rig.chain.box(3).bypassed());

    // A bypassed delay leaves the signal as the default chain does.
    ChainRig plain(kRate);
    const auto a = rig.renderSine(1000.0, 0.25f, kSecond);
    const auto b = plain.renderSine(1000.0, 0.25f, kSecond);
    EXPECT_NEAR(settledDb(a, 1000.0), settledDb(b, 1000.0), 0.01);
}
