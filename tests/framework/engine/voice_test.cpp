// Voice allocation: stealing, unison, detune, glide, velocity curve, mono/legato
// play, and the process-wide random generator.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/engine/Random.h"
#include "tests/framework/engine/TestInstrument.h"

namespace {

class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override { seedRandom(kRandomSeed); }

    void addVoices(int n)
    {
        for (int i = 0; i < n; ++i)
            voices.push_back(engine.addFakeVoice());
    }
    void on(int note, int velocity = 100)
    {
        engine.apply(0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity));
    }
    void off(int note) { engine.apply(0x80, static_cast<uint8_t>(note), 0); }

    TestDefinition definition;
    ScopedDefinition scope {definition};
    TestInstrument engine;
    std::vector<FakeVoice*> voices;
};

TEST(RandomTest, SequenceFromTheLoadSeed)
{
    seedRandom(kRandomSeed);
    EXPECT_EQ(nextRandomState(), 3326011249u);
    EXPECT_EQ(nextRandomState(), 1601737168u);
    EXPECT_EQ(nextRandomState(), 162452347u);
    EXPECT_NEAR(nextRandom(), 2220333026.0 / 4294967295.0, 1e-15);
}

TEST_F(VoiceTest, FreeVoicesFirstThenReleasedThenOldest)
{
    addVoices(2);
    on(60);
    on(62);
    EXPECT_EQ(voices[0]->note, 60);
    EXPECT_EQ(voices[1]->note, 62);
    EXPECT_LT(voices[0]->age, voices[1]->age);

    on(64);  // nothing free or released: the oldest voice goes
    EXPECT_EQ(voices[0]->note, 64);
    EXPECT_EQ(voices[0]->starts, 2);

    off(64);
    EXPECT_EQ(voices[0]->released, 1);
    EXPECT_EQ(voices[0]->releases, 1);
    on(65);  // the released voice goes even though the other is older
    EXPECT_EQ(voices[0]->note, 65);
    EXPECT_EQ(voices[1]->note, 62);
    EXPECT_EQ(voices[0]->released, 0);
}

TEST_F(VoiceTest, OnlyTheFirstVoiceCountVoicesAreAllocated)
{
    addVoices(3);
    engine.voiceCount = 1;
    on(60);
    on(62);
    EXPECT_EQ(voices[0]->note, 62);
    EXPECT_EQ(voices[1]->note, -1);
    EXPECT_EQ(voices[2]->note, -1);
}

TEST_F(VoiceTest, UnisonVoicesShareOneDetuneDrawnPerNote)
{
    addVoices(4);
    engine.unisonCount = 2;
    engine.detuneAmount = 0.5;
    on(60);
    const double expected = (3326011249.0 / 4294967295.0 - 1.0) * 2.0 * 0.5;
    EXPECT_NEAR(voices[0]->detune, expected, 1e-12);
    EXPECT_EQ(voices[1]->detune, voices[0]->detune);
    EXPECT_EQ(voices[0]->unisonIndex, 0);
    EXPECT_EQ(voices[1]->unisonIndex, 1);
    EXPECT_EQ(voices[1]->unisonCount, 2);
    EXPECT_EQ(voices[1]->key, engine.getKeyRecord(60));
    on(67);
    EXPECT_NE(voices[2]->detune, voices[0]->detune);
    EXPECT_LE(voices[2]->detune, 0.0);
    EXPECT_GE(voices[2]->detune, -1.0);
    EXPECT_EQ(voices[3]->note, 67);
}

TEST_F(VoiceTest, VelocityCurveShapesTheVoiceGain)
{
    addVoices(1);
    engine.velocityCurve = 2.0f;
    on(60, 64);
    EXPECT_DOUBLE_EQ(voices[0]->velocityGain, 0.25);
}

TEST_F(VoiceTest, GlideFromTheLastNoteInModesZeroAndTwo)
{
    addVoices(2);
    engine.glideTime = 0.1;  // sample rate is 1000 before the host sets one
    on(60);
    EXPECT_EQ(voices[0]->glideStartPitch, 60.0) << "the first note has nowhere to glide from";
    on(67);
    EXPECT_EQ(voices[1]->glideStartPitch, 60.0);
    EXPECT_NEAR(voices[1]->glideRate, 12.0 / 100.0, 1e-12);

    engine.glideMode = 2;
    on(70);
    EXPECT_EQ(voices[0]->glideStartPitch, 67.0);
    EXPECT_NEAR(voices[0]->glideRate, 3.0 / 100.0, 1e-12);
}

