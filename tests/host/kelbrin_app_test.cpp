// Kelbrin's application pieces without a window: tap tempo, the settings it
// keeps between runs and the channel mapping restored only for its device.

#include <gtest/gtest.h>

#include <juce_audio_utils/juce_audio_utils.h>

#include <filesystem>
#include <fstream>

#include "host/app/KelbrinSettings.h"
#include "host/app/ProgramFolder.h"
#include "host/app/TapTempo.h"
#include "tests/support/TempFolder.h"

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

// Regression: the start-up alert for a library that would not load showed
// only its sentence, never the loader's reason; a missing library was named
// only beside the program (<prefix>/bin), where a copy lacks its pictures and
// presets. The folder is not ASCII, as a user's home folder may not be.
TEST(PluginStart, AlertsGiveTheFileAndTheLoadersReason)
{
    tbtest::TempFolder root;
    const std::string bin = root.makeFolder("Gr\xc3\xbcn");
    const juce::File folder(juce::String::fromUTF8(bin.c_str()));
    const juce::String library = folder.getChildFile("Tambrell.so").getFullPathName();
    const juce::String installed = juce::String::fromUTF8(root.file("lib/lxvst/Tambrell/Tambrell.so").c_str());
    PluginStart start = loadPluginBeside(folder, 256, 48000.0);
    EXPECT_FALSE(start.info);
    EXPECT_TRUE(start.alert.startsWith("Can't find the plugin module!\n\nThe required file is:\n\n" + installed + "\n"))
        << start.alert;
    EXPECT_TRUE(start.alert.endsWith(
        "\n" + library + "\n" + installed + "\n" + juce::String::fromUTF8(root.file("Tambrell/Tambrell.so").c_str())))
        << start.alert;

    const juce::String sentence = "An error occurred when trying to load the plugin module!\n\n";
    std::ofstream(bin + "/Tambrell.so") << "This is not a shared library, only its name.\n";
    start = loadPluginBeside(folder, 256, 48000.0);
    EXPECT_FALSE(start.info);
    EXPECT_TRUE(start.alert.startsWith(sentence + library + ":")) << start.alert;

    std::filesystem::copy_file(
        TB_NEEDS_GONE_MODULE, bin + "/Tambrell.so", std::filesystem::copy_options::overwrite_existing);
    start = loadPluginBeside(folder, 256, 48000.0);
    EXPECT_FALSE(start.info);
    EXPECT_TRUE(start.alert.startsWith(sentence)) << start.alert;
    EXPECT_TRUE(start.alert.contains("libtbgone.so")) << start.alert;
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
