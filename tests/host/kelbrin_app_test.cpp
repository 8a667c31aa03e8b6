// Kelbrin's application pieces without a window: tap tempo, the settings it
// keeps between runs and the channel mapping restored only for its device.

#include <gtest/gtest.h>

#include <juce_audio_utils/juce_audio_utils.h>

#include "host/app/KelbrinSettings.h"
#include "host/app/TapTempo.h"

namespace {

TEST(TapTempo, EightTapsHalfASecondApartGive120)
{
    TapTempoBuffer buffer;
    for (int i = 0; i < 7; ++i) {
        const TapResult r = tapTempo(buffer, 1000.0 + 500.0 * i);
        EXPECT_FALSE(r.tempoSet);
        EXPECT_EQ(r.buttonText, std::to_string(i + 1));
    }
    const TapResult last = tapTempo(buffer, 1000.0 + 500.0 * 7);
    EXPECT_TRUE(last.tempoSet);
    EXPECT_DOUBLE_EQ(last.bpm, 120.0);
    EXPECT_EQ(last.buttonText, "TAP");
    EXPECT_EQ(buffer.count, 0);  // the next tap starts again
}

class SettingsTest : public ::testing::Test {
protected:
    ~SettingsTest() override
    {
        settings.reset();
        folder.getFile().deleteRecursively();
    }
    std::unique_ptr<juce::PropertiesFile> reopen()
    {
        settings.reset();
        return openKelbrinSettings(folder.getFile());
    }
    juce::ScopedJuceInitialiser_GUI juce;
    juce::TemporaryFile folder;
    std::unique_ptr<juce::PropertiesFile> settings;
};

TEST_F(SettingsTest, LinuxFileAndWindowPositionClamp)
{
    EXPECT_EQ(kelbrinSettingsOptions().getDefaultFile().getFullPathName(),
        juce::File("~/.Tambrell/Tambrell.settings").getFullPathName());
    ASSERT_TRUE(folder.getFile().createDirectory());
    settings = openKelbrinSettings(folder.getFile());
    EXPECT_EQ(readWindowPosition(*settings).x, 100);  // nothing stored
    settings->setValue(settingskey::kWindowX, 925);
    settings->setValue(settingskey::kWindowY, 668);
    ASSERT_TRUE(settings->save());
    settings = reopen();
    EXPECT_EQ(readWindowPosition(*settings).x, 100);
    EXPECT_EQ(readWindowPosition(*settings).y, 668);
    settings->setValue(settingskey::kWindowY, -1);
    EXPECT_EQ(readWindowPosition(*settings).y, 100);
}

TEST_F(SettingsTest, MappingRestoredOnlyForTheSameDevice)
{
    ASSERT_TRUE(folder.getFile().createDirectory());
    settings = openKelbrinSettings(folder.getFile());
    juce::ToneGeneratorAudioSource tone;
    juce::ChannelRemappingAudioSource saved(&tone, false);
    saved.setNumberOfChannelsToProduce(2);
    saved.setInputChannelMapping(0, 1);
    saved.setInputChannelMapping(1, -1);
    saved.setOutputChannelMapping(0, 3);
    saveChannelMapping(*settings, saved, "Card A");
    ASSERT_TRUE(settings->save());
    settings = reopen();

    juce::ChannelRemappingAudioSource other(&tone, false);
    EXPECT_FALSE(restoreChannelMapping(*settings, other, "Card B"));
    EXPECT_FALSE(restoreChannelMapping(*settings, other, ""));
    EXPECT_EQ(other.getRemappedInputChannel(0), -1);
    EXPECT_TRUE(restoreChannelMapping(*settings, other, "Card A"));
    EXPECT_EQ(other.getRemappedInputChannel(0), 1);
    EXPECT_EQ(other.getRemappedOutputChannel(0), 3);

    // No device at close: an empty name, never the last device's.
    saveChannelMapping(*settings, other, {});
    EXPECT_EQ(settings->getValue(settingskey::kChannelMappingDeviceName), "");
}

}  // namespace
