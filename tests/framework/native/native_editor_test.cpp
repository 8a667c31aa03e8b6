// The editor frame under the native host, end to end on the headless window
// system: the host opens, idles and closes it through its messages, and a
// right click on a control reaches the host's menu through messages 18 and 0.
#include <gtest/gtest.h>

#include "framework/gui/CSynthEditor.h"
#include "framework/native/CMxsWrapper.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "platform/headless/ScriptedPopupMenu.h"
#include "tests/framework/gui/FrameDoubles.h"
#include "tests/support/NativeTestHost.h"
#include "tests/support/TestPlugin.h"

namespace {

class BoardEditor : public CSynthEditor {
public:
    explicit BoardEditor(CSynthesizer* engine_)
        : CSynthEditor(nullptr, 100, 160)
    {
        engine = engine_;
    }
    bool createControls() override
    {
        group = new RecordingGroup(this, 7);
        group->add(new PaintControl(2, Rect {10, 20, 30, 10}, Color::rgba(200, 10, 10)));
        addGroup(group);
        return true;
    }
    RecordingGroup* group = nullptr;
};

struct BoardDefinition : TestDefinition {
    EditorView* createEditor(CSynthesizer* engine) override { return editor = new BoardEditor(engine); }
    BoardEditor* editor = nullptr;
};

TOrvanePlug* entry(TOrvaneHost* host, int32_t tag) { return createPlugInstance(host, tag); }

struct NativeEditor : ::testing::Test {
    BoardDefinition definition;
    ScopedDefinition scoped {definition};
    platform::HeadlessWindowSystem ws {1280, 1024};
    platform::ScriptedPopupMenu popup;
    tbtest::NativeTestHost host {entry};

    void SetUp() override
    {
        platform::setWindowSystem(&ws);
        platform::setPopupMenu(&popup);
        ASSERT_NE(host.create(), nullptr);
        host.message(kOrvaneMsgEditor, 0, 77);
        ASSERT_NE(host.plug()->editorWindow, 0u);
    }
    void TearDown() override
    {
        host.destroy();
        platform::setPopupMenu(nullptr);
        platform::setWindowSystem(nullptr);
    }
    platform::WindowId window() const { return definition.editor->windowId(); }
    void click(int button, int x, int y)
    {
        ws.moveCursorTo(window(), x, y);
        ws.pressButton(button);
        ws.releaseButton(button);
        host.message(kOrvaneMsgEditorIdle);
    }
};

TEST_F(NativeEditor, RightClickReachesTheHostMenuAndIsConsumed)
{
    EXPECT_EQ(host.plug()->editorWindow, ws.nativeHandle(window()));
    host.menuEntries = {{"Link to controller", 0}, {"Unlink", 2}};
    popup.pushChoice(1024 + 1);
    definition.editor->group->mouse.clear();
    click(3, 15, 25);

    ASSERT_EQ(popup.requests.size(), 1u);
    EXPECT_EQ(popup.requests[0].owner, host.plug()->editorWindow);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostMenuEntry).size(), 3u);
    EXPECT_EQ(popup.liveMenus(), 1) << "the click's call returned with the menu still open";
    host.message(kOrvaneMsgEditorIdle);
    const auto chosen = host.callsOf(0, kOrvaneHostMenuChoice);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].index, 2);
    EXPECT_EQ(chosen[0].value, 1);
    // The press went to the host's menu only; the release still reaches the group.
    for (const MouseCall& call : definition.editor->group->mouse)
        EXPECT_NE(call.code, kMouseRightDown);
}

// Regression: the menu ran its own event loop inside the host's call and
// held the host's windows; now it stays open across calls, so closing the
// editor or destroying the plug-in must take it away unanswered.
TEST_F(NativeEditor, AnOpenMenuGoesWithTheEditorAndThePlugIn)
{
    host.menuEntries = {{"Learn", 0}};
    popup.pushChoice(platform::ScriptedPopupMenu::kStaysOpen);
    click(3, 15, 25);
    host.message(kOrvaneMsgEditorIdle);
    EXPECT_EQ(popup.liveMenus(), 1);
    host.message(kOrvaneMsgEditor, 0, 0);
    EXPECT_EQ(popup.liveMenus(), 0);

    host.message(kOrvaneMsgEditor, 0, 77);
    popup.pushChoice(platform::ScriptedPopupMenu::kStaysOpen);
    click(3, 15, 25);
    EXPECT_EQ(popup.liveMenus(), 1);
    host.destroy();
    EXPECT_EQ(popup.liveMenus(), 0);
    EXPECT_TRUE(host.callsOf(0, kOrvaneHostMenuChoice).empty());
}

TEST_F(NativeEditor, LeftClickTakesNoFocusAndCloseClearsTheWindow)
{
    const size_t focusAtOpen = ws.focusGiven.size();
    click(1, 15, 25);
    EXPECT_EQ(ws.focusGiven.size(), focusAtOpen);
    host.message(kOrvaneMsgEditor, 0, 0);
    EXPECT_EQ(host.plug()->editorWindow, 0u);
    EXPECT_EQ(ws.windowCount(), 0);
    // Destroy with the editor open closes its window first.
    host.message(kOrvaneMsgEditor, 0, 77);
    EXPECT_EQ(ws.windowCount(), 1);
    host.destroy();
    EXPECT_EQ(ws.windowCount(), 0);
}

}  // namespace
