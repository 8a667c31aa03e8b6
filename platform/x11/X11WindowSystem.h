#pragma once
#include <memory>
#include <string>

#include "platform/WindowSystem.h"

namespace platform {

// The window system of a Linux VST host: X11 through Xlib. The process opens one
// display connection, shared by every editor window: it opens at connect() (or
// with the first window) and closes once the frame disconnected and the last
// window is gone. No X error or lost connection ever ends the host: every call into Xlib
// runs with a guarding error handler, and the host's handlers are put back after.
class X11WindowSystem final : public IWindowSystem {
public:
    X11WindowSystem();
    ~X11WindowSystem() override;

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
    bool cursorInWindow(WindowId window, ScreenPoint& out) const override;
    WindowStatus warpCursor(ScreenPoint to) override;
    WindowStatus showCursor(WindowId window, bool visible) override;
    ScreenSize screenSize() const override;
    uint32_t modifierKeys() const override;
    WindowStatus capture(WindowId window) override;
    WindowStatus releaseCapture() override;
    bool hasCapture(WindowId window) const override;
    bool isViewable(WindowId window) const override;
    WindowStatus focus(WindowId window) override;
    WindowStatus acceptKeys(WindowId window, bool accept) override;

    // Gives up any pointer grab of the editors' connection, including the one
    // X takes for a button held down in an editor, so a popup menu opened from
    // that press can take the pointer. A capture given up this way counts as lost.
    void yieldPointer();
    // Whether presents may use MIT-SHM when the server offers it (default yes);
    // takes effect for windows created afterwards.
    void allowSharedMemory(bool allow);
    // Whether the window's presents go through MIT-SHM.
    bool usesSharedMemory(WindowId window) const;
    // Whether the display connection is open (some window exists).
    bool connected() const;
    // X errors the guard has caught so far (for tests).
    int caughtErrors() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

// The process's one X11 backend.
X11WindowSystem& x11WindowSystem();

// Translations of X11's terms into the editor's, free of any display.
// A virtual-key code for the keysym of a key, 0 for keys the editor does not know.
int32_t virtualKeyFromKeysym(unsigned long keysym);
// The path of the first local file:// URI in a text/uri-list, percent-decoded;
// empty when there is none.
std::string firstFileOfUriList(const char* data, size_t size);

}  // namespace platform
