#include "host/plugin/OVPlugin.h"

#include <thread>

#include "host/plugin/OVPluginWindow.h"

std::unique_ptr<OVPlugin> OVPlugin::createPluginInstance(PluginLoadInfo& info, juce::String* error)
{
    std::unique_ptr<OVPlugin> plugin(new OVPlugin);
    std::string text;
    plugin->plugin_ = HostedPlugin::create(info, plugin.get(), &text);
    if (!plugin->plugin_) {
        if (error != nullptr)
            *error = juce::String(text);
        return nullptr;
    }
    return plugin;
}

OVPlugin::~OVPlugin()
{
    stopTimer();
    // A refused plug-in leaves a half-built instance with nothing to close.
    if (!plugin_)
        return;
    {
        // The editor closes before the plug-in does.
        std::lock_guard<std::recursive_mutex> lock(plugin_->dispatcherLock());
        editorWindow_.reset();
    }
    plugin_.reset();
}

OVPluginWindow* OVPlugin::createEditorWindow()
{
    if (!editorWindow_)
        editorWindow_ = std::make_unique<OVPluginWindow>(*this);
    return editorWindow_.get();
}

void OVPlugin::forgetEditorWindow(OVPluginWindow* window)
{
    if (editorWindow_.get() == window)
        editorWindow_.release();
}

void OVPlugin::prepareToPlay(int samplesPerBlockExpected, double sampleRate)
{
    midiInput_.reset(sampleRate);
    blockMidi_.ensureSize(4096);
    plugin_->prepareToPlay(samplesPerBlockExpected, sampleRate);
}

void OVPlugin::releaseResources()
{
    plugin_->releaseResources();
    midiInput_.reset(plugin_->sampleRate());
}

void OVPlugin::getNextAudioBlock(const juce::AudioSourceChannelInfo& block)
{
    const int n = block.numSamples;
    plugin_->beginBlockMidi();
    if (plugin_->isProcessing()) {
        midiInput_.removeNextBlockOfMessages(blockMidi_, n);
        for (const auto message : blockMidi_)
            plugin_->addBlockMidi(message.samplePosition, message.data, message.numBytes, n);
        blockMidi_.clear();
    }
    plugin_->render(block.buffer->getArrayOfWritePointers(), block.buffer->getNumChannels(), block.startSample, n,
        block.buffer->getNumSamples());

    juce::AudioDeviceManager* manager = deviceManager_.load();
    juce::MidiOutput* output = manager != nullptr ? manager->getDefaultMidiOutput() : nullptr;
    if (output == nullptr) {
        plugin_->takeOutgoingMidi(nullptr);
        return;
    }
    plugin_->takeOutgoingMidi(
        [output](const unsigned char* data, int size, int) { output->sendMessageNow(juce::MidiMessage(data, size)); });
}

void OVPlugin::timerCallback()
{
    if (plugin_->idle() == 0)
        stopTimer();
}

void OVPlugin::startIdle(bool restart)
{
    if (restart || !isTimerRunning())
        startTimer(50);
}

void OVPlugin::idleRequested(bool restart)
{
    if (juce::MessageManager::existsAndIsCurrentThread()) {
        if (!restart)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        startIdle(restart);
        return;
    }
    // Timers belong to the message thread; a request from the audio thread
    // (or any other) is carried out there, one waiting at a time.
    if (restart)
        idleRestart_.store(true);
    if (idlePosted_.exchange(true))
        return;
    std::weak_ptr<OVPlugin*> weak = self_;
    const bool posted = juce::MessageManager::callAsync([weak] {
        if (auto alive = weak.lock()) {
            OVPlugin* self = *alive;
            self->idlePosted_.store(false);
            self->startIdle(self->idleRestart_.exchange(false));
        }
    });
    if (!posted)
        idlePosted_.store(false);
}

void OVPlugin::editorSizeRequested(int width, int height)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return;
    if (juce::MessageManager::existsAndIsCurrentThread()) {
        if (OVPluginWindow* window = editorWindow())
            window->setSize(width, height);
        return;
    }
    // The latest size wins; one resize waits on the message thread at a time.
    requestedSize_.store(static_cast<std::uint32_t>(width) | static_cast<std::uint64_t>(height) << 32);
    if (sizePosted_.exchange(true))
        return;
    std::weak_ptr<OVPlugin*> weak = self_;
    const bool posted = juce::MessageManager::callAsync([weak] {
        if (auto alive = weak.lock()) {
            OVPlugin* self = *alive;
            self->sizePosted_.store(false);
            const std::uint64_t size = self->requestedSize_.load();
            if (OVPluginWindow* window = self->editorWindow())
                window->setSize(static_cast<int>(size & 0xFFFFFFFFu), static_cast<int>(size >> 32));
        }
    });
    if (!posted)
        sizePosted_.store(false);
}
