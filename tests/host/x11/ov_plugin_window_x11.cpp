// Kelbrin's editor window in a real X server: the test plug-in's editor opens
// as a child of the top-level window, at the component's place, the component
// takes the child's size and follows it when the plug-in resizes it, and the
// editor closes when the component is hidden and opens again when shown.

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "host/plugin/OVPlugin.h"
#include "host/plugin/OVPluginWindow.h"

namespace {

struct Geometry {
    int x = -1, y = -1;
    unsigned w = 0, h = 0;
};

Geometry geometryOf(::Window w)
{
    Geometry g;
    ::Window root = 0;
    unsigned border = 0, depth = 0;
    juce::X11Symbols::getInstance()->xGetGeometry(
        juce::XWindowSystem::getInstance()->getDisplay(), w, &root, &g.x, &g.y, &g.w, &g.h, &border, &depth);
    return g;
}

// Kelbrin, a JUCE application, has JUCE's X error handler, which reports and
// carries on; a test program is no JUCE application and gets the same here.
int xErrors = 0;
int countXError(::Display*, XErrorEvent*)
{
    ++xErrors;
    return 0;
}

// The editor's calls as the plug-in receives them, between the window and
// the plug-in's own dispatcher.
AEffectDispatcherProc pluginDispatcher = nullptr;
std::vector<VstInt32> editorCalls;
int editorIdles = 0;
VstIntPtr recordingDispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    editorIdles += opcode == effEditIdle;
    if (opcode == effEditGetRect || opcode == effEditOpen || opcode == effEditClose || opcode == effGetProgram
        || opcode == effKeysRequired)
        editorCalls.push_back(opcode);
    return pluginDispatcher(e, opcode, index, value, ptr, opt);
}

// Runs the message loop until done() or the time is up.
template <typename F> void pumpUntil(F done, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end)
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
}

TEST(OVPluginWindowX11, HostsTheEditorFollowsItsSizeAndReopensWhenShown)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    juce::ScopedJuceInitialiser_GUI juce;
    juce::XWindowSystem::getInstance();
    juce::X11Symbols::getInstance()->xSetErrorHandler(countXError);
    std::string error;
    auto info = loadPluginModule(TB_TEST_VST_MODULE_EDITOR, 256, 48000.0, &error);
    ASSERT_TRUE(info) << error;
    auto plugin = OVPlugin::createPluginInstance(*info);
    ASSERT_TRUE(plugin);

    OVPluginWindow* window = plugin->createEditorWindow();
    juce::Component top;
    top.setOpaque(true);
    top.setBounds(100, 100, 820, 540);
    top.addAndMakeVisible(window);
    window->setTopLeftPosition(12, 8);
    top.addToDesktop(0);
    top.setVisible(true);

    pumpUntil([&] { return window->isEditorOpen() && window->getWidth() == 300; }, 60000);
    ASSERT_TRUE(window->isEditorOpen());
    const ::Window child = window->childWindow();
    ASSERT_NE(child, 0u);
    EXPECT_EQ(window->getWidth(), 300);  // the test editor's size, not 766 x 484
    EXPECT_EQ(window->getHeight(), 200);
    pumpUntil([&] { return geometryOf(child).x == 12; }, 60000);
    const Geometry placed = geometryOf(child);
    EXPECT_EQ(placed.x, 12);
    EXPECT_EQ(placed.y, 8);
    EXPECT_FALSE(plugin->keysWanted());  // the framework's editor takes keys

    // The plug-in grows its window: the component follows within ten ticks,
    // counted as the editor's idle calls (a loaded machine ticks late, so a
    // bound in milliseconds failed there).
    AEffect* effect = plugin->host().effect();
    pluginDispatcher = effect->dispatcher;
    effect->dispatcher = recordingDispatcher;
    ::Display* d = juce::XWindowSystem::getInstance()->getDisplay();
    juce::X11Symbols::getInstance()->xMoveResizeWindow(d, child, 12, 8, 360, 240);
    juce::X11Symbols::getInstance()->xFlush(d);
    editorIdles = 0;
    pumpUntil([&] { return window->getWidth() == 360 && window->getHeight() == 240; }, 60000);
    EXPECT_EQ(window->getWidth(), 360);
    EXPECT_LE(editorIdles, 10) << "ticks until the component followed";

    editorCalls.clear();
    window->setVisible(false);
    pumpUntil([] { return false; }, 50);
    EXPECT_FALSE(window->isEditorOpen());
    EXPECT_EQ(window->childWindow(), 0u);

    window->setVisible(true);
    pumpUntil([&] { return window->isEditorOpen(); }, 60000);
    EXPECT_TRUE(window->isEditorOpen());
    EXPECT_NE(window->childWindow(), 0u);
    const std::vector<VstInt32> expected {
        effEditClose, effEditGetRect, effEditOpen, effEditGetRect, effGetProgram, effKeysRequired};
    EXPECT_EQ(editorCalls, expected);
    effect->dispatcher = pluginDispatcher;

    // The plug-in's editor closes before the plug-in itself does.
    top.removeChildComponent(window);
    top.removeFromDesktop();
    plugin.reset();
}

}  // namespace
