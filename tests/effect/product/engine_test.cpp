#include "tests/effect/product/product_rig.h"

#include "effect/dsp/CDriveEffect.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace producttest;

namespace {

std::vector<uint8_t> presetWith(int index, float value, const char* innerName = "inner")
{
    float values[50];
    defaultValues(values);
    values[index] = value;
    return makeChunk(values, innerName);
}

}  // namespace

TEST(DriveStartup, FoldersComeFromTheConfiguredRoot)
{
    DataRoot root;
    CDrive engine(nullptr);
    EXPECT_EQ(std::string(engine.getPresetsFolder()), root.path() + "/Presets");
    EXPECT_EQ(std::string(engine.getGraphicsFolder()), root.path() + "/Gfx");
}

TEST(DriveStartup, LoadsTheFirstPresetInSortedOrderWithoutSelectingIt)
{
    DataRoot root;
    root.addPreset("b second.tbprg", presetWith(0, 0.1f));
    root.addPreset("A first.tbprg", presetWith(0, 0.75f));
    root.addPreset("0 capitals.TBPRG", presetWith(0, 0.2f));
    root.addPreset("0 backup.tbprg.bak", presetWith(0, 0.3f));
    RecordingWrapper wrapper;
    CDrive engine(&wrapper);

    EXPECT_EQ(engine.getPresetList().getCount(), 2);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "A first");
    EXPECT_EQ(engine.getParameter(0), 0.75f);
    EXPECT_FALSE(engine.isLoading());
    // Values stand in the program; host and chain learn them at the first switch.
    EXPECT_TRUE(wrapper.changes.empty());
    EXPECT_FLOAT_EQ(engine.getChain()->inputGainTarget(), 1.0f);
    engine.selectProgram(0);
    EXPECT_EQ(wrapper.changes.size(), 50u);
    EXPECT_NEAR(engine.getChain()->inputGainTarget(), 3.981f, 0.01f);
}

TEST(DriveStartup, ShortPresetSetsItsValuesAndRefusedOneStillNamesTheProgram)
{
    for (const size_t size : {size_t {100}, size_t {204}, size_t {459}}) {
        DataRoot root;
        std::vector<uint8_t> bytes = presetWith(0, 0.9f);
        bytes.resize(size);
        root.addPreset("Short.tbprg", bytes);
        RecordingWrapper wrapper;
        CDrive engine(&wrapper);
        EXPECT_STREQ(engine.getCurrentProgram()->name, "Short") << size;
        EXPECT_EQ(engine.getParameter(0), 0.9f) << size;
        EXPECT_TRUE(wrapper.changes.empty()) << size;
    }
    DataRoot root;
    std::vector<uint8_t> wrongMagic = presetWith(0, 0.9f);
    wrongMagic[0] = 'X';
    root.addPreset("Bad Magic.tbprg", wrongMagic);
    CDrive engine(nullptr);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "Bad Magic");
    EXPECT_EQ(engine.getParameter(0), 0.5f);
}

TEST(DriveStartup, EmptyPresetFileOrFolderKeepsTheDefaults)
{
    {
        DataRoot root;
        root.addPreset("Empty.tbprg", {});
        CDrive engine(nullptr);
        EXPECT_STREQ(engine.getCurrentProgram()->name, "<noname>");
    }
    DataRoot root;
    CDrive engine(nullptr);
    EXPECT_EQ(engine.getPresetList().getCount(), 0);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "<noname>");
}

TEST(DriveEngine, AnyProgramIndexSelectsTheOneProgram)
{
    DataRoot root;
    RecordingWrapper wrapper;
    CDrive engine(&wrapper);
    engine.setParameter(5, 0.3f);
    engine.selectProgram(5);
    ASSERT_EQ(wrapper.changes.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(wrapper.changes[i].first, i);
    EXPECT_EQ(wrapper.changes[5].second, 0.3f);
    EXPECT_EQ(engine.getCurrentProgramIndex(), 0);
}

TEST(DriveEngine, ParameterChangesReachTheChain)
{
    DataRoot root;
    CDrive engine(nullptr);
    engine.setParameter(1, 0.75f);
    EXPECT_NEAR(engine.getChain()->outputGainTarget(), 3.981f, 0.01f);
    engine.setParameter(47, 4.0f);
    EXPECT_EQ(engine.getChain()->box(2).pendingType(), 4);
    engine.setParameter(2, 0.0f);
    EXPECT_FALSE(engine.getChain()->equaliserOn());
}

TEST(DriveEngine, DefaultProgramHalvesTheInputThroughTheEngineGain)
{
    DataRoot root;
    CDrive engine(nullptr);
    engine.setSampleRate(48000.0);
    engine.selectProgram(0);
    const int frames = 48000;
    std::vector<float> l = tbtest::makeSine(1000.0, 48000.0, frames, 0.25f), r = l;
    std::vector<float> ol(frames), orr(frames);
    for (int at = 0; at < frames; at += 512) {
        float* in[2] = {l.data() + at, r.data() + at};
        float* out[2] = {ol.data() + at, orr.data() + at};
        ASSERT_EQ(engine.render(in, out, std::min(512, frames - at), true), 0);
    }
    const int half = frames / 2;
    EXPECT_NEAR(tbtest::amplitudeAt(ol.data() + half, half, 1000.0, 48000.0), 0.125, 0.002);
    EXPECT_NEAR(tbtest::amplitudeAt(orr.data() + half, half, 1000.0, 48000.0), 0.125, 0.002);
    // The meters see |L + R| inside the chain, before the engine's gain.
    EXPECT_NEAR(engine.getInputPeak(), 0.5f, 0.01f);
    EXPECT_NEAR(engine.getOutputPeak(), 0.5f, 0.01f);
}
