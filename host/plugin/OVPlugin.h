#pragma once
// The one plug-in instance of the program, as JUCE sees it: the audio source
// the device pulls blocks from (through the channel remapper) and the timer
// that idles the plug-in when it asks for it. The VST side is HostedPlugin's.
//
// Thread use: message thread for everything but getNextAudioBlock (audio
// thread) and the MIDI collector (fed by the MIDI input threads).

#include <atomic>
#include <cstdint>
#include <memory>

#include <juce_audio_devices/juce_audio_devices.h>

#include "framework/vst/host/HostedPlugin.h"

class OVPluginWindow;

class OVPlugin : public juce::AudioSource, public juce::Timer, private HostedPlugin::Listener {
public:
    // Creates the instance; null with a text for the user in *error.
    static std::unique_ptr<OVPlugin> createPluginInstance(PluginLoadInfo& info, juce::String* error = nullptr);
    ~OVPlugin() override;  // closes the editor window, then the plug-in

    HostedPlugin& host() { return *plugin_; }
    juce::MidiMessageCollector& midiInputCollector() { return midiInput_; }
    // Where the plug-in's MIDI goes: the manager's default MIDI output.
    void setDeviceManager(juce::AudioDeviceManager* manager) { deviceManager_.store(manager); }
    void setVolume(int percent) { plugin_->setVolume(percent); }
    bool keysWanted() const { return plugin_->keysWanted.load(); }

    // The component hosting the plug-in's editor, created on first use and
    // owned by this instance.
    OVPluginWindow* createEditorWindow();
    OVPluginWindow* editorWindow() const { return editorWindow_.get(); }
    void forgetEditorWindow(OVPluginWindow* window);

    void prepareToPlay(int samplesPerBlockExpected, double sampleRate) override;
    void releaseResources() override;
    void getNextAudioBlock(const juce::AudioSourceChannelInfo& block) override;
    void timerCallback() override;

private:
    OVPlugin() = default;
    void idleRequested(bool restart) override;
    void editorSizeRequested(int width, int height) override;
    void startIdle(bool restart);

    std::unique_ptr<HostedPlugin> plugin_;
    std::unique_ptr<OVPluginWindow> editorWindow_;
    juce::MidiMessageCollector midiInput_;
    juce::MidiBuffer blockMidi_;
    std::atomic<juce::AudioDeviceManager*> deviceManager_ {nullptr};
    // Requests from other threads wait on the message thread one of each kind
    // at a time: a plug-in that asks every block would flood the queue.
    std::atomic<bool> idlePosted_ {false};
    std::atomic<bool> idleRestart_ {false};
    std::atomic<bool> sizePosted_ {false};
    std::atomic<std::uint64_t> requestedSize_ {0};
    // Requests posted from other threads check this before touching us.
    std::shared_ptr<OVPlugin*> self_ = std::make_shared<OVPlugin*>(this);
};
