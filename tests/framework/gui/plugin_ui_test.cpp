#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "FrameDoubles.h"
#include "framework/gui/CBitmapStorage.h"
#include "framework/gui/CSynthEditor.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestPlugin.h"

using platform::HeadlessWindowSystem;
using platform::ScreenPoint;
using platform::WindowEvent;

namespace {

constexpr Color kRed = Color::rgba(200, 10, 10);

class TestEditor : public CSynthEditor {
public:
    TestEditor(int32_t height = 100, int32_t width = 160)
        : CSynthEditor(nullptr, height, width)
    {
    }
    bool createControls() override
    {
        if (!makeControls)
            return false;
        group = new RecordingGroup(this, 7);
        control = new PaintControl(3, Rect {10, 20, 30, 10}, kRed);
        group->add(control);
        addGroup(group);
        return true;
    }
    CControlGroup* rootGroup() { return groups; }
    bool makeControls = true;
    RecordingGroup* group = nullptr;
    PaintControl* control = nullptr;
};

// An editor that uses keys.
class KeyEditor : public TestEditor {
public:
    bool handlesKeys() const override { return true; }
    void onKeyDown(int32_t key) override { keys.push_back(key); }
    std::vector<int32_t> keys;
};

// The fourth byte is not colour; what a window shows is the other three.
uint32_t rgbOf(Color c) { return c.packed() & 0xFFFFFFu; }
uint32_t rgbAt(const HeadlessWindowSystem& ws, platform::WindowId w, int32_t x, int32_t y)
{
    return ws.pixel(w, x, y) & 0xFFFFFFu;
}

void* const kParent = reinterpret_cast<void*>(uintptr_t {77});

class PluginUiTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setWindowSystem(&ws); }
    void TearDown() override { platform::setWindowSystem(nullptr); }
    // One timer tick of the editor.
    void tick(int32_t ms = 40)
    {
        ws.advance(ms);
        ws.pump();
    }

    HeadlessWindowSystem ws {1280, 1024};
    TestEditor editor;
};

TEST_F(PluginUiTest, OpenTwiceMakesOneWindowWithTheIntervalInForceAtOpen)
{
    editor.timerInterval = 50;
    ASSERT_TRUE(editor.openView(kParent, editor.viewSize()));
    const platform::WindowId first = editor.windowId();
    editor.timerInterval = 10;
    EXPECT_TRUE(editor.open(100, 160, kParent));
    EXPECT_EQ(editor.windowId(), first);
    EXPECT_EQ(ws.windowCount(), 1);
    EXPECT_EQ(ws.timerInterval(first), 50);
    // open pulled the values and ran idle once, which painted everything.
    EXPECT_EQ(editor.group->updates, 1);
    EXPECT_EQ(editor.group->idles, 1);
    EXPECT_EQ(rgbAt(ws, first, 15, 25), rgbOf(kRed));
    EXPECT_FALSE(editor.isDirty());
}

TEST_F(PluginUiTest, FailedCreateControlsLeavesNoWindowNoGroupsNoConnection)
{
    editor.makeControls = false;
    EXPECT_FALSE(editor.open(100, 160, kParent));
    EXPECT_FALSE(editor.hasWindow());
    EXPECT_EQ(editor.rootGroup(), nullptr);
    EXPECT_EQ(ws.windowCount(), 0);
    EXPECT_FALSE(ws.connected());
    EXPECT_EQ(CPluginFrame::openWindows(), 0);
}

