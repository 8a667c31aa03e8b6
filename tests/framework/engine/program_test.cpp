// Programs, parameter routing, program switching and the engine's lifecycle.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "tests/framework/engine/TestInstrument.h"

namespace {

class ProgramTest : public ::testing::Test {
protected:
    TestDefinition definition;
    ScopedDefinition scope {definition};
    RecordingWrapper wrapper;
    RecordingEditor editor;
};

TEST_F(ProgramTest, SelectProgramClampsTheIndex)
{
    TestInstrument engine(&wrapper, 3);
    engine.selectProgram(-5);
    EXPECT_EQ(engine.getCurrentProgramIndex(), 0);
    engine.selectProgram(99);
    EXPECT_EQ(engine.getCurrentProgramIndex(), 2);
    engine.setParameter(1, 0.75f);
    engine.selectProgram(1);
    EXPECT_FLOAT_EQ(engine.getParameter(1), 0.25f) << "program 1 has its own values";
    engine.selectProgram(2);
    EXPECT_FLOAT_EQ(engine.getParameter(1), 0.75f);
}

TEST_F(ProgramTest, SelectProgramPushesEveryStoredValueThenRefreshesTheEditor)
{
    TestInstrument engine(&wrapper, 2);
    wrapper.editor = &editor;
    engine.selectProgram(1);
    ASSERT_EQ(wrapper.changes.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(wrapper.changes[static_cast<size_t>(i)].first, i);
        EXPECT_FLOAT_EQ(wrapper.changes[static_cast<size_t>(i)].second, 0.25f);
    }
    EXPECT_EQ(engine.log.front(), "param 0 250");
    EXPECT_EQ(engine.log.size(), 6u);
    EXPECT_EQ(editor.updates, 1);
    EXPECT_EQ(engine.getPendingProgramChanges(), 0);
}

TEST_F(ProgramTest, SelectProgramWithoutProgramsDoesNothing)
{
    TestInstrument engine(&wrapper, 0);
    EXPECT_EQ(engine.selectProgram(0), 0);
    EXPECT_TRUE(wrapper.changes.empty());
    EXPECT_EQ(engine.getParameter(0), 0.0f);
    engine.setParameter(0, 1.0f);
    EXPECT_TRUE(engine.log.empty()) << "a write without programs must not reach onParameterChanged";
    char text[kParameterTextCapacity] = "keep";
    engine.getParameterName(0, text);
    EXPECT_STREQ(text, "keep");
}

TEST_F(ProgramTest, ParametersGoToTheCurrentProgramAndNotifyTheEngine)
{
    TestInstrument engine(&wrapper, 1);
    engine.setParameter(3, 0.6f);
    EXPECT_FLOAT_EQ(engine.getParameter(3), 0.6f);
    EXPECT_FLOAT_EQ(engine.getParameterDefault(3), 0.25f);
    ASSERT_EQ(engine.log.size(), 1u);
    EXPECT_EQ(engine.log[0], "param 3 600");
    char text[kParameterTextCapacity];
    engine.getParameterDisplay(3, text);
    EXPECT_STREQ(text, "60");
    engine.getParameterLabel(3, text);
    EXPECT_STREQ(text, "---");
    engine.getParameterName(3, text);
    EXPECT_STREQ(text, "P3");
}

// A NaN or inf written by a host used to be stored and then written into the
// chunk, which the next load refused: a saved session would not restore.
TEST_F(ProgramTest, NonFiniteWritesAreIgnored)
{
    TestInstrument engine(&wrapper, 1);
    engine.setParameter(3, 0.6f);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
             -std::numeric_limits<float>::infinity()})
        engine.setParameter(3, bad);
    EXPECT_FLOAT_EQ(engine.getParameter(3), 0.6f);
    EXPECT_EQ(engine.log.size(), 1u) << "an ignored write must not reach onParameterChanged";
}