TEST_F(VoiceTest, GlideFromTheNearestHeldNoteInModesOneAndThree)
{
    addVoices(3);
    engine.glideTime = 0.1;
    engine.glideMode = 1;
    on(60);
    on(70);
    on(65);  // 60 and 70 are equally near: the lower wins
    EXPECT_EQ(voices[2]->glideStartPitch, 60.0);
    off(60);
    engine.glideMode = 3;
    on(66);  // steals; nearest held is now 65
    FakeVoice* v = voices[0]->note == 66 ? voices[0] : (voices[1]->note == 66 ? voices[1] : voices[2]);
    EXPECT_EQ(v->glideStartPitch, 65.0);
    EXPECT_NEAR(v->glideRate, 1.0 / 100.0, 1e-12);
}

TEST_F(VoiceTest, NoGlideBelowAMillisecond)
{
    addVoices(2);
    engine.glideTime = 0.0005;
    on(60);
    on(72);
    EXPECT_EQ(voices[1]->glideStartPitch, 72.0);
}

TEST_F(VoiceTest, WithoutVoiceModeKeysDoNotReachTheVoices)
{
    addVoices(1);
    engine.voiceMode = 0;
    on(60);
    EXPECT_EQ(voices[0]->note, -1);
    EXPECT_TRUE(engine.voiceNotes.empty());
}

TEST_F(VoiceTest, MonoLineRetargetsAndReturnsToTheHeldNote)
{
    addVoices(2);
    engine.monoMode = 1;
    engine.glideTime = 0.1;
    on(60);
    EXPECT_EQ(voices[0]->note, 60);
    EXPECT_EQ(voices[0]->starts, 1);
    EXPECT_EQ(voices[1]->note, -1) << "unison 1 uses one voice";

    on(64);  // legato: the sounding voice moves without a new start
    EXPECT_EQ(voices[0]->note, 64);
    EXPECT_EQ(voices[0]->starts, 1);
    EXPECT_EQ(engine.lastNote, 64);

    off(64);  // back to the key still held
    EXPECT_EQ(voices[0]->note, 60);
    EXPECT_EQ(voices[0]->releases, 0);
    EXPECT_NEAR(voices[0]->glideRate, 0.12, 1e-12);
    EXPECT_EQ(engine.lastNote, 60);

    off(60);
    EXPECT_EQ(voices[0]->released, 1);
    EXPECT_EQ(voices[0]->releases, 1);

    on(62);  // the released voice starts again, gliding from the last note
    EXPECT_EQ(voices[0]->starts, 2);
    EXPECT_EQ(voices[0]->glideStartPitch, 60.0);
}

TEST_F(VoiceTest, MonoUnisonMovesEveryUnisonVoice)
{
    addVoices(3);
    engine.monoMode = 1;
    engine.unisonCount = 2;
    engine.glideMode = 1;
    engine.glideTime = 0.1;
    on(50);
    EXPECT_EQ(voices[0]->note, 50);
    EXPECT_EQ(voices[1]->note, 50);
    EXPECT_EQ(voices[2]->note, -1);
    EXPECT_EQ(voices[1]->unisonIndex, 1);
    EXPECT_EQ(voices[0]->glideStartPitch, 50.0) << "mode 1 starts an idle line on the note itself";
    on(55);
    EXPECT_EQ(voices[0]->note, 55);
    EXPECT_EQ(voices[1]->note, 55);
    EXPECT_EQ(voices[1]->detune, voices[0]->detune);
}

TEST_F(VoiceTest, ResetEndsVoicesAndSetsTheirGlideStart)
{
    addVoices(2);
    on(60);
    engine.reset();
    EXPECT_EQ(voices[0]->resets, 1);
    EXPECT_EQ(voices[0]->note, -1);
    EXPECT_EQ(voices[1]->glideStartPitch, 48.0);
    EXPECT_EQ(engine.lastNote, -1);
}

}  // namespace
