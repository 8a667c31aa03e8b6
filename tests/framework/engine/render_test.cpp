// The block render loop: sub-block splitting, event timing, queue handling,
// output gains and the two channel paths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/framework/engine/TestInstrument.h"

namespace {

class RenderTest : public ::testing::Test {
protected:
    TestDefinition definition;
    ScopedDefinition scope {definition};
};

std::vector<int32_t> blocksOf(std::initializer_list<int32_t> sizes) { return sizes; }

TEST_F(RenderTest, SplitsLongBlocksIntoPiecesOf128)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    std::vector<float> l, r;
    EXPECT_EQ(engine.renderInto(l, r, 300), 0);
    EXPECT_EQ(fx->blocks, blocksOf({128, 128, 44}));
}

TEST_F(RenderTest, RenderSplitsAtEventOffsets)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    engine.send(0xB0, 20, 1, 0);
    engine.send(0xB0, 21, 1, 0);
    engine.send(0xB0, 22, 1, 100);
    std::vector<float> l, r;
    engine.renderInto(l, r, 256);
    EXPECT_EQ(fx->blocks, blocksOf({100, 128, 28}));
    ASSERT_EQ(engine.log.size(), 3u);
    EXPECT_EQ(engine.log[0], "cc 20 @0");
    EXPECT_EQ(engine.log[1], "cc 21 @0");
    EXPECT_EQ(engine.log[2], "cc 22 @100");
}

TEST_F(RenderTest, EventAtOrPastBlockEndIsDroppedWithTheQueue)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    engine.send(0xB0, 20, 1, 300);
    engine.send(0xB0, 21, 1, 256);
    std::vector<float> l, r;
    engine.renderInto(l, r, 256);
    EXPECT_EQ(fx->blocks, blocksOf({128, 128}));
    EXPECT_TRUE(engine.log.empty());
    EXPECT_EQ(engine.getQueueCount(), 0);
    engine.renderInto(l, r, 256);
    EXPECT_TRUE(engine.log.empty()) << "a discarded event came back in the next block";
}

// Regression: an event stamped before an earlier one used to make the loop
// render the rest of the block, losing that event and every later one.
TEST_F(RenderTest, OutOfOrderEventIsAppliedAtOnceAndLaterEventsKeepTheirTime)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    engine.send(0xB0, 20, 1, 50);
    engine.send(0xB0, 21, 1, 10);
    engine.send(0xB0, 22, 1, 80);
    std::vector<float> l, r;
    engine.renderInto(l, r, 128);
    ASSERT_EQ(engine.log.size(), 3u);
    EXPECT_EQ(engine.log[0], "cc 20 @50");
    EXPECT_EQ(engine.log[1], "cc 21 @50");
    EXPECT_EQ(engine.log[2], "cc 22 @80");
    EXPECT_EQ(fx->blocks, blocksOf({50, 30, 48}));
}

// Regression: gaps between extreme offsets overflowed 32-bit arithmetic.
TEST_F(RenderTest, ExtremeOffsetsNeitherOverflowNorHang)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    engine.send(0xB0, 20, 1, std::numeric_limits<int32_t>::min());
    engine.send(0xB0, 21, 1, std::numeric_limits<int32_t>::max());
    std::vector<float> l, r;
    engine.renderInto(l, r, 64);
    ASSERT_EQ(engine.log.size(), 1u);
    EXPECT_EQ(engine.log[0], "cc 20 @0");
    EXPECT_EQ(fx->blocks, blocksOf({64}));
}

TEST_F(RenderTest, ZeroFramesAppliesNothingAndClearsTheQueue)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    engine.send(0x90, 60, 100, 0);
    std::vector<float> l, r;
    EXPECT_EQ(engine.renderInto(l, r, 0), 0);
    EXPECT_EQ(engine.getQueueCount(), 0);
    EXPECT_TRUE(engine.log.empty());
    EXPECT_TRUE(fx->blocks.empty());
}

TEST_F(RenderTest, QueueRefusesEntriesBeyond1024UntilTheNextBlock)
{
    TestInstrument engine;
    for (int i = 0; i < CSynthesizer::kQueueCapacity; ++i)
        ASSERT_TRUE(engine.send(0xB0, 20, 1, 0));
    EXPECT_FALSE(engine.send(0xB0, 21, 1, 0));
    EXPECT_EQ(engine.getQueueCount(), 1024);
    std::vector<float> l, r;
    engine.renderInto(l, r, 8);
    EXPECT_EQ(engine.log.size(), 1024u);
    EXPECT_TRUE(engine.send(0xB0, 21, 1, 0));
}

