#pragma once
#include <cstdint>

#include "platform/ScreenTarget.h"
#include "platform/WindowSystem.h"

// The window part of the editor: a child window of the host's window made
// through the process's window system, the shared display connection and the
// hand-over of back-buffer pixels to the window. Everything runs on the UI
// thread that owns the host's window.
class CPluginFrame : public platform::IWindowListener {
public:
    explicit CPluginFrame(void* moduleHandle);
    CPluginFrame(const CPluginFrame&) = delete;
    CPluginFrame& operator=(const CPluginFrame&) = delete;
    ~CPluginFrame() override;

    bool hasWindow() const { return window != platform::kNoWindow; }
    platform::WindowId windowId() const { return window; }
    // The window system this frame's window lives in; null while closed.
    platform::IWindowSystem* windowSystem() const { return system; }
    // Editor windows open in the process; the display connection lives while
    // this is above 0.
    static int32_t openWindows();
    // The host adaptor's choice of window behaviour (bit 0: focus on a left
    // press); the native host clears it.
    void setFrameFlags(uint32_t value) { flags = value; }
    // An editor that handles keys (it overrides the key hooks) says so: only
    // then does its window take key events and the focus, at open and on a
    // left press. Every other editor leaves the keyboard with the host, whose
    // shortcuts would otherwise die while the pointer is over the editor.
    virtual bool handlesKeys() const { return false; }
    // Why the last window could not be made (Ok when it was).
    platform::WindowStatus windowStatus() const { return lastWindowStatus; }

protected:
    // Makes the child window of `parent` (an X11 Window id); true when one exists.
    bool createWindow(int32_t height, int32_t width, void* parent);
    // Destroys the window and gives up this frame's share of the connection.
    void destroyWindow();

    uint32_t flags = 3;  // bit 0: focus on a left press
    void* parentWindow = nullptr;
    platform::WindowId window = platform::kNoWindow;
    int32_t windowHeight = 0;
    int32_t windowWidth = 0;
    bool captured = false;
    bool cursorHidden = false;
    bool inTimer = false;
    int32_t holdCount = 0;
    bool redrawPending = false;
    platform::ScreenPoint savedCursor;
    platform::ScreenPoint virtualPos;
    platform::ScreenPoint lastRealCursor;
    void* moduleHandle = nullptr;
    platform::WindowStatus lastWindowStatus = platform::WindowStatus::Ok;

private:
    // The back buffer's way into the window.
    class WindowTarget final : public platform::IScreenTarget {
    public:
        explicit WindowTarget(CPluginFrame& frame)
            : frame(frame)
        {
        }
        platform::PresentStatus present(const platform::PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h,
            int32_t srcX, int32_t srcY) override;

    private:
        CPluginFrame& frame;
    };

protected:
    WindowTarget target {*this};

private:
    platform::IWindowSystem* system = nullptr;
};
