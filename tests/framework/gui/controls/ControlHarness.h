#pragma once
// An open editor on the headless window system with a recording host wrapper
// and a recording engine, for driving controls with injected mouse events and
// timer ticks and reading back what reached the host and the back buffer.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/GuiTypes.h"
#include "framework/gui/controls/CControlGroup.h"

class CPluginUI;
namespace platform {
class IWindowSystem;
}

namespace tbtest {

class ControlHarness {
public:
    // An editor of the given size, opened with an empty root group.
    explicit ControlHarness(int32_t height = 200, int32_t width = 300);
    // The same on another window system, as a child of the host's window `parent`.
    ControlHarness(platform::IWindowSystem& system, uintptr_t parent, int32_t height, int32_t width);
    ~ControlHarness();
    ControlHarness(const ControlHarness&) = delete;
    ControlHarness& operator=(const ControlHarness&) = delete;

    CPluginUI* editor();
    CControlGroup* root();
    CDrawBuffer* back();
    // Adds to the root group (which takes the value from the engine).
    template <class T> T* add(T* control)
    {
        root()->addControl(control);
        return control;
    }

    void press(int32_t x, int32_t y, ModifierKeys mods = 0);
    void release(int32_t x, int32_t y);
    void rightPress(int32_t x, int32_t y);
    void move(int32_t x, int32_t y);
    void wheel(int32_t steps);
    // One timer tick of the editor (idle pass and drawing).
    void tick();
    // Deletes the editor as an adaptor does (destroyView), window open or not.
    void destroyEditor();
    // The host's idle calls for `milliseconds`: the window's events and timer.
    void pump(int32_t milliseconds);
    // The same until `done` holds; false if it still does not after a minute.
    bool pumpUntil(const std::function<bool()>& done);

    // The engine's stored value and default of a parameter.
    float engineValue(int32_t id);
    void setEngineValue(int32_t id, float value);
    void setDefault(float value);

    // What reached the host and the editor, in order: "begin 3", "change 3 0.600",
    // "end 3" from the wrapper, "notify 3 0.600" for every control change the
    // editor received (ids of any sign).
    std::vector<std::string> log;
    // Called from the editor's change handler after logging (may rebuild groups).
    std::function<void(CControl*)> onChange;

    struct Parts;
    std::unique_ptr<Parts> parts;

private:
    void start(platform::IWindowSystem& system, uintptr_t parent, int32_t height, int32_t width);
};

// A picture of `frames` solid frames stacked vertically, each w x h, frame k
// filled with blue k, green 10 * k, red 200.
std::unique_ptr<CBitmap> stripPicture(int32_t w, int32_t h, int32_t frames, bool vertical = true);
inline uint32_t framePixel(int32_t k)
{
    return static_cast<uint32_t>(k) | (static_cast<uint32_t>(10 * k & 255) << 8) | (200u << 16);
}

}  // namespace tbtest
