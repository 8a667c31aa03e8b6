// The X11 popup menu against a real server, with XTest as the user's hand.
// gtest before Xlib: Xlib's macros (None, Bool) break gtest's names.
#include <gtest/gtest.h>

#include "platform/x11/X11WindowSystem.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/x11/X11PopupMenu.h"

namespace {

using platform::PopupItem;
using platform::PopupRequest;
using platform::X11PopupMenu;

PopupRequest sampleMenu()
{
    PopupRequest r;
    r.items = {{"Learn", 1024, false, false, false}, {"Forget", 1025, false, true, false},
        {"-", 1026, false, false, true}, {"Locked", 1027, true, false, false}, {"Last", 1028, false, false, false}};
    return r;
}

struct X11Popup : ::testing::Test {
    Display* d = nullptr;
    static constexpr int kX = 200, kY = 150;  // cursor when the menu opens

    void SetUp() override
    {
        // A busy server may refuse a connection for a moment.
        for (int i = 0; i < 20 && d == nullptr; ++i) {
            d = XOpenDisplay(nullptr);
            if (d == nullptr)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (d == nullptr)
            GTEST_SKIP() << "no X display";
        moveTo(kX, kY);
    }
    void TearDown() override
    {
        if (d != nullptr)
            XCloseDisplay(d);
    }
    void moveTo(int x, int y)
    {
        XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
        XSync(d, False);
    }
    void button(int b, bool down)
    {
        XTestFakeButtonEvent(d, static_cast<unsigned>(b), down, CurrentTime);
        XSync(d, False);
    }
    void key(KeySym sym)
    {
        const KeyCode code = XKeysymToKeycode(d, sym);
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        XSync(d, False);
    }
    // Point inside item `index` of the menu that opened at the cursor.
    void moveToItem(const PopupRequest& r, size_t index)
    {
        moveTo(kX + 1 + 30, kY + 1 + X11PopupMenu::itemTop(r, index) + X11PopupMenu::kItemHeight / 2);
    }
    Window shownMenu()
    {
        Window root = DefaultRootWindow(d), parent, *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        if (XQueryTree(d, root, &root, &parent, &children, &n) != 0) {
            for (unsigned i = 0; i < n && found == 0; ++i) {
                XWindowAttributes a;
                if (XGetWindowAttributes(d, children[i], &a) != 0 && a.override_redirect && a.map_state == IsViewable
                    && a.x == kX + 1 && a.y == kY + 1)
                    found = children[i];
            }
            XFree(children);
        }
        return found;
    }
    bool menuShown() { return shownMenu() != 0; }
    // Polls the open menu, as an editor's ticks do, for about `ms`.
    void serve(int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (menu != nullptr && menu->poll().status == platform::PopupStatus::Open
            && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    bool open() { return menu != nullptr && menu->poll().status == platform::PopupStatus::Open; }
    // Shows the menu, lets `user` act once it is up, serves it until it
    // answers and returns the chosen id (0: dismissed); Escape ends a menu
    // that is still open after 3 s.
    template <typename F> int32_t run(const PopupRequest& r, F user)
    {
        moveTo(kX, kY);
        menu = platform::x11PopupMenu().show(r);
        if (menu == nullptr) {
            ADD_FAILURE() << "no menu";
            return -99;
        }
        // The menu takes the keyboard last: once we cannot, it is ready.
        for (int i = 0; i < 500 && open(); ++i) {
            const int grab = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
            if (grab == GrabSuccess)
                XUngrabKeyboard(d, CurrentTime);
            XSync(d, False);
            if (grab == AlreadyGrabbed && menuShown())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        user();
        serve(3000);
        if (open())
            key(XK_Escape);
        serve(2000);
        // A menu that missed its keyboard grab does not hear Escape; cutting
        // its connection ends it, so the test fails instead of hanging.
        if (const Window shown = open() ? shownMenu() : 0; shown != 0) {
            ADD_FAILURE() << "the menu ignored Escape";
            XKillClient(d, shown);
            XSync(d, False);
            serve(2000);
        }
        const platform::PopupAnswer answer = menu->poll();
        menu.reset();
        if (answer.status == platform::PopupStatus::Open)
            return -99;
        return answer.status == platform::PopupStatus::Chosen ? answer.id : 0;
    }

    std::unique_ptr<platform::IPopupRun> menu;
};

TEST_F(X11Popup, ReleaseOverAnItemChoosesIt)
{
    const PopupRequest r = sampleMenu();
    EXPECT_EQ(run(r,
                  [&] {
                      moveToItem(r, 1);
                      button(1, true);
                      button(1, false);
                  }),
        1025);
    EXPECT_FALSE(menuShown());
}

TEST_F(X11Popup, DisabledItemsAndLinesCannotBeChosen)
{
    const PopupRequest r = sampleMenu();
    bool stillShown = false;
    EXPECT_EQ(run(r,
                  [&] {
                      for (size_t i : {2u, 3u}) {
                          moveToItem(r, i);
                          button(1, true);
                          button(1, false);
                      }
                      serve(100);
                      stillShown = open() && menuShown();
                      key(XK_Escape);
                  }),
        0);
    EXPECT_TRUE(stillShown);
}

TEST_F(X11Popup, PressOutsideOrEscapeDismisses)
{
    const PopupRequest r = sampleMenu();
    EXPECT_EQ(run(r,
                  [&] {
                      moveTo(kX - 50, kY - 50);
                      button(1, true);
                      button(1, false);
                  }),
        0);
    EXPECT_EQ(run(r, [&] { key(XK_Escape); }), 0);
}

// Guards the fault where a menu whose connection broke (server gone, client
// killed) let Xlib call exit() and took the host with it.
TEST_F(X11Popup, ALostConnectionClosesTheMenuAndNotTheProcess)
{
    const PopupRequest r = sampleMenu();
    EXPECT_EQ(run(r,
                  [&] {
                      XKillClient(d, shownMenu());
                      XSync(d, False);
                  }),
        0);
    EXPECT_FALSE(menuShown());
}

// Guards the fault where a menu opened by a press in an editor could take
// neither the pointer nor the keyboard while that button stayed down: X gives
// the pointer to the connection whose window took the press until the release.
TEST_F(X11Popup, AButtonStillHeldInTheEditorChoosesOnItsRelease)
{
    struct Quiet : platform::IWindowListener {
        void onWindowEvent(const platform::WindowEvent&) override { }
        void onWindowTimer() override { }
    } quiet;
    const ::Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), kX - 40, kY - 40, 120, 120, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    platform::X11WindowSystem& ws = platform::x11WindowSystem();
    platform::WindowId editor = platform::kNoWindow;
    ASSERT_EQ(ws.createChild(parent, 120, 120, &quiet, editor), platform::WindowStatus::Ok);
    for (int i = 0; i < 200 && !ws.isViewable(editor); ++i) {
        ws.pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    moveTo(kX, kY);
    button(3, true);
    const PopupRequest r = sampleMenu();
    EXPECT_EQ(run(r,
                  [&] {
                      serve(300);
                      moveToItem(r, 1);
                      button(3, false);
                  }),
        1025);
    button(3, false);
    ws.destroy(editor);
    XDestroyWindow(d, parent);
    XSync(d, False);
}

TEST_F(X11Popup, KeysWalkPastDisabledItems)
{
    const PopupRequest r = sampleMenu();  // the pointer rests just outside the menu
    EXPECT_EQ(run(r,
                  [&] {
                      key(XK_Up);  // from nothing to the last item
                      key(XK_Up);  // skips the locked item and the line
                      key(XK_Return);
                  }),
        1025);
}

}  // namespace
