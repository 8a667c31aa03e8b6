#include "host/app/MainWindow.h"

#include <cstring>

#include "framework/vst/VstOpcodes.h"
#include "framework/vst/bank/BankFile.h"
#include "host/app/KelbrinSettings.h"
#include "host/app/PluginBankHost.h"
#include "host/app/ProgramFolder.h"
#include "host/plugin/OVPlugin.h"
#include "host/plugin/OVPluginWindow.h"
#include "host/settings/ChannelMapping.h"
#include "host/util/HelpContents.h"
#include "host/util/UrlFileFilter.h"

namespace {

constexpr VstInt32 kVendorIndex = vstFourCC('O', 'V', 'V', 'S');

void styleSlider(juce::Slider& s, double defaultValue)
{
    s.setTextBoxStyle(juce::Slider::TextBoxLeft, false, 60, 19);
    s.setDoubleClickReturnValue(true, defaultValue);
    s.setColour(juce::Slider::textBoxBackgroundColourId, juce::Colour(20, 20, 20));
    s.setColour(juce::Slider::textBoxTextColourId, juce::Colour(240, 240, 240));
}

}  // namespace

MainWindow::MainWindow(const juce::String& name, std::unique_ptr<PluginLoadInfo> loadInfo,
    juce::AudioDeviceManager* devices, juce::PropertiesFile& settings)
    : juce::DocumentWindow(name, juce::Colours::black, minimiseButton | closeButton, true)
    , settings_(settings)
    , devices_(devices)
    , loadInfo_(std::move(loadInfo))
{
    setUsingNativeTitleBar(false);
    setTitleBarButtonsRequired(minimiseButton | closeButton, false);
    setResizeLimits(OVPluginWindow::kDefaultWidth, OVPluginWindow::kDefaultHeight, OVPluginWindow::kDefaultWidth,
        OVPluginWindow::kDefaultHeight);
    for (juce::TextButton* b : {&optionsButton_, &helpButton_, &tapButton_}) {
        Component::addAndMakeVisible(b);
        b->addListener(this);
        b->setTriggeredOnMouseDown(true);
    }
    tempo_.setRange(0.0, 999.9, 0.1);
    tempo_.setValue(120.0, juce::dontSendNotification);
    tempo_.setSliderStyle(juce::Slider::IncDecButtons);
    tempo_.setIncDecButtonsMode(juce::Slider::incDecButtonsDraggable_Horizontal);
    styleSlider(tempo_, 120.0);
    volume_.setRange(0.0, 125.0, 1.0);
    volume_.setValue(100.0, juce::dontSendNotification);
    volume_.setSliderStyle(juce::Slider::LinearBar);
    volume_.setTextValueSuffix("% Level");
    styleSlider(volume_, 100.0);
    for (juce::Slider* s : {&tempo_, &volume_}) {
        s->addListener(this);
        Component::addAndMakeVisible(s);
    }
    setResizable(false, false);

    const WindowPosition position = readWindowPosition(settings_);
    setBounds(position.x, position.y, 820, 400);

    juce::String error;
    if (loadInfo_)
        plugin_ = OVPlugin::createPluginInstance(*loadInfo_, &error);
    if (plugin_) {
        setContentNonOwned(plugin_->createEditorWindow(), true);
        // The limits follow the editor with the title bar around it.
        setResizeLimits(getWidth(), getHeight(), getWidth(), getHeight());
        remapper_ = std::make_unique<juce::ChannelRemappingAudioSource>(plugin_.get(), false);
        if (devices_)
            resetChannelMapping(*devices_, *remapper_, plugin_.get());
        juce::AudioIODevice* device = devices_ ? devices_->getCurrentAudioDevice() : nullptr;
        restoreChannelMapping(settings_, *remapper_, device ? device->getName() : juce::String());
        keyboard_.addListener(&plugin_->midiInputCollector());
    }
    buildHelpMenu();
    icon_ = juce::ImageFileFormat::loadFrom(findProgramIcon(programFolder()));
    // Before the window shows, so a task bar never sees it without the icon.
    showIconOnDesktop();
    setVisible(true);
    tempo_.setBounds(-1000, 7, 110, 19);
    volume_.setBounds(360, 7, 91, 19);
    if (plugin_)
        plugin_->setDeviceManager(devices_);
    else if (error.isNotEmpty())
        // The window stays open, empty; the user learns why, above it.
        juce::AlertWindow::showMessageBoxAsync(juce::MessageBoxIconType::WarningIcon, "Error!", error);
}

