// Kelbrin: plays the audio device through the Tambrell plug-in that lies
// beside the program and shows the plug-in's editor as its window.

#include <atomic>
#include <csignal>
#include <memory>

#include <juce_audio_utils/juce_audio_utils.h>

#include "framework/vst/host/PluginModule.h"
#include "host/app/KelbrinSettings.h"
#include "host/app/MainWindow.h"
#include "host/app/ProgramFolder.h"
#include "host/app/QKLookAndFeel.h"
#include "host/plugin/OVPlugin.h"

namespace {

const char* const kAppName = "Tambrell";

// No saved setup: the first device type that has a device, so a machine
// without a sound card but with a JACK server plays through JACK.
void openFirstDevice(juce::AudioDeviceManager& devices)
{
    for (juce::AudioIODeviceType* type : devices.getAvailableDeviceTypes()) {
        type->scanForDevices();
        if (type->getDeviceNames(false).isEmpty())
            continue;
        devices.setCurrentAudioDeviceType(type->getTypeName(), true);
        if (devices.getCurrentAudioDevice() != nullptr)
            return;
    }
}

// SIGTERM and SIGHUP are how Linux asks a program to end (a logout, a
// service stop, `kill`): they quit as the system's quit request does, so
// the settings are written. The handler only raises a flag.
std::atomic<bool> quitSignalled {false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onQuitSignal(int) { quitSignalled.store(true); }

void catchQuitSignals()
{
    struct sigaction action { };
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

class KelbrinApp : public juce::JUCEApplication, private juce::Timer {
public:
    const juce::String getApplicationName() override { return kAppName; }
    const juce::String getApplicationVersion() override { return "1.4"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise(const juce::String&) override
    {
        catchQuitSignals();
        startTimer(100);
        juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel_);
        settings_ = openKelbrinSettings();
        const std::unique_ptr<juce::XmlElement> saved = settings_->getXmlValue("audioDeviceSetup");
        devices_ = std::make_unique<juce::AudioDeviceManager>();
        (void)devices_->initialise(256, 256, saved.get(), true);
        if (!saved)
            openFirstDevice(*devices_);
        devices_->addAudioCallback(&player_);

        int blockSize = 2048;
        double sampleRate = 44100.0;
        if (juce::AudioIODevice* device = devices_->getCurrentAudioDevice()) {
            blockSize = device->getCurrentBufferSizeSamples();
            sampleRate = device->getCurrentSampleRate();
        }
        PluginStart start = loadPluginBeside(programFolder(), blockSize, sampleRate);
        if (!start.info) {
            // Scripts and launchers see the failure, also when a signal ends
            // the alert.
            setApplicationReturnValue(1);
            juce::AlertWindow::showMessageBox(juce::MessageBoxIconType::WarningIcon, "Error!", start.alert);
            quit();
            return;
        }
        window_ = std::make_unique<MainWindow>(kAppName, std::move(start.info), devices_.get(), *settings_);
        OVPlugin* plugin = window_->plugin();
        if (!plugin)
            setApplicationReturnValue(1);  // the window runs empty: the plug-in refused to start
        if (plugin && devices_->getCurrentAudioDevice() == nullptr) {
            // Opened now, so the editor works before any device plays.
            plugin->prepareToPlay(blockSize, sampleRate);
            plugin->releaseResources();
        }
        player_.setSource(window_->remapper());
        if (plugin)
            devices_->addMidiInputDeviceCallback({}, &plugin->midiInputCollector());
    }

    void shutdown() override
    {
        stopTimer();
        player_.setSource(nullptr);
        if (devices_) {
            devices_->removeAudioCallback(&player_);
            // Nothing may feed the plug-in once it closes.
            if (window_ && window_->plugin())
                devices_->removeMidiInputDeviceCallback({}, &window_->plugin()->midiInputCollector());
        }
        window_.reset();
        if (devices_) {
            if (const std::unique_ptr<juce::XmlElement> state = devices_->createStateXml())
                settings_->setValue("audioDeviceSetup", state.get());
            devices_.reset();
        }
        if (settings_)
            settings_->saveIfNeeded();
        settings_.reset();
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    }

    void systemRequestedQuit() override
    {
        if (!window_)
            return;
        window_->removeContent();
        quit();
    }

private:
    void timerCallback() override
    {
        if (!quitSignalled.exchange(false))
            return;
        if (window_)
            systemRequestedQuit();
        else
            // No window yet: the start-up alert is showing. Ending the message
            // loop ends its modal loop too, so the start ends where it stands.
            quit();
    }

    juce::AudioSourcePlayer player_;
    QKLookAndFeel lookAndFeel_;
    std::unique_ptr<juce::PropertiesFile> settings_;
    std::unique_ptr<juce::AudioDeviceManager> devices_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace

START_JUCE_APPLICATION(KelbrinApp)