TEST_F(RenderTest, DefaultGainsHalveAConstantMix)
{
    TestInstrument engine;
    engine.installFx()->mixValue = 1.0f;
    engine.reset();
    std::vector<float> l, r;
    engine.renderInto(l, r, 200);
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_FLOAT_EQ(l[i], 0.5f) << i;
        ASSERT_FLOAT_EQ(r[i], 0.5f) << i;
    }
}

TEST_F(RenderTest, OutputGainsStartAtZeroBeforeResetAndGlideAtHalfAPercent)
{
    TestInstrument engine;
    engine.installFx()->mixValue = 1.0f;
    std::vector<float> l, r;
    engine.renderInto(l, r, 300);
    // gain(k) = 0.5 * (1 - 0.995^k), k frames after the start
    for (int k : {0, 1, 2, 10, 128, 299}) {
        const double expected = 0.5 * (1.0 - std::pow(0.995, k));
        EXPECT_NEAR(l[static_cast<size_t>(k)], expected, 2e-5) << k;
        EXPECT_NEAR(r[static_cast<size_t>(k)], expected, 2e-5) << k;
    }
}

TEST_F(RenderTest, VolumeAndPanControllersSteerTheOutputGains)
{
    TestInstrument engine;
    engine.installFx()->mixValue = 1.0f;
    engine.reset();
    engine.send(0xB0, 10, 127, 0);  // pan hard right
    std::vector<float> l, r;
    engine.renderInto(l, r, 1000);
    // Targets become 0 (left) and 1 (right); each side moves 0.5 % per frame.
    EXPECT_NEAR(l[1], 0.5 * 0.995, 1e-5);
    EXPECT_NEAR(r[1], 1.0 - 0.5 * 0.995, 1e-5);
    EXPECT_NEAR(l[999], 0.5 * std::pow(0.995, 999), 1e-4);
    EXPECT_NEAR(engine.getOutputGain(true), 1.0f, 1e-6);
    EXPECT_NEAR(engine.getOutputGain(false), 0.0f, 1e-6);

    engine.apply(0xB0, 7, 0);
    EXPECT_EQ(engine.getOutputGain(true), 0.0f);
}

TEST_F(RenderTest, AccumulatingRenderAddsToTheOutputs)
{
    TestInstrument engine;
    engine.installFx()->mixValue = 1.0f;
    engine.reset();
    std::vector<float> l(64, 1.0f), r(64, 2.0f);
    float* outs[2] = {l.data(), r.data()};
    EXPECT_EQ(engine.render(nullptr, outs, 64, false), 0);
    EXPECT_FLOAT_EQ(l[63], 1.5f);
    EXPECT_FLOAT_EQ(r[0], 2.5f);
}

TEST_F(RenderTest, InputPointersAdvanceWithEachSubBlock)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    std::vector<float> inL(300), inR(300), outL(300), outR(300);
    for (size_t i = 0; i < inL.size(); ++i)
        inL[i] = static_cast<float>(i);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    engine.render(ins, outs, 300, true);
    ASSERT_EQ(fx->firstInputL.size(), 3u);
    EXPECT_EQ(fx->firstInputL[1], 128.0f);
    EXPECT_EQ(fx->firstInputL[2], 256.0f);
}

// The product's chain overwrites the inputs it is handed; hosts own theirs.
TEST_F(RenderTest, HostInputsStayUntouchedWhenTheUnitOverwritesItsInputs)
{
    class OverwritingFx : public CFx {
    public:
        void process(float* inL, float* inR, float* bufL, float* bufR, int32_t frames) override
        {
            for (int32_t i = 0; i < frames; ++i) {
                bufL[i] = inL[i];
                bufR[i] = inR[i];
                inL[i] = inR[i] = -99.0f;
            }
        }
    };
    TestInstrument engine;
    engine.setEffectUnit(new OverwritingFx);
    engine.reset();
    std::vector<float> inL(300), inR(300);
    for (size_t i = 0; i < inL.size(); ++i) {
        inL[i] = static_cast<float>(i) / 300.0f;
        inR[i] = -inL[i];
    }
    const std::vector<float> keptL = inL, keptR = inR;
    std::vector<float> outL(300), outR(300);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {outL.data(), outR.data()};
    engine.render(ins, outs, 300, true);
    EXPECT_EQ(inL, keptL);
    EXPECT_EQ(inR, keptR);
    EXPECT_FLOAT_EQ(outL[299], 0.5f * keptL[299]);

    // In place: each piece reads its input before its output lands there.
    std::vector<float> io = keptL;
    float* shared[2] = {io.data(), io.data()};
    engine.render(shared, shared, 300, true);
    for (size_t i = 0; i < io.size(); ++i)
        ASSERT_FLOAT_EQ(io[i], 0.5f * keptL[i]) << i;
}

