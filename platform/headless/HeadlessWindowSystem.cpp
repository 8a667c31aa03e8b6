#include "platform/headless/HeadlessWindowSystem.h"

#include <algorithm>

namespace platform {

namespace {
    // Native handles are made distinct from window ids so that a mix-up shows.
    constexpr uintptr_t kHandleBase = 0x4000;
}  // namespace

HeadlessWindowSystem::HeadlessWindowSystem(int32_t screenWidth, int32_t screenHeight)
    : screen_ {std::max<int32_t>(screenWidth, 1), std::max<int32_t>(screenHeight, 1)}
{
}

HeadlessWindowSystem::Window* HeadlessWindowSystem::find(WindowId window)
{
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

const HeadlessWindowSystem::Window* HeadlessWindowSystem::find(WindowId window) const
{
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

WindowStatus HeadlessWindowSystem::createChild(
    uintptr_t parent, int32_t width, int32_t height, IWindowListener* listener, WindowId& out)
{
    out = kNoWindow;
    if (parent == 0)
        return WindowStatus::BadParent;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || listener == nullptr)
        return WindowStatus::BadArguments;
    const WindowId id = nextId_++;
    auto [it, added] = windows_.try_emplace(id, width, height);
    (void)added;
    it->second.parent = parent;
    it->second.listener = listener;
    it->second.origin = nextOrigin_;
    it->second.lastTick = now_;
    stacking_.push_back(id);
    out = id;
    // A freshly mapped window is exposed whole, as on a real display.
    expose(id, 0, 0, width, height);
    return WindowStatus::Ok;
}

WindowStatus HeadlessWindowSystem::destroy(WindowId window)
{
    if (windows_.erase(window) == 0)
        return WindowStatus::NotOpen;
    stacking_.erase(std::remove(stacking_.begin(), stacking_.end(), window), stacking_.end());
    if (capture_ == window)
        capture_ = kNoWindow;
    if (focus_ == window)
        focus_ = kNoWindow;
    return WindowStatus::Ok;
}

bool HeadlessWindowSystem::exists(WindowId window)
{
    const Window* w = find(window);
    return w != nullptr && !w->gone;
}

uintptr_t HeadlessWindowSystem::nativeHandle(WindowId window) const
{
    const Window* w = find(window);
    return w == nullptr || w->gone ? 0 : kHandleBase + window;
}

PresentStatus HeadlessWindowSystem::present(
    WindowId window, const PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY)
{
    Window* win = find(window);
    if (win == nullptr || win->gone)
        return PresentStatus::NoTarget;
    return win->screen.present(source, x, y, w, h, srcX, srcY);
}

WindowStatus HeadlessWindowSystem::setTimer(WindowId window, int32_t milliseconds)
{
    Window* win = find(window);
    if (win == nullptr)
        return WindowStatus::NotOpen;
    if (milliseconds < 0)
        return WindowStatus::BadArguments;
    win->interval = milliseconds;
    win->lastTick = now_;
    return WindowStatus::Ok;
}

WindowStatus HeadlessWindowSystem::connect()
{
    if (!connected_)
        ++connects_;
    connected_ = true;
    return WindowStatus::Ok;
}

void HeadlessWindowSystem::disconnect() { connected_ = false; }

void HeadlessWindowSystem::pump()
{
    // Only what is queued now is handled: a listener that injects or pumps again
    // (a dialog waiting) cannot make this loop run forever.
    size_t n = queue_.size();
    while (n-- > 0 && !queue_.empty()) {
        Pending p = std::move(queue_.front());
        queue_.pop_front();
        Window* win = find(p.window);
        if (win == nullptr || win->gone)
            continue;
        if (p.event.kind == WindowEvent::Kind::FileDrop)
            p.event.path = p.path.c_str();
        win->listener->onWindowEvent(p.event);
    }
    std::vector<WindowId> ids;
    for (const auto& [id, win] : windows_)
        ids.push_back(id);
    for (WindowId id : ids) {
        Window* win = find(id);  // an earlier listener may have destroyed it
        if (win != nullptr && win->gone && !win->goneTold) {
            win->goneTold = true;
            win->listener->onWindowEvent(WindowEvent {.kind = WindowEvent::Kind::Gone});
            continue;
        }
        if (win == nullptr || win->gone || win->interval <= 0 || now_ - win->lastTick < win->interval)
            continue;
        win->lastTick = timerGridPoint(win->lastTick, win->interval, now_);
        ++win->ticks;
        win->listener->onWindowTimer();
    }
}

bool HeadlessWindowSystem::cursorPosition(ScreenPoint& out) const
{
    out = cursor_;
    return true;
}

bool HeadlessWindowSystem::windowOrigin(WindowId window, ScreenPoint& out) const
{
    const Window* win = find(window);
    if (win == nullptr || win->gone)
        return false;
    out = win->origin;
    return true;
}

WindowStatus HeadlessWindowSystem::warpCursor(ScreenPoint to)
{
    warps.push_back(to);
    // A real pointer stays on the screen.
    cursor_.x = std::clamp<int32_t>(to.x, 0, screen_.width - 1);
    cursor_.y = std::clamp<int32_t>(to.y, 0, screen_.height - 1);
    return WindowStatus::Ok;
}

WindowStatus HeadlessWindowSystem::showCursor(WindowId window, bool visible)
{
    const Window* win = find(window);
    if (win == nullptr || win->gone)
        return WindowStatus::NotOpen;
    cursorShown.push_back(visible);
    cursorVisible_ = visible;
    return WindowStatus::Ok;
}

WindowStatus HeadlessWindowSystem::capture(WindowId window)
{
    const Window* win = find(window);
    if (win == nullptr || win->gone)
        return WindowStatus::NotOpen;
    if (!win->viewable)
        return WindowStatus::Failed;  // a pointer grab needs a viewable window
    capture_ = window;
    return WindowStatus::Ok;
}

WindowStatus HeadlessWindowSystem::releaseCapture()
{
    capture_ = kNoWindow;
    return WindowStatus::Ok;
}

bool HeadlessWindowSystem::hasCapture(WindowId window) const { return window != kNoWindow && capture_ == window; }

bool HeadlessWindowSystem::isViewable(WindowId window) const
{
    const Window* win = find(window);
    return win != nullptr && !win->gone && win->viewable;
}

WindowStatus HeadlessWindowSystem::focus(WindowId window)
{
    const Window* win = find(window);
    if (win == nullptr || win->gone)
        return WindowStatus::NotOpen;
    if (!win->viewable)
        return WindowStatus::Failed;
    focus_ = window;
    focusGiven.push_back(window);
    return WindowStatus::Ok;
}

WindowStatus HeadlessWindowSystem::acceptKeys(WindowId window, bool accept)
{
    Window* win = find(window);
    if (win == nullptr || win->gone)
        return WindowStatus::NotOpen;
    win->keys = accept;
    return WindowStatus::Ok;
}

void HeadlessWindowSystem::setWindowOrigin(WindowId window, ScreenPoint origin)
{
    if (Window* win = find(window))
        win->origin = origin;
}

void HeadlessWindowSystem::setViewable(WindowId window, bool viewable)
{
    if (Window* win = find(window))
        win->viewable = viewable;
}

void HeadlessWindowSystem::destroyParent(uintptr_t parent)
{
    for (auto& [id, win] : windows_) {
        if (win.parent != parent)
            continue;
        win.gone = true;
        if (capture_ == id)
            capture_ = kNoWindow;
        if (focus_ == id)
            focus_ = kNoWindow;
    }
}

WindowId HeadlessWindowSystem::windowAt(ScreenPoint p) const
{
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
        const Window* win = find(*it);
        if (win == nullptr || win->gone || !win->viewable)
            continue;
        if (p.x >= win->origin.x && p.y >= win->origin.y && p.x - win->origin.x < win->width
            && p.y - win->origin.y < win->height)
            return *it;
    }
    return kNoWindow;
}

WindowId HeadlessWindowSystem::pointerTarget() const { return capture_ != kNoWindow ? capture_ : windowAt(cursor_); }

void HeadlessWindowSystem::postPointer(WindowEvent event)
{
    const WindowId target = pointerTarget();
    if (target != kNoWindow)
        post(target, event);
}

void HeadlessWindowSystem::moveCursor(ScreenPoint to)
{
    to.x = std::clamp<int32_t>(to.x, 0, screen_.width - 1);
    to.y = std::clamp<int32_t>(to.y, 0, screen_.height - 1);
    if (to.x == cursor_.x && to.y == cursor_.y)
        return;
    cursor_ = to;
    postPointer(WindowEvent {.kind = WindowEvent::Kind::Motion});
}

void HeadlessWindowSystem::moveCursorTo(WindowId window, int32_t x, int32_t y)
{
    const Window* win = find(window);
    if (win != nullptr)
        moveCursor({win->origin.x + x, win->origin.y + y});
}

void HeadlessWindowSystem::pressButton(int32_t button)
{
    postPointer(WindowEvent {.kind = WindowEvent::Kind::ButtonDown, .button = button});
}

void HeadlessWindowSystem::releaseButton(int32_t button)
{
    postPointer(WindowEvent {.kind = WindowEvent::Kind::ButtonUp, .button = button});
}

void HeadlessWindowSystem::wheel(int32_t steps)
{
    postPointer(WindowEvent {.kind = WindowEvent::Kind::Wheel, .steps = steps});
}

void HeadlessWindowSystem::postKey(WindowEvent event)
{
    const WindowId target = focus_ != kNoWindow ? focus_ : windowAt(cursor_);
    const Window* win = find(target);
    if (win != nullptr && win->keys)
        post(target, event);
    else
        ++hostKeys_;
}

void HeadlessWindowSystem::keyDown(int32_t key)
{
    postKey(WindowEvent {.kind = WindowEvent::Kind::KeyDown, .key = key});
}

void HeadlessWindowSystem::keyUp(int32_t key) { postKey(WindowEvent {.kind = WindowEvent::Kind::KeyUp, .key = key}); }

void HeadlessWindowSystem::dropFiles(const std::vector<std::string>& paths)
{
    const WindowId target = windowAt(cursor_);
    if (target == kNoWindow || paths.empty())
        return;
    post(target, WindowEvent {.kind = WindowEvent::Kind::FileDrop}, paths.front());
}

void HeadlessWindowSystem::loseCapture()
{
    if (capture_ == kNoWindow)
        return;
    const WindowId was = capture_;
    capture_ = kNoWindow;
    post(was, WindowEvent {.kind = WindowEvent::Kind::CaptureLost});
}

void HeadlessWindowSystem::expose(WindowId window, int32_t x, int32_t y, int32_t w, int32_t h)
{
    post(window, WindowEvent {.kind = WindowEvent::Kind::Expose, .x = x, .y = y, .w = w, .h = h});
}

void HeadlessWindowSystem::post(WindowId window, const WindowEvent& event, std::string path)
{
    queue_.push_back(Pending {window, event, std::move(path)});
}

uint32_t HeadlessWindowSystem::pixel(WindowId window, int32_t x, int32_t y) const
{
    const Window* win = find(window);
    return win == nullptr ? 0 : win->screen.pixel(x, y);
}

int HeadlessWindowSystem::presentCount(WindowId window) const
{
    const Window* win = find(window);
    return win == nullptr ? 0 : win->screen.presentCount();
}

int32_t HeadlessWindowSystem::timerInterval(WindowId window) const
{
    const Window* win = find(window);
    return win == nullptr ? 0 : win->interval;
}

int HeadlessWindowSystem::timerTicks(WindowId window) const
{
    const Window* win = find(window);
    return win == nullptr ? 0 : win->ticks;
}

}  // namespace platform