MainWindow::~MainWindow()
{
    removeContent();
    if (remapper_) {
        juce::AudioIODevice* device = devices_ ? devices_->getCurrentAudioDevice() : nullptr;
        // No device: the name is empty rather than a stale one, so a mapping
        // made for another device is never restored for it.
        saveChannelMapping(settings_, *remapper_, device ? device->getName() : juce::String());
        remapper_.reset();
    }
    if (plugin_) {
        keyboard_.removeListener(&plugin_->midiInputCollector());
        plugin_->setDeviceManager(nullptr);
    }
    plugin_.reset();
    loadInfo_.reset();
    settings_.setValue(settingskey::kWindowX, getX());
    settings_.setValue(settingskey::kWindowY, getY());
}

void MainWindow::removeContent() { clearContentComponent(); }

void MainWindow::parentHierarchyChanged()
{
    juce::DocumentWindow::parentHierarchyChanged();
    showIconOnDesktop();  // a new native window starts without one
}

// The pedal for task bars and docks (_NET_WM_ICON on X11). Set on the native
// window only: the title bar stays as it is drawn.
void MainWindow::showIconOnDesktop()
{
    if (juce::ComponentPeer* peer = getPeer(); peer != nullptr && icon_.isValid())
        peer->setIcon(icon_);
}

void MainWindow::buildHelpMenu()
{
    helpMenu_.addItem(1, "Help contents");
    helpMenu_.addSeparator();
    const juce::String folder
        = juce::String::fromUTF8(QKOsUtilLib::Directory::currentDirectory()) + "/system/internet/about";
    links_ = listHelpLinks(linkFolder_, folder.toStdString());
    for (const HelpLinkItem& item : helpLinkItems(links_))
        helpMenu_.addItem(item.id, juce::String(item.text));
    helpMenu_.addSeparator();
    helpMenu_.addItem(helpAboutId(links_), "About");
}

void MainWindow::resized()
{
    juce::DocumentWindow::resized();
    const int y = isFullScreen() ? 4 : 7;
    optionsButton_.setBounds(8, y, 60, 19);
    helpButton_.setBounds(76, y, 60, 19);
    tapButton_.setBounds(-1000, y, 50, 19);
    tempo_.setBounds(-1000, y, 110, 19);
    volume_.setBounds(360, y, 91, 19);
}

void MainWindow::buttonClicked(juce::Button* button)
{
    if (!plugin_)
        return;
    if (button == &optionsButton_) {
        juce::PopupMenu menu;
        menu.addItem(kAudioSettings, "Audio Settings...");
        menu.addSeparator();
        menu.addItem(kQuit, "Quit");
        handleOptionsItem(menu.showMenu(juce::PopupMenu::Options().withTargetComponent(&optionsButton_)));
    } else if (button == &helpButton_) {
        handleHelpItem(helpMenu_.showMenu(juce::PopupMenu::Options().withMousePosition()));
    } else if (button == &tapButton_) {
        tap(juce::Time::getMillisecondCounterHiRes());
    }
}

void MainWindow::handleOptionsItem(int id)
{
    switch (id) {
    case kAudioSettings: showSettingsDialog(); break;
    case kSaveState: saveStateToFile(); break;
    case kLoadState: loadStateFromFile(); break;
    case kQuit:
        if (juce::AlertWindow::showOkCancelBox(
                juce::MessageBoxIconType::QuestionIcon, "Confirm close", "Are you sure you want to Close?"))
            juce::JUCEApplication::quit();
        break;
    default: break;
    }
}

void MainWindow::handleHelpItem(int id)
{
    const int about = helpAboutId(links_);
    if (id == 1) {
        openHelpContents(findManual(programFolder().getFullPathName().toStdString()));
    } else if (id >= 2 && id < about) {
        const char* entry = links_ ? links_->getText(id - 2) : nullptr;
        if (entry && juce::File(juce::String::fromUTF8(entry)).existsAsFile())
            openWithAssociatedProgram(entry);
    } else if (id == about) {
        // The plug-in may write up to 63 characters; the 64th byte stays NUL.
        char product[64] = {};
        if (plugin_)
            plugin_->host().dispatch(effGetProductString, 0, 0, product);
        product[sizeof product - 1] = 0;
        const juce::String name = product[0] ? juce::String::fromUTF8(product) : juce::String("Tambrell");
        juce::AlertWindow::showMessageBox(juce::MessageBoxIconType::InfoIcon, "Ostravelin - Tambrell",
            name + ", the standalone guitar multi-effect, version 1.4", "OK");
    }
}

