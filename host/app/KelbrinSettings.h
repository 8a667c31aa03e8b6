#pragma once
// Kelbrin's settings: JUCE's properties file ~/.Tambrell/Tambrell.settings,
// written as XML, saved a second after the last change.
//
// Thread use: the message thread.

#include <memory>

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_data_structures/juce_data_structures.h>

namespace settingskey {
inline const char* const kAudioDeviceSetup = "audioDeviceSetup";
inline const char* const kWindowX = "windowX";
inline const char* const kWindowY = "windowY";
inline const char* const kChannelMappingState = "channelMappingState";
inline const char* const kChannelMappingDeviceName = "channelMappingDeviceName";
// Read by the state file choosers, never written.
inline const char* const kLastStateFile = "lastStateFile";
}  // namespace settingskey

juce::PropertiesFile::Options kelbrinSettingsOptions();
// The settings file in folder instead of the user's (for tests).
std::unique_ptr<juce::PropertiesFile> openKelbrinSettings(const juce::File& folder = {});

struct WindowPosition {
    int x;
    int y;
};
// The stored position, 100 for a missing value or one outside 0..924 (x)
// or 0..668 (y).
WindowPosition readWindowPosition(const juce::PropertiesFile& settings);

// The mapping saved for deviceName is restored only while that device is the
// one in use; true when it was.
bool restoreChannelMapping(
    const juce::PropertiesFile& settings, juce::ChannelRemappingAudioSource& remapper, const juce::String& deviceName);
// deviceName is empty when no device is open.
void saveChannelMapping(
    juce::PropertiesFile& settings, juce::ChannelRemappingAudioSource& remapper, const juce::String& deviceName);
