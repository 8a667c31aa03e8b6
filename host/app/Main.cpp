// Kelbrin: plays the audio device through the Tambrell plug-in that lies
// beside the program and shows the plug-in's editor as its window.

#include <memory>

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "framework/vst/host/PluginModule.h"
#include "host/plugin/OVPlugin.h"
#include "host/plugin/OVPluginWindow.h"

namespace {

const char* const kAppName = "Tambrell";
const char* const kLibraryName = "Tambrell.so";

// Beside the program first; then the installed layout (<prefix>/bin and
// <prefix>/lib/lxvst/Tambrell); then the build tree's plug-in folder.
juce::File findPluginLibrary()
{
    const juce::File folder = juce::File::getSpecialLocation(juce::File::currentExecutableFile).getParentDirectory();
    const juce::File candidates[] = {
        folder.getChildFile(kLibraryName),
        folder.getChildFile("../lib/lxvst/Tambrell").getChildFile(kLibraryName),
        folder.getChildFile("../Tambrell").getChildFile(kLibraryName),
    };
    for (const juce::File& f : candidates)
        if (f.existsAsFile())
            return f;
    return candidates[0];
}

class MainWindow : public juce::DocumentWindow {
public:
    explicit MainWindow(OVPlugin* plugin)
        : juce::DocumentWindow(kAppName, juce::Colours::black, juce::DocumentWindow::closeButton)
    {
        setUsingNativeTitleBar(true);
        if (plugin != nullptr)
            setContentNonOwned(plugin->createEditorWindow(), true);
        else
            setSize(OVPluginWindow::kDefaultWidth, OVPluginWindow::kDefaultHeight);
        centreWithSize(getWidth(), getHeight());
        setVisible(true);
    }

    void closeButtonPressed() override
    {
        if (juce::AlertWindow::showOkCancelBox(
                juce::MessageBoxIconType::QuestionIcon, kAppName, "Are you sure you want to Close?", "Yes", "No")) {
            clearContentComponent();
            juce::JUCEApplication::getInstance()->systemRequestedQuit();
        }
    }
};

class KelbrinApp : public juce::JUCEApplication {
public:
    const juce::String getApplicationName() override { return kAppName; }
    const juce::String getApplicationVersion() override { return "1.1.3"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise(const juce::String&) override
    {
        const juce::String deviceError = devices_.initialiseWithDefaultDevices(2, 2);
        int blockSize = 0;
        double sampleRate = 0.0;
        if (juce::AudioIODevice* device = devices_.getCurrentAudioDevice()) {
            blockSize = device->getCurrentBufferSizeSamples();
            sampleRate = device->getCurrentSampleRate();
        }

        const juce::File library = findPluginLibrary();
        std::string error;
        loadInfo_ = loadPluginModule(library.getFullPathName().toStdString(), blockSize, sampleRate, &error);
        if (!loadInfo_) {
            juce::AlertWindow::showMessageBox(juce::MessageBoxIconType::WarningIcon, kAppName,
                "The plug-in " + library.getFullPathName() + " could not be loaded.\n\n" + juce::String(error));
            quit();
            return;
        }
        juce::String createError;
        plugin_ = OVPlugin::createPluginInstance(*loadInfo_, &createError);
        if (!plugin_ && createError.isNotEmpty())
            juce::AlertWindow::showMessageBox(juce::MessageBoxIconType::WarningIcon, kAppName, createError);
        if (plugin_) {
            plugin_->setDeviceManager(&devices_);
            player_.setSource(plugin_.get());
            devices_.addAudioCallback(&player_);
        }
        window_ = std::make_unique<MainWindow>(plugin_.get());
        (void)deviceError;  // no device: the window still shows the editor
    }

    void shutdown() override
    {
        devices_.removeAudioCallback(&player_);
        player_.setSource(nullptr);
        window_.reset();
        plugin_.reset();
        loadInfo_.reset();
    }

    void systemRequestedQuit() override { quit(); }

private:
    juce::AudioDeviceManager devices_;
    juce::AudioSourcePlayer player_;
    std::unique_ptr<PluginLoadInfo> loadInfo_;
    std::unique_ptr<OVPlugin> plugin_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace

START_JUCE_APPLICATION(KelbrinApp)