void MainWindow::openHelpContents(const std::string& manualPath)
{
    const juce::String manual = juce::String::fromUTF8(manualPath.c_str());
    if (manualPath.empty() || !juce::File(manual).existsAsFile()) {
        const juce::String installed
            = juce::String::fromUTF8(installedManualPath(programFolder().getFullPathName().toStdString()).c_str());
        reportManualNotOpened(
            juce::String("The manual is missing. It belongs beside the program or at:\n\n") + installed);
        return;
    }
    juce::Component::SafePointer<MainWindow> window(this);
    const bool started = openAndReport(manualPath, [window, manual](int status) {
        if (status == 0)
            return;
        // Back on the message thread, if the window is still there.
        juce::MessageManager::callAsync([window, manual, status] {
            if (window != nullptr)
                window->reportManualNotOpened(
                    juce::String::fromUTF8(describeOpenFailure(status).c_str()) + ".\n\nThe manual is:\n\n" + manual);
        });
    });
    if (!started)
        reportManualNotOpened(
            "The manual cannot be opened: xdg-open, which opens it in the desktop's browser, is not installed "
            "(Debian package xdg-utils).\n\nThe manual is:\n\n"
            + manual);
}

void MainWindow::reportManualNotOpened(const juce::String& why)
{
    juce::AlertWindow::showMessageBoxAsync(juce::MessageBoxIconType::WarningIcon, "Help contents", why);
}

void MainWindow::tap(double now)
{
    const TapResult result = tapTempo(taps_, now);
    if (result.tempoSet)
        tempo_.setValue(result.bpm, juce::sendNotificationSync);
    tapButton_.setButtonText(juce::String(result.buttonText));
}

void MainWindow::sliderValueChanged(juce::Slider* slider)
{
    if (!plugin_)
        return;
    const double v = slider->getValue();
    if (slider == &tempo_ && v >= 0.0 && v <= 999.9)
        plugin_->host().setTempo(v);
    if (slider == &volume_) {
        const int percent = static_cast<int>(v);
        if (percent >= 0 && percent <= 125)
            plugin_->setVolume(percent);
    }
}

bool MainWindow::keyPressed(const juce::KeyPress& key)
{
    if (plugin_ && plugin_->keysWanted()) {
        VstInt32 code = key.getKeyCode();
        if (plugin_->host().dispatch(effVendorSpecific, kVendorIndex, 3, &code) != 0)
            return true;
    }
    return juce::DocumentWindow::keyPressed(key);
}

void MainWindow::activeWindowStatusChanged()
{
    if (isActiveWindow() && plugin_)
        plugin_->host().dispatch(effVendorSpecific, kVendorIndex, 4, nullptr);
    juce::DocumentWindow::activeWindowStatusChanged();
}

void MainWindow::closeButtonPressed()
{
    if (!juce::AlertWindow::showOkCancelBox(
            juce::MessageBoxIconType::QuestionIcon, "Confirm close", "Are you sure you want to Close?"))
        return;
    removeContent();
    juce::JUCEApplication::quit();
}

void MainWindow::showSettingsDialog()
{
    if (!devices_ || !remapper_)
        return;
    CombinedAudioPropertiesPage page(*devices_, *remapper_, plugin_.get());
    page.setSize(CombinedAudioPropertiesPage::kWidth, CombinedAudioPropertiesPage::kHeight);
    juce::DialogWindow::LaunchOptions options;
    options.content.setNonOwned(&page);
    options.dialogTitle = "Settings";
    options.componentToCentreAround = this;
    options.useNativeTitleBar = false;
    options.resizable = false;
#if JUCE_MODAL_LOOPS_PERMITTED
    options.runModal();
#endif
}

juce::File MainWindow::lastStateFile() const
{
    const juce::String path = settings_.getValue(settingskey::kLastStateFile);
    return juce::File::isAbsolutePath(path) ? juce::File(path) : juce::File();
}

void MainWindow::saveStateToFile()
{
    juce::FileChooser chooser("Save as FXB file...", lastStateFile(), "*.fxb");
    if (!chooser.browseForFileToSave(true))
        return;
    PluginBankHost bankHost(plugin_->host());
    const std::vector<unsigned char> bank = saveBank(bankHost);
    if (!chooser.getResult().replaceWithData(bank.data(), bank.size()))
        juce::AlertWindow::showMessageBox(
            juce::MessageBoxIconType::WarningIcon, "Error whilst saving", "Couldn't write to the specified file!");
}

void MainWindow::loadStateFromFile()
{
    juce::FileChooser chooser("Load a saved state", lastStateFile(), "*.fxb;*.fxp");
    if (!chooser.browseForFileToOpen())
        return;
    juce::MemoryBlock data;
    if (!chooser.getResult().loadFileAsData(data)) {
        juce::AlertWindow::showMessageBox(
            juce::MessageBoxIconType::WarningIcon, "Error whilst loading", "Couldn't read from the specified file!");
        return;
    }
    PluginBankHost bankHost(plugin_->host());
    if (!loadBankOrProgram(bankHost, static_cast<const unsigned char*>(data.getData()), data.getSize()))
        juce::AlertWindow::showMessageBox(juce::MessageBoxIconType::WarningIcon, "Error whilst loading",
            "The file holds no bank or program that the plug-in accepts.");
}