TEST_F(PluginUiTest, EditorsShareOneConnectionUntilTheLastCloses)
{
    TestEditor second;
    TestEditor neverOpened;
    ASSERT_TRUE(editor.open(100, 160, kParent));
    ASSERT_TRUE(second.open(100, 160, kParent));
    EXPECT_EQ(ws.connectCount(), 1);
    // Regression: closing an editor that never opened lowered the shared count
    // and released the connection under the open windows.
    neverOpened.close();
    editor.close();
    EXPECT_TRUE(ws.connected());
    EXPECT_EQ(ws.windowCount(), 1);
    second.close();
    EXPECT_FALSE(ws.connected());
    // The back buffer and the dirty mark survive close; groups and background do not.
    EXPECT_TRUE(editor.getBackBuffer()->isValid());
    EXPECT_EQ(editor.rootGroup(), nullptr);
    EXPECT_EQ(editor.getBackgroundKey(), kNoBitmap);
    // A deleted open editor takes its window with it.
    auto* open = new TestEditor;
    ASSERT_TRUE(open->open(100, 160, kParent));
    open->destroyView();
    EXPECT_EQ(ws.windowCount(), 0);
    EXPECT_FALSE(ws.connected());
}

TEST_F(PluginUiTest, ButtonsWheelAndModifiersAreReadAtHandlingTime)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    const platform::WindowId w = editor.windowId();
    ws.moveCursorTo(w, 5, 6);
    ws.pump();
    ws.pressButton(1);
    ws.moveCursorTo(w, 40, 30);  // moves before the press is handled
    ws.setModifiers(platform::kModShift | platform::kModAlt);
    ws.releaseButton(1);
    ws.pressButton(2);
    ws.releaseButton(2);
    ws.pressButton(3);
    ws.releaseButton(3);
    ws.wheel(-2);
    ws.post(w, WindowEvent {.kind = WindowEvent::Kind::Wheel, .steps = 0});  // a half notch
    editor.group->mouse.clear();
    ws.pump();
    const auto& m = editor.group->mouse;
    ASSERT_EQ(m.size(), 9u);
    EXPECT_EQ(m[0].code, kMouseLeftDown);
    EXPECT_EQ(m[0].x, 40);
    EXPECT_EQ(m[0].y, 30);
    EXPECT_EQ(m[0].modifiers, kModifierShift | kModifierAlt);
    EXPECT_EQ(m[1].code, kMouseMove);
    const MouseCode codes[] = {kMouseLeftUp, kMouseMiddleDown, kMouseMiddleUp, kMouseRightDown, kMouseRightUp};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(m[2 + i].code, codes[i]);
    EXPECT_EQ(m[7].code, kMouseWheel);
    EXPECT_EQ(m[7].x, 0);
    EXPECT_EQ(m[7].y, -2);
    EXPECT_EQ(m[8].y, 0);
    EXPECT_EQ(editor.lastMousePos.x, 40);  // the wheel does not move it
}

// The host's shortcuts must keep working over an editor that uses no key.
TEST_F(PluginUiTest, OnlyAnEditorThatHandlesKeysTakesTheKeyboard)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    ws.moveCursorTo(editor.windowId(), 50, 50);
    ws.pressButton(1);
    ws.releaseButton(1);
    ws.keyDown(' ');
    ws.pump();
    EXPECT_TRUE(ws.focusGiven.empty());
    EXPECT_EQ(ws.hostKeys(), 1);
    editor.close();

    KeyEditor keyed;
    ASSERT_TRUE(keyed.open(100, 160, kParent));
    ASSERT_EQ(ws.focusGiven.size(), 1u);  // at open
    ws.moveCursorTo(keyed.windowId(), 50, 50);
    ws.pressButton(1);
    ws.keyDown('A');
    ws.pump();
    EXPECT_EQ(ws.focusGiven.size(), 2u);  // and on the left press
    EXPECT_EQ(keyed.keys, std::vector<int32_t> {'A'});
    EXPECT_EQ(ws.hostKeys(), 1);
}