TEST_F(ProgramTest, ProgramNamesFollowOneIndexRule)
{
    TestInstrument engine(&wrapper, 2);
    EXPECT_TRUE(engine.setProgramName(1, "Second"));
    EXPECT_TRUE(engine.setProgramName(-3, "First"));
    char text[kProgramNameCapacity];
    EXPECT_TRUE(engine.getProgramName(1, text));
    EXPECT_STREQ(text, "Second");
    // Regression: a negative index in getProgramName must read the first program.
    EXPECT_TRUE(engine.getProgramName(-1, text));
    EXPECT_STREQ(text, "First");
    EXPECT_FALSE(engine.getProgramName(2, text));
    EXPECT_FALSE(engine.setProgramName(2, "x"));
    EXPECT_FALSE(engine.setProgramName(0, nullptr));
    EXPECT_FALSE(engine.getProgramName(0, nullptr));
}

// Regression: a long name overflowed the 256-byte program name.
TEST_F(ProgramTest, LongProgramNamesAreCutAt255Characters)
{
    TestInstrument engine(&wrapper, 1);
    const std::string longName(1000, 'x');
    EXPECT_TRUE(engine.setProgramName(0, longName.c_str()));
    char text[kProgramNameCapacity + 16];
    std::memset(text, 'y', sizeof(text));
    engine.getProgramName(0, text);
    EXPECT_EQ(std::strlen(text), 255u);
    EXPECT_EQ(text[256], 'y') << "copy-out wrote past the name";
}

TEST_F(ProgramTest, SampleRateResetsOnlyOnChange)
{
    TestInstrument engine(&wrapper, 1);
    RecordingFx* fx = engine.installFx();
    FakeVoice* voice = engine.addFakeVoice();
    engine.setSampleRate(48000.0);
    EXPECT_EQ(fx->resets, 2) << "engine reset, then the unit's own reset";
    ASSERT_EQ(fx->rates.size(), 1u);
    EXPECT_EQ(fx->rates[0], 48000.0);
    EXPECT_EQ(voice->sampleRate, 48000.0);
    EXPECT_EQ(voice->glideStartPitch, 48.0);
    engine.setSampleRate(48000.0);
    EXPECT_EQ(fx->resets, 2);
    EXPECT_EQ(engine.getSampleRate(), 48000.0);
}

TEST_F(ProgramTest, TempoHasAFloorOfOneBeatPerMinute)
{
    TestInstrument engine(&wrapper, 1);
    RecordingFx* fx = engine.installFx();
    engine.setTempo(0.5);
    EXPECT_EQ(engine.getTempo(), 1.0);
    engine.setTempo(140.0);
    engine.setTempo(140.0);
    EXPECT_EQ(fx->tempos, (std::vector<double> {1.0, 140.0}));
}

TEST_F(ProgramTest, ResetEndsSoundingKeysUnlessSustained)
{
    TestInstrument engine(&wrapper, 1);
    engine.apply(0x90, 60, 100);
    engine.reset();
    EXPECT_EQ(engine.getKeyRecord(60)->velocity, 0);
    EXPECT_EQ(engine.log.back(), "note 60 0 @1");

    engine.apply(0xB0, 64, 127);
    engine.apply(0x90, 62, 100);
    engine.log.clear();
    engine.reset();
    EXPECT_EQ(engine.getKeyRecord(62)->velocity, 100) << "sustain keeps keys through reset";
    EXPECT_EQ(engine.getKeyDown(62), 0);
    EXPECT_TRUE(engine.log.empty());
}

TEST_F(ProgramTest, DestructionReleasesEffectUnitVoicesAndPrograms)
{
    bool destroyed = false;
    auto* engine = new TestInstrument(&wrapper, 3);
    engine->installFx(&destroyed);
    engine->addFakeVoice();
    engine->destroy();
    EXPECT_TRUE(destroyed);
    // Leaks of voices or programs show up under AddressSanitizer.
}

TEST_F(ProgramTest, EngineWithoutDefinitionStillWorks)
{
    installPluginDefinition(nullptr);
    TestInstrument engine(&wrapper, 1);
    EXPECT_EQ(engine.selectProgram(0), 0);
    EXPECT_TRUE(wrapper.changes.empty());
    engine.installFx()->mixValue = 1.0f;
    engine.reset();
    std::vector<float> l, r;
    EXPECT_EQ(engine.renderInto(l, r, 10), 0);
    EXPECT_FLOAT_EQ(l[9], 0.5f);
}

}  // namespace