TEST_F(RenderTest, NullOutputPointerStillAdvancesTheGainGlide)
{
    TestInstrument engine;
    engine.installFx()->mixValue = 1.0f;
    std::vector<float> r(100);
    float* outs[2] = {nullptr, r.data()};
    engine.render(nullptr, outs, 100, true);
    EXPECT_NEAR(r[99], 0.5 * (1.0 - std::pow(0.995, 99)), 2e-5);
    EXPECT_EQ(engine.render(nullptr, nullptr, 100, true), 0);
}

TEST_F(RenderTest, SilentFramesCountWhileNoVoiceSoundsAndSaturate)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    std::vector<float> l, r;
    engine.renderInto(l, r, 300);
    EXPECT_EQ(fx->silent, blocksOf({128, 256, 300}));

    FakeVoice* voice = engine.addFakeVoice();
    voice->note = 60;
    engine.renderInto(l, r, 10);
    EXPECT_EQ(fx->silent.back(), 0);
    voice->note = -1;

    // Regression: the counter used to wrap to negative values.
    engine.silentFrames = std::numeric_limits<int32_t>::max() - 5;
    engine.renderInto(l, r, 10);
    EXPECT_EQ(fx->silent.back(), std::numeric_limits<int32_t>::max());
}

TEST_F(RenderTest, SoundingVoicesMarkTheirKeysActiveForTheBlock)
{
    TestInstrument engine;
    FakeVoice* voice = engine.addFakeVoice();
    voice->note = 64;
    std::vector<float> l, r;
    engine.reset();
    voice->note = 64;
    engine.renderInto(l, r, 16);
    EXPECT_TRUE(engine.isKeyActive(64));
    EXPECT_FALSE(engine.isKeyActive(63));
    EXPECT_FLOAT_EQ(l[0], 0.25f * 0.5f);
    voice->note = -1;
    engine.renderInto(l, r, 16);
    EXPECT_FALSE(engine.isKeyActive(64));
}

// Regression: mono mode read the first voice of an empty list.
TEST_F(RenderTest, MonoModeWithoutVoicesRendersNormally)
{
    TestInstrument engine;
    engine.monoMode = 1;
    engine.installFx();
    engine.send(0x90, 60, 100, 0);
    std::vector<float> l, r;
    EXPECT_EQ(engine.renderInto(l, r, 64), 0);
    EXPECT_TRUE(engine.isKeyActive(60));
}

TEST_F(RenderTest, MultiChannelPathClearsOutputsAndCallsOnlyTheMultiHook)
{
    definition.outputPairs = 2;
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    std::vector<std::vector<float>> bufs(4, std::vector<float>(200, 3.0f));
    float* outs[4] = {bufs[0].data(), bufs[1].data(), bufs[2].data(), bufs[3].data()};
    EXPECT_EQ(engine.render(nullptr, outs, 200, true), 0);
    EXPECT_EQ(engine.multiOutputCalls, 2);
    EXPECT_EQ(engine.multiFirstOut, bufs[0].data() + 128);
    EXPECT_TRUE(fx->blocks.empty());
    for (const auto& buf : bufs)
        EXPECT_EQ(buf[199], 0.0f);

    std::vector<float> keep(10, 3.0f);
    float* outs2[4] = {keep.data(), nullptr, nullptr, nullptr};
    engine.render(nullptr, outs2, 10, false);
    EXPECT_EQ(keep[5], 3.0f) << "an accumulating block must not clear";
}

// Regression guard: the multi-channel pointer arrays are set up per block on
// that path only; slots the host did not fill must reach the hook cleared,
// not holding pointers from an earlier block.
TEST_F(RenderTest, MultiChannelHookSeesOnlyThisBlocksPointers)
{
    definition.inputChannels = 3;
    definition.outputPairs = 2;
    TestInstrument engine;
    std::vector<std::vector<float>> bufs(7, std::vector<float>(16, 1.0f));
    float* ins[3] = {bufs[0].data(), bufs[1].data(), bufs[2].data()};
    float* outs[4] = {bufs[3].data(), bufs[4].data(), bufs[5].data(), bufs[6].data()};
    ASSERT_EQ(engine.render(ins, outs, 16, true), 0);
    EXPECT_EQ(engine.multiPointersSeen, 7);

    ASSERT_EQ(engine.render(nullptr, nullptr, 16, true), 0);
    EXPECT_EQ(engine.multiOutputCalls, 2);
    EXPECT_EQ(engine.multiPointersSeen, 0);
}

TEST_F(RenderTest, SixteenThousandFramesKeepSubBlocksWithinTheMixBuffers)
{
    TestInstrument engine;
    RecordingFx* fx = engine.installFx();
    std::vector<float> l, r;
    engine.renderInto(l, r, 16001);
    int64_t total = 0;
    for (int32_t n : fx->blocks) {
        ASSERT_LE(n, 128);
        total += n;
    }
    EXPECT_EQ(total, 16001);
}

}  // namespace
