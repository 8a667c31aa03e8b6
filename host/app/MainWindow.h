#pragma once
// Kelbrin's main window: the plug-in's editor as its whole content, the
// Options and Help buttons and the volume slider on the title bar, tap tempo,
// and the settings it keeps between runs.
//
// Thread use: the message thread.

#include <memory>
#include <string>

#include <juce_audio_utils/juce_audio_utils.h>

#include "framework/vst/host/PluginModule.h"
#include "host/app/TapTempo.h"
#include "host/util/QKOsUtilLib.h"

class OVPlugin;

class MainWindow : public juce::DocumentWindow, public juce::Button::Listener, public juce::Slider::Listener {
public:
    enum OptionsId { kAudioSettings = 1, kSaveState = 2, kLoadState = 3, kQuit = 5 };

    MainWindow(const juce::String& name, std::unique_ptr<PluginLoadInfo> loadInfo, juce::AudioDeviceManager* devices,
        juce::PropertiesFile& settings);
    ~MainWindow() override;

    OVPlugin* plugin() const { return plugin_.get(); }
    juce::ChannelRemappingAudioSource* remapper() const { return remapper_.get(); }
    juce::MidiKeyboardState& keyboardState() { return keyboard_; }

    bool keyPressed(const juce::KeyPress& key) override;
    void resized() override;
    void activeWindowStatusChanged() override;
    void parentHierarchyChanged() override;
    void closeButtonPressed() override;
    void buttonClicked(juce::Button* button) override;
    void sliderValueChanged(juce::Slider* slider) override;

    void handleOptionsItem(int id);
    void handleHelpItem(int id);
    // Opens the manual at manualPath (UTF-8; empty when it was not found)
    // with xdg-open, and says so in a message when it is missing or nothing
    // could open it.
    void openHelpContents(const std::string& manualPath);
    void showSettingsDialog();
    void saveStateToFile();
    void loadStateFromFile();
    // One press of the TAP button at now (ms).
    void tap(double now);
    // Removes the editor so that it closes before the plug-in does.
    void removeContent();

    juce::Slider& tempoSlider() { return tempo_; }
    juce::Slider& volumeSlider() { return volume_; }
    juce::TextButton& tapButton() { return tapButton_; }
    const juce::PopupMenu& helpMenu() const { return helpMenu_; }

private:
    void buildHelpMenu();
    void showIconOnDesktop();
    void reportManualNotOpened(const juce::String& why);
    juce::File lastStateFile() const;

    juce::PropertiesFile& settings_;
    juce::AudioDeviceManager* devices_;
    std::unique_ptr<PluginLoadInfo> loadInfo_;
    std::unique_ptr<OVPlugin> plugin_;
    std::unique_ptr<juce::ChannelRemappingAudioSource> remapper_;
    juce::TextButton optionsButton_ {"Options"};
    juce::TextButton helpButton_ {"Help"};
    juce::TextButton tapButton_ {"TAP"};
    juce::Slider tempo_ {"MasterTempoSlider"};
    juce::Slider volume_ {"MasterVolumeSlider"};
    juce::PopupMenu helpMenu_;
    QKOsUtilLib::Directory linkFolder_;
    QKOsUtilLib::StringList* links_ = nullptr;
    TapTempoBuffer taps_;
    juce::MidiKeyboardState keyboard_;
    juce::Image icon_;
};
