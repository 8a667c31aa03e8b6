// The pattern player: step order per direction, timing, swing, octaves, and
// how it starts and stops with the held keys.
#include <gtest/gtest.h>

#include "framework/engine/Random.h"
#include "tests/framework/engine/TestInstrument.h"

namespace {

class PatternTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seedRandom(kRandomSeed);
        engine.voiceMode = 0;  // only the player reaches playVoiceNote
        engine.patternEnable = 1;
        engine.setSampleRate(8000.0);  // 120 BPM: a sixteenth is 1000 frames
    }
    void hold(std::initializer_list<int> notes)
    {
        for (int note : notes)
            engine.send(0x90, static_cast<uint8_t>(note), 100, 0);
    }

    TestDefinition definition;
    ScopedDefinition scope {definition};
    TestInstrument engine;
};

TEST_F(PatternTest, UpPlaysHeldKeysInAscendingOrder)
{
    hold({67, 60, 64});
    engine.renderBlocks(4992, 8);
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {60, 64, 67, 60, 64}));
}

TEST_F(PatternTest, DownStartsAtTheTop)
{
    engine.pattern.direction = CPatternPlayer::Down;
    hold({60, 64, 67});
    engine.renderBlocks(4992, 8);
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {67, 64, 60, 67, 64}));
}

TEST_F(PatternTest, UpDownTurnsWithoutRepeatingTheEnds)
{
    engine.pattern.direction = CPatternPlayer::UpDown;
    hold({60, 64, 67});
    engine.renderBlocks(7992, 8);
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {60, 64, 67, 64, 60, 64, 67, 64}));
}

TEST_F(PatternTest, RandomDrawsEachStepFromTheSharedGenerator)
{
    engine.pattern.direction = CPatternPlayer::Random;
    hold({60, 64, 67});
    engine.renderBlocks(3992, 8);
    // floor(3 r) for the first four values from seed 2222: 2, 1, 0, 1
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {67, 64, 60, 64}));
}

TEST_F(PatternTest, StepsLastOneSixteenthAndEndThePreviousNote)
{
    hold({60, 64});
    engine.renderBlocks(2992, 8);
    const auto& v = engine.voiceNotes;
    ASSERT_EQ(v.size(), 5u);  // on 60, off 60, on 64, off 64, on 60
    EXPECT_EQ(v[0].frame, 0);
    EXPECT_EQ(v[1].note, 60);
    EXPECT_EQ(v[1].velocity, 0);
    EXPECT_GE(v[2].frame, 1000);
    EXPECT_LE(v[2].frame, 1008);
    EXPECT_GE(v[4].frame, 2000);
    EXPECT_LE(v[4].frame, 2008);
    EXPECT_GE(v[0].velocity, 99);
    EXPECT_LE(v[0].velocity, 100);
}

TEST_F(PatternTest, SwingLengthensEvenStepsAndShortensOddOnes)
{
    engine.pattern.swing = 0.5;
    hold({60, 64});
    engine.renderBlocks(4000, 8);
    std::vector<int64_t> starts;
    for (const auto& v : engine.voiceNotes) {
        if (v.velocity > 0)
            starts.push_back(v.frame);
    }
    ASSERT_GE(starts.size(), 3u);
    EXPECT_NEAR(static_cast<double>(starts[1] - starts[0]), 1500.0, 8.0);
    EXPECT_NEAR(static_cast<double>(starts[2] - starts[1]), 500.0, 8.0);
}

TEST_F(PatternTest, OctavesRepeatTheKeysTwelveSemitonesHigher)
{
    engine.pattern.octaves = 2;
    hold({60, 64});
    engine.renderBlocks(3992, 8);
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {60, 64, 72, 76}));
    EXPECT_EQ(engine.pattern.length, 4);
}

TEST_F(PatternTest, ReleasingEveryKeyStopsThePlayerAndEndsItsNote)
{
    hold({60});
    engine.renderBlocks(16, 8);
    EXPECT_FALSE(engine.pattern.isStopped());
    engine.send(0x80, 60, 0, 0);
    engine.renderBlocks(8, 8);
    EXPECT_TRUE(engine.pattern.isStopped());
    ASSERT_FALSE(engine.voiceNotes.empty());
    EXPECT_EQ(engine.voiceNotes.back().note, 60);
    EXPECT_EQ(engine.voiceNotes.back().velocity, 0);
    EXPECT_EQ(engine.pattern.position, -2);
    const size_t count = engine.voiceNotes.size();
    engine.renderBlocks(3000, 8);
    EXPECT_EQ(engine.voiceNotes.size(), count);
}

TEST_F(PatternTest, TiesHoldAndRestsSilenceTheirSlot)
{
    hold({60, 64});
    engine.renderBlocks(8, 8);
    // The step list is rebuilt only on key changes, so edits here survive.
    engine.pattern.steps[1].notes[0] = PatternStep::kTie;
    engine.pattern.steps[0].notes[1] = PatternStep::kRest;
    engine.renderBlocks(2000, 8);
    // Step 1 ties slot 0, so note 60 keeps sounding; then step 0 plays it again.
    std::vector<int> offs;
    for (const auto& v : engine.voiceNotes) {
        if (v.velocity == 0)
            offs.push_back(v.note);
    }
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {60, 60}));
    EXPECT_EQ(offs, (std::vector<int> {60}));
}

TEST_F(PatternTest, KeysSoundingInThePatternAreMarkedActive)
{
    hold({60, 64});
    engine.renderBlocks(8, 8);
    EXPECT_TRUE(engine.isKeyActive(60));
    EXPECT_TRUE(engine.isKeyActive(64));
    EXPECT_FALSE(engine.isKeyActive(62));
}

// Regression: a zero rate made the step clock infinite and the catch-up loop
// never ended.
TEST_F(PatternTest, ZeroRateDoesNotHangTheAudioThread)
{
    engine.pattern.rate = 0.0;
    hold({60});
    engine.renderBlocks(64, 8);
    EXPECT_EQ(engine.startedNotes(), (std::vector<int> {60}));

    engine.pattern.rate = 1.0;
    engine.pattern.swing = 1e300;
    engine.renderBlocks(64, 8);
    SUCCEED();
}

TEST_F(PatternTest, VelocityScaleIsBoundedToTheMidiRange)
{
    engine.pattern.velocityScale = 10.0f;
    hold({60});
    engine.renderBlocks(8, 8);
    ASSERT_FALSE(engine.voiceNotes.empty());
    EXPECT_EQ(engine.voiceNotes[0].velocity, 127);
    engine.pattern.velocityScale = 0.0f;
    engine.renderBlocks(1000, 8);
    EXPECT_EQ(engine.voiceNotes.back().velocity, 1);
}

}  // namespace
