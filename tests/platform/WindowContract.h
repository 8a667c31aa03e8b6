#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

// What every window-system backend must do the same way, run against each backend
// through a driver that plays the user and the host for it.
namespace contract {

class Driver {
public:
    virtual ~Driver() = default;
    virtual platform::IWindowSystem& system() = 0;
    // A shown top-level window of the host, as its native handle.
    virtual uintptr_t makeParent(int32_t width, int32_t height) = 0;
    virtual void destroyParent(uintptr_t parent) = 0;
    // The user's hand; positions in screen coordinates.
    virtual void moveCursor(platform::ScreenPoint to) = 0;
    virtual void button(int32_t button, bool down) = 0;
    virtual void wheel(int32_t steps) = 0;
    virtual void key(int32_t virtualKey, bool down) = 0;
    // Key presses the host's windows received so far.
    virtual int hostKeyPresses() = 0;
    virtual void modifier(uint32_t bit, bool down) = 0;
    // Files dropped on the window; it must receive the first, `path`.
    virtual void dropFile(platform::WindowId window, const std::string& path) = 0;
    // Another program takes the pointer away from the window holding the capture.
    virtual void stealCapture() = 0;
    virtual void giveBackCapture() = 0;
    // Lets `milliseconds` pass and what was sent reach the backend's queue.
    virtual void wait(int32_t milliseconds) = 0;
    // The clock the backend's timer counts, in milliseconds.
    virtual int64_t now() = 0;
    // The window's pixel as the user sees it (top-down, 0x00RRGGBB); false when unreadable.
    virtual bool readPixel(platform::WindowId window, int32_t x, int32_t y, uint32_t& out) = 0;
};

using DriverFactory = std::function<std::unique_ptr<Driver>()>;

struct Backend {
    const char* name;
    DriverFactory make;
};

}  // namespace contract

#include <gtest/gtest.h>

class WindowContract : public ::testing::TestWithParam<const contract::Backend*> { };
