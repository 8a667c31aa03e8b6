#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"
#include "platform/headless/HeadlessScreen.h"

namespace platform {

// A window system without a display, for tests. Windows keep what was presented
// (top-down) so a test can read it back; the test plays the user: it moves the
// cursor, presses buttons and keys, drops files, takes the capture away and lets
// time pass. Injected events wait in a queue until pump(), as they would in a
// real window system. Pointer events go to the window holding the capture, else
// to the topmost window under the cursor (none: they are dropped); keys go to
// the focused window, else to the window under the cursor, when that window
// accepts keys; otherwise they go on to the host (hostKeys counts them).
class HeadlessWindowSystem final : public IWindowSystem {
public:
    explicit HeadlessWindowSystem(int32_t screenWidth = 1920, int32_t screenHeight = 1080);

    // IWindowSystem
    WindowStatus connect() override;
    void disconnect() override;
    WindowStatus createChild(
        uintptr_t parent, int32_t width, int32_t height, IWindowListener* listener, WindowId& out) override;
    WindowStatus destroy(WindowId window) override;
    bool exists(WindowId window) override;
    uintptr_t nativeHandle(WindowId window) const override;
    PresentStatus present(WindowId window, const PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h,
        int32_t srcX, int32_t srcY) override;
    WindowStatus setTimer(WindowId window, int32_t milliseconds) override;
    void pump() override;
    bool cursorPosition(ScreenPoint& out) const override;
    bool windowOrigin(WindowId window, ScreenPoint& out) const override;
    WindowStatus warpCursor(ScreenPoint to) override;
    WindowStatus showCursor(WindowId window, bool visible) override;
    ScreenSize screenSize() const override { return screen_; }
    uint32_t modifierKeys() const override { return modifiers_; }
    WindowStatus capture(WindowId window) override;
    WindowStatus releaseCapture() override;
    bool hasCapture(WindowId window) const override;
    bool isViewable(WindowId window) const override;
    WindowStatus focus(WindowId window) override;
    WindowStatus acceptKeys(WindowId window, bool accept) override;

    // --- The test's side -------------------------------------------------
    // Where windows created from now on lie on the screen (their parent's origin).
    void setNextOrigin(ScreenPoint origin) { nextOrigin_ = origin; }
    void setWindowOrigin(WindowId window, ScreenPoint origin);
    // An unmapped window (its parent hidden): not viewable, takes no focus.
    void setViewable(WindowId window, bool viewable);
    // The host destroyed its window: every child of it is gone too. The editor's
    // own destroy still succeeds afterwards.
    void destroyParent(uintptr_t parent);

    // The cursor moves (a Motion event for the window that gets it, when it moved).
    void moveCursor(ScreenPoint to);
    // Moves the cursor to window-relative (x, y) of the window.
    void moveCursorTo(WindowId window, int32_t x, int32_t y);
    void pressButton(int32_t button);  // 1 left, 2 middle, 3 right
    void releaseButton(int32_t button);
    void wheel(int32_t steps);
    void keyDown(int32_t key);
    void keyUp(int32_t key);
    void setModifiers(uint32_t bits) { modifiers_ = bits; }
    // Files dropped at the cursor; the window gets the first one, as a real drop does.
    void dropFiles(const std::vector<std::string>& paths);
    // The window system takes the capture away (another program grabbed the pointer).
    void loseCapture();
    // Area of the window to be copied again.
    void expose(WindowId window, int32_t x, int32_t y, int32_t w, int32_t h);
    // Any event, straight to the window.
    void post(WindowId window, const WindowEvent& event, std::string path = {});

    // Time passes; timers tick from the next pump() when their interval has passed.
    void advance(int64_t milliseconds) { now_ += milliseconds; }
    int64_t now() const { return now_; }

    // What was presented, top-down in window coordinates; 0 outside or when closed.
    uint32_t pixel(WindowId window, int32_t x, int32_t y) const;
    int presentCount(WindowId window) const;
    // Number of windows that exist.
    int windowCount() const { return static_cast<int>(windows_.size()); }
    // Whether the display connection is open, and how often it was opened.
    bool connected() const { return connected_; }
    int connectCount() const { return connects_; }
    WindowId windowAt(ScreenPoint p) const;
    int32_t timerInterval(WindowId window) const;
    int timerTicks(WindowId window) const;
    WindowId captureWindow() const { return capture_; }
    WindowId focusWindow() const { return focus_; }
    bool cursorVisible() const { return cursorVisible_; }
    // Key presses and releases that no window took: the host's window got them.
    int hostKeys() const { return hostKeys_; }

    std::vector<ScreenPoint> warps;  // every warpCursor target, in order
    std::vector<bool> cursorShown;  // every showCursor call's argument, in order
    std::vector<WindowId> focusGiven;  // every focus that was given, in order

private:
    struct Window {
        uintptr_t parent = 0;
        IWindowListener* listener = nullptr;
        int32_t width = 0;
        int32_t height = 0;
        ScreenPoint origin;
        bool viewable = true;
        bool gone = false;  // destroyed along with its parent
        bool goneTold = false;  // the listener has had its Gone event
        bool keys = false;
        int32_t interval = 0;
        int64_t lastTick = 0;
        int ticks = 0;
        HeadlessScreen screen;
        Window(int32_t w, int32_t h)
            : width(w)
            , height(h)
            , screen(w, h)
        {
        }
    };
    struct Pending {
        WindowId window = kNoWindow;
        WindowEvent event;
        std::string path;
    };

    Window* find(WindowId window);
    const Window* find(WindowId window) const;
    WindowId pointerTarget() const;
    void postPointer(WindowEvent event);
    void postKey(WindowEvent event);

    ScreenSize screen_;
    ScreenPoint cursor_;
    uint32_t modifiers_ = 0;
    ScreenPoint nextOrigin_ {100, 50};
    std::map<WindowId, Window> windows_;
    std::vector<WindowId> stacking_;  // bottom first
    std::deque<Pending> queue_;
    WindowId nextId_ = 1;
    WindowId capture_ = kNoWindow;
    WindowId focus_ = kNoWindow;
    bool cursorVisible_ = true;
    bool connected_ = false;
    int connects_ = 0;
    int hostKeys_ = 0;
    int64_t now_ = 0;
};

}  // namespace platform
