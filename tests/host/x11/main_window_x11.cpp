// Kelbrin's main window in a real X server, with a plug-in it must refuse.

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/app/KelbrinSettings.h"
#include "host/app/MainWindow.h"
#include "tests/vstmodule/RecordingStub.h"

namespace {

// JUCE's own handler (report and carry on) is an application's; a test
// program gets the same here.
int ignoreXError(::Display*, XErrorEvent*) { return 0; }

// Regression: a plug-in refused at load left an empty window and no word why.
TEST(MainWindowX11, RefusedPluginIsReportedAndTheWindowStillOpens)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    juce::ScopedJuceInitialiser_GUI juce;
    juce::XWindowSystem::getInstance();
    juce::X11Symbols::getInstance()->xSetErrorHandler(ignoreXError);
    auto info = loadPluginModule(TB_RECORDING_VST_MODULE, 256, 48000.0);
    ASSERT_TRUE(info);
    auto* stub = reinterpret_cast<RecordingStubState* (*)()>(info->module->symbol("tbRecordingStub"))();
    *stub = RecordingStubState {};
    stub->numOutputs = 65;
    juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    auto settings = openKelbrinSettings(folder.getFile());
    {
        MainWindow window("Tambrell", std::move(info), nullptr, *settings);
        EXPECT_EQ(window.plugin(), nullptr);
        EXPECT_TRUE(window.isVisible());
        auto* alert = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->getName(), "Error!");
        alert->exitModalState(0);
        juce::MessageManager::getInstance()->runDispatchLoopUntil(50);
    }
    settings.reset();
    folder.getFile().deleteRecursively();
}

}  // namespace
