// MIDI decoding, key bookkeeping, sustain and controller links.
#include <gtest/gtest.h>

#include "tests/framework/engine/TestInstrument.h"

namespace {

class MidiTest : public ::testing::Test {
protected:
    TestDefinition definition;
    ScopedDefinition scope {definition};
    RecordingWrapper wrapper;
    RecordingEditor editor;
    TestInstrument engine {&wrapper};

    std::vector<std::string> notes() const
    {
        std::vector<std::string> out;
        for (const std::string& line : engine.log) {
            if (line.rfind("note", 0) == 0)
                out.push_back(line.substr(0, line.find(" @")));
        }
        return out;
    }
};

TEST_F(MidiTest, RepeatedNoteOnIsIgnoredAndOneNoteOffEndsIt)
{
    engine.apply(0x90, 60, 100);
    engine.apply(0x90, 60, 100);
    engine.apply(0x80, 60, 0);
    EXPECT_EQ(notes(), (std::vector<std::string> {"note 60 100", "note 60 0"}));
    EXPECT_EQ(engine.getKeyRecord(60)->velocity, 0);
}

TEST_F(MidiTest, NoteOnWithZeroVelocityIsANoteOff)
{
    engine.apply(0x90, 61, 90);
    EXPECT_EQ(engine.getKeyDown(61), 90);
    engine.apply(0x90, 61, 0);
    EXPECT_EQ(notes(), (std::vector<std::string> {"note 61 90", "note 61 0"}));
    EXPECT_EQ(engine.getKeyDown(61), 0);
}

TEST_F(MidiTest, SustainHoldsReleasedKeysUntilPedalUp)
{
    engine.apply(0xB0, 64, 127);
    engine.apply(0x90, 60, 100);
    engine.apply(0x80, 60, 0);
    EXPECT_EQ(notes().size(), 1u);
    EXPECT_EQ(engine.getKeyRecord(60)->velocity, 100);
    engine.apply(0x90, 62, 80);  // still held at pedal up
    engine.apply(0xB0, 64, 0);
    EXPECT_EQ(notes(), (std::vector<std::string> {"note 60 100", "note 62 80", "note 60 0"}));
    EXPECT_EQ(engine.getKeyRecord(62)->velocity, 80);
    for (const std::string& line : engine.log)
        EXPECT_NE(line.rfind("cc 64", 0), 0u) << "sustain never reaches onController";
}

TEST_F(MidiTest, SustainThresholdIsAbove64)
{
    engine.apply(0xB0, 64, 64);
    EXPECT_FALSE(engine.isSustainOn());
    EXPECT_EQ(engine.getControllerValue(64), 0.0);
    engine.apply(0xB0, 64, 65);
    EXPECT_TRUE(engine.isSustainOn());
    EXPECT_EQ(engine.getControllerValue(64), 1.0);
}

TEST_F(MidiTest, ResetAllControllersRestoresVolumeAndPanAndCallsEveryController)
{
    engine.apply(0xB0, 7, 20);
    engine.apply(0xB0, 10, 0);
    engine.apply(0xB0, 1, 127);
    engine.log.clear();
    engine.apply(0xB0, 121, 0);
    EXPECT_EQ(engine.getControllerValue(7), 1.0);
    EXPECT_EQ(engine.getControllerValue(10), 0.5);
    EXPECT_EQ(engine.getControllerValue(1), 0.0);
    ASSERT_EQ(engine.log.size(), 128u);
    EXPECT_EQ(engine.log.front(), "cc 0 @3");
    EXPECT_EQ(engine.log.back(), "cc 127 @3");
}

TEST_F(MidiTest, AllNotesOffReleasesEveryKey)
{
    engine.apply(0x90, 40, 10);
    engine.apply(0x90, 50, 10);
    engine.log.clear();
    engine.apply(0xB0, 123, 0);
    EXPECT_EQ(notes(), (std::vector<std::string> {"note 40 0", "note 50 0"}));
}

TEST_F(MidiTest, PitchBendCoversMinusOneToPlusOne)
{
    engine.apply(0xE0, 0, 64);
    EXPECT_NEAR(engine.getPitchBend(), 1.0 / 16383.0, 1e-12);
    engine.apply(0xE0, 127, 127);
    EXPECT_EQ(engine.getPitchBend(), 1.0);
    engine.apply(0xE0, 0, 0);
    EXPECT_EQ(engine.getPitchBend(), -1.0);
    EXPECT_EQ(engine.log.back(), "bend");
}

TEST_F(MidiTest, PressureProgramAndBankMessages)
{
    engine.apply(0xD0, 127, 0);
    EXPECT_EQ(engine.getChannelPressure(), 1.0);
    engine.apply(0xA0, 60, 127);
    EXPECT_EQ(engine.getKeyRecord(60)->pressure, 1.0);
    engine.apply(0xC0, 5, 0);
    engine.apply(0xB0, 32, 3);
    engine.takeBankSelect = true;
    engine.apply(0xB0, 32, 4);
    EXPECT_EQ(engine.log, (std::vector<std::string> {"pressure", "program 5", "bank 3", "cc 32 @3", "bank 4"}));
}

TEST_F(MidiTest, UnknownStatusIsIgnored)
{
    engine.apply(0xF0, 1, 2);
    engine.apply(0x91, 60, 100);  // channel bits must be cleared by the writer
    EXPECT_TRUE(engine.log.empty());
}

TEST_F(MidiTest, ControllerLinksPushEveryLinkedParameterToHostProgramAndEditor)
{
    wrapper.editor = &editor;
    engine.setControllerLink(2, 1);
    engine.setControllerLink(4, 74);
    engine.setControllerLink(99, 1);  // beyond the stored count: ignored
    engine.apply(0xB0, 74, 127);
    ASSERT_EQ(wrapper.changes.size(), 2u);
    EXPECT_EQ(wrapper.changes[0], (std::pair<int32_t, float> {2, 0.0f}));
    EXPECT_EQ(wrapper.changes[1], (std::pair<int32_t, float> {4, 1.0f}));
    EXPECT_FLOAT_EQ(engine.getParameter(4), 1.0f);
    EXPECT_FLOAT_EQ(engine.getParameter(2), 0.0f);
    EXPECT_EQ(editor.shown.size(), 2u);

    wrapper.changes.clear();
    engine.apply(0xB0, 123, 0);
    EXPECT_TRUE(wrapper.changes.empty()) << "all-notes-off is not a controller change";
}

TEST_F(MidiTest, UnlinkedControllersChangeNoParameter)
{
    engine.apply(0xB0, 74, 127);
    EXPECT_TRUE(wrapper.changes.empty());
    EXPECT_FLOAT_EQ(engine.getParameter(0), 0.25f);
}

}  // namespace
