#pragma once
// The "Settings" dialog's page: JUCE's device selector above one combo box
// per plug-in channel that picks the device channel feeding a plug-in input
// or taking a plug-in output. The main window owns the remapper, the device
// manager and the plug-in; the page only points at them.
//
// Thread use: the message thread. The remapper's own lock covers the audio
// thread's reads.

#include <juce_audio_utils/juce_audio_utils.h>

class OVPlugin;

// The default mapping: plug-in channel i to device channel i, for as many
// channels as the current device has.
void resetChannelMapping(
    juce::AudioDeviceManager& devices, juce::ChannelRemappingAudioSource& remapper, OVPlugin* plugin);

class ChannelRemappingComponent : public juce::Component, public juce::ComboBox::Listener, public juce::ChangeListener {
public:
    ChannelRemappingComponent(juce::ChannelRemappingAudioSource& remapper, OVPlugin* plugin,
        juce::AudioDeviceManager& devices, const juce::StringArray& inputNames, const juce::StringArray& outputNames);
    ~ChannelRemappingComponent() override;

    int getRequiredHeight() const;
    void paint(juce::Graphics& g) override;
    void resized() override;
    void comboBoxChanged(juce::ComboBox* box) override;
    void changeListenerCallback(juce::ChangeBroadcaster*) override;

    const juce::OwnedArray<juce::ComboBox>& inputBoxes() const { return inputBoxes_; }
    const juce::OwnedArray<juce::ComboBox>& outputBoxes() const { return outputBoxes_; }

private:
    void rebuildMappingRows();
    juce::ComboBox* createMappingComboBox(const juce::String& name, const juce::StringArray& deviceChannels);

    juce::ChannelRemappingAudioSource& remapper_;
    OVPlugin* plugin_;
    juce::AudioDeviceManager& devices_;
    juce::String deviceName_;
    juce::StringArray inputNames_;
    juce::StringArray outputNames_;
    juce::OwnedArray<juce::ComboBox> inputBoxes_;
    juce::OwnedArray<juce::ComboBox> outputBoxes_;
    juce::OwnedArray<juce::Label> labels_;
};

class CombinedAudioPropertiesPage : public juce::Component {
public:
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 550;

    CombinedAudioPropertiesPage(
        juce::AudioDeviceManager& devices, juce::ChannelRemappingAudioSource& remapper, OVPlugin* plugin);
    void resized() override;
    ChannelRemappingComponent& mapping() { return *mapping_; }

private:
    std::unique_ptr<juce::AudioDeviceSelectorComponent> selector_;
    std::unique_ptr<ChannelRemappingComponent> mapping_;
};
