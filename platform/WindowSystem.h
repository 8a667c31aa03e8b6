#pragma once
#include <cstdint>

#include "platform/ScreenTarget.h"

// The window services the editor frame needs, in place of the operating system's.
// A plug-in has no event loop of its own: the host's idle call pumps the backend,
// which hands window events and due timer ticks to each window's listener.
// Everything here runs on the thread that owns the editor window (the UI thread).
// Misuse (a closed window, a bad argument) returns a status; nothing throws and
// nothing ends the process.
namespace platform {

enum class WindowStatus { Ok, NoDisplay, BadParent, BadArguments, NotOpen, Failed };

struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct ScreenSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Modifier keys held at the moment of the query.
enum ModifierBits : uint32_t { kModControl = 1u << 0, kModShift = 1u << 1, kModAlt = 1u << 2 };

// What the window system reports. Positions are deliberately absent: the frame
// reads the cursor at handling time, as the editor has always done.
struct WindowEvent {
    enum class Kind {
        Expose,  // area (x, y, w, h) must be copied again from the back buffer
        ButtonDown,  // button 1 left, 2 middle, 3 right
        ButtonUp,
        Wheel,  // steps: +1 per notch away from the user, -1 toward
        Motion,
        KeyDown,  // key: a virtual-key style code
        KeyUp,
        FileDrop,  // path: the first dropped file, decoded; valid during the call only
        CaptureLost,  // the window system took the capture away
        Gone,  // destroyed with the host's window (or the display went away): nothing more comes; once
    };
    Kind kind = Kind::Motion;
    int32_t x = 0, y = 0, w = 0, h = 0;
    int32_t button = 0;
    int32_t steps = 0;
    int32_t key = 0;
    const char* path = nullptr;
};

class IWindowListener {
public:
    virtual ~IWindowListener() = default;
    // Called from pump() for every event of the window. Told that its window
    // is Gone, a listener may destroy it from here.
    virtual void onWindowEvent(const WindowEvent& event) = 0;
    // Called from pump() when the window's timer is due: at most one tick per
    // pump, on the interval's own grid whatever the pump's period (a tick that
    // comes late does not push the next one back); after a pause of several
    // intervals the missed ticks are skipped, not made up.
    virtual void onWindowTimer() = 0;
};

// The timer's grid point for a tick due at `now` (at least one interval after
// the last grid point): the latest point that has passed. A host idling every
// 20 or 30 ms so still gets a tick every interval on average, and a long pause
// gives one tick, not a burst.
constexpr int64_t timerGridPoint(int64_t lastPoint, int32_t interval, int64_t now)
{
    return lastPoint + (now - lastPoint) / interval * interval;
}

using WindowId = uint32_t;  // 0: none
constexpr WindowId kNoWindow = 0;

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // The connection to the display, one per process and shared by every editor
    // window: the frame connects before its first window opens and disconnects
    // after its last one closed.
    virtual WindowStatus connect() = 0;
    virtual void disconnect() = 0;

    // A child window of `parent` (the host's native window handle) at (0, 0) of
    // the given size, shown, with the arrow cursor. It takes no key events until
    // acceptKeys: keys typed over it go on to the host's window. The listener
    // must outlive the window.
    virtual WindowStatus createChild(
        uintptr_t parent, int32_t width, int32_t height, IWindowListener* listener, WindowId& out)
        = 0;
    virtual WindowStatus destroy(WindowId window) = 0;
    // Whether the window is still there: false once the host destroyed it (with
    // its own window) or the display went away. Asks the server when it must.
    virtual bool exists(WindowId window) = 0;
    // The native handle (an X11 Window), for dialogs that attach to the editor.
    virtual uintptr_t nativeHandle(WindowId window) const = 0;

    // Copies pixels of the back buffer into the window.
    virtual PresentStatus present(WindowId window, const PixelSource& source, int32_t x, int32_t y, int32_t w,
        int32_t h, int32_t srcX, int32_t srcY)
        = 0;

    // Timer of the window: ticks every `milliseconds` from pump(); 0 stops it.
    virtual WindowStatus setTimer(WindowId window, int32_t milliseconds) = 0;
    // Handles pending events of every window and the timers that are due.
    virtual void pump() = 0;

    // Cursor and screen, in screen coordinates.
    virtual bool cursorPosition(ScreenPoint& out) const = 0;
    virtual bool windowOrigin(WindowId window, ScreenPoint& out) const = 0;
    // The cursor relative to the window's top left corner. The editor asks
    // on every tick, so a backend answers in one trip to its server if it can.
    virtual bool cursorInWindow(WindowId window, ScreenPoint& out) const
    {
        ScreenPoint cursor;
        ScreenPoint origin;
        if (!cursorPosition(cursor) || !windowOrigin(window, origin))
            return false;
        out = {cursor.x - origin.x, cursor.y - origin.y};
        return true;
    }
    virtual WindowStatus warpCursor(ScreenPoint to) = 0;
    virtual WindowStatus showCursor(WindowId window, bool visible) = 0;
    virtual ScreenSize screenSize() const = 0;
    virtual uint32_t modifierKeys() const = 0;

    // Mouse capture (pointer grab) and keyboard focus. Only a window that
    // accepts keys gets them; the host's shortcuts need every other key.
    virtual WindowStatus capture(WindowId window) = 0;
    virtual WindowStatus releaseCapture() = 0;
    virtual bool hasCapture(WindowId window) const = 0;
    virtual bool isViewable(WindowId window) const = 0;
    virtual WindowStatus focus(WindowId window) = 0;
    virtual WindowStatus acceptKeys(WindowId window, bool accept) = 0;
};

// The process's backend: the one installed by setWindowSystem, else the default
// that the module registered (the X11 backend in Tambrell.so), else null.
IWindowSystem* windowSystem();
// Installs a backend (tests); null returns to the default. The caller keeps ownership.
void setWindowSystem(IWindowSystem* backend);
void setDefaultWindowSystem(IWindowSystem* backend);

}  // namespace platform