// The host destroyed its window, and ours with it, without closing the editor.
TEST_F(PluginUiTest, AWindowGoneWithItsParentCountsAsClosed)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    const platform::WindowId first = editor.windowId();
    ws.destroyParent(reinterpret_cast<uintptr_t>(kParent));
    void* const next = reinterpret_cast<void*>(uintptr_t {78});
    ASSERT_TRUE(editor.open(100, 160, next));
    EXPECT_NE(editor.windowId(), first);
    EXPECT_EQ(ws.windowCount(), 1);
    EXPECT_EQ(editor.group->updates, 1);  // the controls were made anew
    EXPECT_EQ(rgbAt(ws, editor.windowId(), 15, 25), rgbOf(kRed));
}

TEST_F(PluginUiTest, LeftPressGivesFocusOnlyWhenViewable)
{
    KeyEditor keyed;
    ASSERT_TRUE(keyed.open(100, 160, kParent));
    ws.setViewable(keyed.windowId(), false);
    ws.focusGiven.clear();
    ws.post(keyed.windowId(), WindowEvent {.kind = WindowEvent::Kind::ButtonDown, .button = 1});
    ws.pump();
    EXPECT_TRUE(ws.focusGiven.empty());
    ASSERT_FALSE(keyed.group->mouse.empty());
    EXPECT_EQ(keyed.group->mouse.back().code, kMouseLeftDown);
}

TEST_F(PluginUiTest, EndlessDragWrapsAtTheScreenEdgeAndReturnsTheCursor)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    const platform::WindowId w = editor.windowId();
    ws.moveCursorTo(w, 20, 20);
    ws.pump();
    ScreenPoint start;
    ws.cursorPosition(start);
    ASSERT_TRUE(editor.captureMouse(true));
    EXPECT_FALSE(ws.cursorVisible());
    editor.group->mouse.clear();
    ws.moveCursor({start.x, 1023});  // the bottom row
    ws.pump();
    ScreenPoint now;
    ws.cursorPosition(now);
    EXPECT_EQ(now.y, 1);
    ws.moveCursor({start.x, 11});
    ws.pump();
    const auto& m = editor.group->mouse;
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].y, 20 + (1023 - start.y));
    EXPECT_EQ(m[1].y, m[0].y + 10);  // counted once across the wrap, growing past the edge
    EXPECT_TRUE(editor.releaseMouse());
    ws.cursorPosition(now);
    EXPECT_EQ(now.x, start.x);
    EXPECT_EQ(now.y, start.y);
    EXPECT_TRUE(ws.cursorVisible());
}

TEST_F(PluginUiTest, ALostCaptureIsCancelledByTheNextTick)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    ASSERT_TRUE(editor.captureMouse(false));
    ws.loseCapture();
    tick();
    EXPECT_EQ(editor.group->cancels, 1);
    EXPECT_FALSE(editor.isMouseCaptured());
}

TEST_F(PluginUiTest, HeldUpdatesPaintNothingUntilTheRelease)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    const platform::WindowId w = editor.windowId();
    const int before = ws.presentCount(w);
    EXPECT_EQ(editor.beginUpdate(), 1);
    EXPECT_EQ(editor.beginUpdate(), 2);
    editor.redrawRect(Rect {0, 0, 10, 10});
    editor.endUpdate();
    EXPECT_EQ(ws.presentCount(w), before);
    editor.endUpdate();
    EXPECT_EQ(ws.presentCount(w), before + 1);
}

TEST_F(PluginUiTest, ValuesFromOtherThreadsWaitForTheNextTick)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    const platform::WindowId w = editor.windowId();
    EXPECT_FALSE(editor.setParameterValue(99, 0.5f));  // no control has it
    EXPECT_FALSE(editor.setParameterValue(3, 0.0f));  // unchanged
    EXPECT_FALSE(editor.control->isDirty());
    editor.control->colour_ = Color::rgba(0, 0, 250);
    editor.requestParameterValue(3, 0.75f);
    EXPECT_EQ(editor.control->getValue(), 0.0f);
    tick();
    EXPECT_EQ(editor.control->getValue(), 0.75f);
    // Drawn on that same tick into its own rectangle only.
    EXPECT_EQ(rgbAt(ws, w, 39, 29), rgbOf(Color::rgba(0, 0, 250)));
    EXPECT_EQ(editor.group->updates, 1);
    editor.requestAllValues();
    tick();
    EXPECT_EQ(editor.group->updates, 2);
}

TEST_F(PluginUiTest, GroupListKeepsItsRoot)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    auto* other = new RecordingGroup(&editor, 9);
    editor.addGroup(other);
    editor.addGroup(other);
    EXPECT_EQ(editor.getGroupByIndex(-1), editor.group);
    EXPECT_EQ(editor.getGroupByIndex(1), other);
    EXPECT_EQ(editor.getGroupByIndex(2), nullptr);
    EXPECT_EQ(editor.getGroupById(-1), nullptr);
    EXPECT_EQ(editor.getGroupById(9), other);
    EXPECT_EQ(editor.removeGroup(editor.rootGroup()), nullptr);
    EXPECT_NE(editor.rootGroup(), nullptr);
    editor.setActiveGroup(editor.group);
    EXPECT_EQ(editor.removeGroup(editor.group), other);
    EXPECT_EQ(editor.activeGroup, nullptr);
    EXPECT_EQ(editor.getGroupByIndex(0), other);
}

TEST_F(PluginUiTest, ADropOfSeveralFilesHandsOnTheFirst)
{
    ASSERT_TRUE(editor.open(100, 160, kParent));
    ws.moveCursorTo(editor.windowId(), 3, 3);
    ws.dropFiles({"/tmp/a.tbprg", "/tmp/b.tbprg"});
    ws.pump();
    ASSERT_EQ(editor.group->drops.size(), 1u);
    EXPECT_EQ(editor.group->drops[0], "/tmp/a.tbprg");
}

TEST_F(PluginUiTest, PicturesJoinWithASlashAndRefuseCutPaths)
{
    tbtest::TempFolder folder;
    folder.write("bg.bmp", tbtest::makeBmp(4, 4, [](int, int) { return tbtest::Rgba {1, 2, 3}; }));
    constexpr BitmapKey kKey = 90412;
    EXPECT_TRUE(editor.loadBitmapFromFolder(folder.path().c_str(), "bg.bmp", kKey));
    EXPECT_NE(bitmapStorage().find(kKey), nullptr);
    const std::string longFolder = folder.path() + "/" + std::string(1100, 'x');
    EXPECT_FALSE(editor.loadBitmapFromFolder(longFolder.c_str(), "bg.bmp", kKey + 1));
    // The first picture under a key wins, even over a missing file.
    EXPECT_TRUE(editor.loadBitmap("/nonexistent.bmp", kKey));
}

class MenuWrapper : public RecordingWrapper {
public:
    int32_t showParameterMenu(int32_t index) override
    {
        asked.push_back(index);
        return 1;
    }
    std::vector<int32_t> asked;
};

TEST_F(PluginUiTest, NativeRightClickGoesToTheHostMenuFirst)
{
    TestDefinition definition;
    ScopedDefinition installed {definition};
    MenuWrapper wrapper;
    TestEngine engine(&wrapper);
    editor.engine = &engine;
    ASSERT_TRUE(editor.open(100, 160, kParent));
    editor.group->mouse.clear();
    definition.formatId = 1;
    EXPECT_TRUE(editor.onMouse(12, 22, 0, kMouseRightDown));
    EXPECT_EQ(editor.group->mouse.size(), 1u);
    definition.formatId = 3;
    EXPECT_TRUE(editor.onMouse(12, 22, 0, kMouseRightDown));
    EXPECT_EQ(editor.group->mouse.size(), 1u);
    EXPECT_EQ(wrapper.asked, std::vector<int32_t> {3});
    EXPECT_EQ(editor.getParameterValue(editor.control), 0.25f);
}

}  // namespace
