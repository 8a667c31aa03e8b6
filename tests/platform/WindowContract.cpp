#include "WindowContract.h"

#include <gtest/gtest.h>

namespace {

using platform::PixelSource;
using platform::PresentStatus;
using platform::ScreenPoint;
using platform::WindowEvent;
using platform::WindowId;
using platform::WindowStatus;
using Kind = platform::WindowEvent::Kind;

struct Recorder final : platform::IWindowListener {
    void onWindowEvent(const WindowEvent& e) override
    {
        events.push_back(e);
        if (e.kind == Kind::FileDrop)
            dropped.push_back(e.path != nullptr ? e.path : "");
        events.back().path = nullptr;
    }
    void onWindowTimer() override { ++ticks; }
    std::vector<WindowEvent> of(Kind kind) const
    {
        std::vector<WindowEvent> out;
        for (const auto& e : events)
            if (e.kind == kind)
                out.push_back(e);
        return out;
    }
    bool has(Kind kind) const { return !of(kind).empty(); }
    std::vector<WindowEvent> events;
    std::vector<std::string> dropped;
    int ticks = 0;
};

// A back buffer as the drawing kit keeps it: rows bottom-up, fourth byte not alpha.
struct BackBuffer {
    BackBuffer(int32_t w, int32_t h)
        : width(w)
        , height(h)
        , pixels(static_cast<size_t>(w * h))
    {
    }
    uint32_t& at(int32_t x, int32_t topDownY)
    {
        return pixels[static_cast<size_t>((height - 1 - topDownY) * width + x)];
    }
    PixelSource source() const { return {pixels.data(), width, height}; }
    int32_t width, height;
    std::vector<uint32_t> pixels;
};

uint32_t pattern(int32_t x, int32_t y)
{
    return (static_cast<uint32_t>(x * 3) << 16) | (static_cast<uint32_t>(y * 5) << 8) | 0x5Au;
}

class Fixture {
public:
    explicit Fixture(const contract::Backend* backend)
        : driver(backend->make())
        , ws(driver != nullptr ? &driver->system() : nullptr)
    {
    }
    WindowId open(int32_t w = 64, int32_t h = 48)
    {
        parent = driver->makeParent(w + 40, h + 30);
        WindowId id = platform::kNoWindow;
        EXPECT_EQ(ws->createChild(parent, w, h, &rec, id), WindowStatus::Ok);
        pumpUntil([&] { return rec.has(Kind::Expose); });
        return id;
    }
    // Pumps until `done` holds; the backends differ only in how fast events
    // arrive, and a loaded machine can take seconds: the limit only ends a
    // wait that never ends.
    template <class F> bool pumpUntil(F done, int32_t maxMs = 60000)
    {
        for (int32_t t = 0; t <= maxMs; t += 5) {
            ws->pump();
            if (done())
                return true;
            driver->wait(5);
        }
        return false;
    }
    std::unique_ptr<contract::Driver> driver;
    platform::IWindowSystem* ws;
    Recorder rec;
    uintptr_t parent = 0;
};

// Sets a window's timer and pumps, noting when each pump may have read the
// clock. A tick belongs to the first pump in each new interval of the grid laid
// from setTimer: a host idling every 20 or 30 ms still sees a 50 ms timer tick
// every 50 ms on average, not every 60, and a long pause gives one tick, not a
// burst. A loaded machine pumps late and unevenly, so each pump is judged by
// the time that actually passed; only a pump that may lie on either side of a
// grid line (or follow one that may) can go either way.
class TimerWatch {
public:
    TimerWatch(Fixture& f, WindowId w, int32_t interval)
        : f_(f)
        , interval_(interval)
        , setEarliest_(f.driver->now())
    {
        EXPECT_EQ(f.ws->setTimer(w, interval), WindowStatus::Ok);
        setLatest_ = f.driver->now();
    }
    void pump()
    {
        const int before = f_.rec.ticks;
        const int64_t from = f_.driver->now();
        f_.ws->pump();
        const int64_t to = f_.driver->now();
        const int ticked = f_.rec.ticks - before;
        const int64_t earliest = (from - setLatest_) / interval_;
        const int64_t latest = (to - setEarliest_) / interval_;
        if (ticked > 1 || (ticked == 1 && latest <= lastEarliest_))
            ++extra;
        if (ticked == 0 && earliest > lastLatest_)
            ++missed;
        ticks += ticked;
        lastEarliest_ = earliest;
        lastLatest_ = latest;
    }
    int ticks = 0;
    int missed = 0;  // pumps in a new interval without a tick
    int extra = 0;  // ticks without a new interval, or more than one at once

private:
    Fixture& f_;
    int32_t interval_;
    int64_t setEarliest_;
    int64_t setLatest_ = 0;
    // The grid intervals the last pump may have read the clock in.
    int64_t lastEarliest_ = 0;
    int64_t lastLatest_ = 0;
};

TEST_P(WindowContract, CreateRefusesWhatCannotBeAWindow)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    Recorder r;
    WindowId id = 99;
    EXPECT_EQ(f.ws->createChild(0, 10, 10, &r, id), WindowStatus::BadParent);
    EXPECT_EQ(id, platform::kNoWindow);
    const uintptr_t parent = f.driver->makeParent(50, 50);
    EXPECT_EQ(f.ws->createChild(parent, 0, 10, &r, id), WindowStatus::BadArguments);
    EXPECT_EQ(f.ws->createChild(parent, 10, -1, &r, id), WindowStatus::BadArguments);
    EXPECT_EQ(f.ws->createChild(parent, 10, 10, nullptr, id), WindowStatus::BadArguments);
    EXPECT_EQ(f.ws->destroy(12345), WindowStatus::NotOpen);
    EXPECT_EQ(f.ws->setTimer(12345, 10), WindowStatus::NotOpen);
    ScreenPoint p;
    EXPECT_FALSE(f.ws->windowOrigin(12345, p));
    EXPECT_FALSE(f.ws->cursorInWindow(12345, p));
}

TEST_P(WindowContract, ShowsPresentedRectanglesTopDownAndOpaque)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open(64, 48);
    ASSERT_NE(w, platform::kNoWindow);
    const auto expose = f.rec.of(Kind::Expose);
    ASSERT_FALSE(expose.empty());
    EXPECT_GE(expose.front().w, 1);

    BackBuffer bb(64, 48);
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x)
            bb.at(x, y) = pattern(x, y) | 0x01000000u;  // the fourth byte is never alpha
    ASSERT_EQ(f.ws->present(w, bb.source(), 0, 0, 64, 48, 0, 0), PresentStatus::Ok);
    f.driver->wait(10);
    uint32_t px = 0;
    for (auto [x, y] : {std::pair {0, 0}, {63, 0}, {0, 47}, {31, 20}, {63, 47}}) {
        ASSERT_TRUE(f.driver->readPixel(w, x, y, px));
        EXPECT_EQ(px, pattern(x, y)) << x << "," << y;
    }
    // Only the rectangle changes; it may come from elsewhere in the buffer.
    BackBuffer red(64, 48);
    for (auto& p : red.pixels)
        p = 0x00FF0000u;
    red.at(2, 3) = 0x000000FFu;
    ASSERT_EQ(f.ws->present(w, red.source(), 10, 5, 8, 4, 2, 3), PresentStatus::Ok);
    f.driver->wait(10);
    ASSERT_TRUE(f.driver->readPixel(w, 10, 5, px));
    EXPECT_EQ(px, 0x0000FFu);
    ASSERT_TRUE(f.driver->readPixel(w, 17, 8, px));
    EXPECT_EQ(px, 0xFF0000u);
    ASSERT_TRUE(f.driver->readPixel(w, 18, 8, px));
    EXPECT_EQ(px, pattern(18, 8));
    ASSERT_TRUE(f.driver->readPixel(w, 10, 9, px));
    EXPECT_EQ(px, pattern(10, 9));

    EXPECT_EQ(f.ws->present(w, PixelSource {}, 0, 0, 1, 1, 0, 0), PresentStatus::BadArguments);
    EXPECT_EQ(f.ws->present(w, bb.source(), 0, 0, -1, 1, 0, 0), PresentStatus::BadArguments);
    // Parts outside either side are dropped, never read or written out of bounds.
    EXPECT_EQ(f.ws->present(w, bb.source(), -30, -30, 200, 200, -5, 40), PresentStatus::Ok);
    ASSERT_EQ(f.ws->destroy(w), WindowStatus::Ok);
    EXPECT_EQ(f.ws->present(w, bb.source(), 0, 0, 1, 1, 0, 0), PresentStatus::NoTarget);
}

TEST_P(WindowContract, PointerButtonsAndWheelReachTheWindowUnderTheCursor)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    ScreenPoint origin;
    ASSERT_TRUE(f.ws->windowOrigin(w, origin));
    f.driver->moveCursor({origin.x + 200, origin.y + 200});
    f.driver->wait(10);
    f.ws->pump();
    f.rec.events.clear();

    f.driver->moveCursor({origin.x + 10, origin.y + 12});
    ASSERT_TRUE(f.pumpUntil([&] { return f.rec.has(Kind::Motion); }));
    ScreenPoint cursor;
    ASSERT_TRUE(f.ws->cursorPosition(cursor));
    EXPECT_EQ(cursor.x - origin.x, 10);
    EXPECT_EQ(cursor.y - origin.y, 12);
    ASSERT_TRUE(f.ws->cursorInWindow(w, cursor));
    EXPECT_EQ(cursor.x, 10);
    EXPECT_EQ(cursor.y, 12);

    f.rec.events.clear();
    f.driver->button(1, true);
    f.driver->button(1, false);
    f.driver->button(3, true);
    f.driver->button(3, false);
    f.driver->wheel(1);
    f.driver->wheel(-1);
    ASSERT_TRUE(f.pumpUntil([&] { return f.rec.of(Kind::Wheel).size() >= 2; }));
    std::vector<std::pair<Kind, int32_t>> seen;
    for (const auto& e : f.rec.events) {
        if (e.kind == Kind::ButtonDown || e.kind == Kind::ButtonUp)
            seen.emplace_back(e.kind, e.button);
        else if (e.kind == Kind::Wheel)
            seen.emplace_back(e.kind, e.steps);
    }
    const std::vector<std::pair<Kind, int32_t>> want {{Kind::ButtonDown, 1}, {Kind::ButtonUp, 1}, {Kind::ButtonDown, 3},
        {Kind::ButtonUp, 3}, {Kind::Wheel, 1}, {Kind::Wheel, -1}};
    EXPECT_EQ(seen, want);
}

TEST_P(WindowContract, KeysAndModifiersOfTheFocusedWindow)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    ASSERT_TRUE(f.ws->isViewable(w));
    ASSERT_EQ(f.ws->acceptKeys(w, true), WindowStatus::Ok);
    ASSERT_EQ(f.ws->focus(w), WindowStatus::Ok);
    ScreenPoint origin;
    ASSERT_TRUE(f.ws->windowOrigin(w, origin));
    f.driver->moveCursor({origin.x + 5, origin.y + 5});
    f.driver->wait(10);
    f.ws->pump();
    f.rec.events.clear();
    f.driver->key(0x41, true);  // 'A'
    f.driver->key(0x41, false);
    f.driver->key(0x25, true);  // left arrow
    f.driver->key(0x25, false);
    ASSERT_TRUE(f.pumpUntil([&] { return f.rec.of(Kind::KeyUp).size() >= 2; }));
    const auto downs = f.rec.of(Kind::KeyDown);
    const auto ups = f.rec.of(Kind::KeyUp);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].key, 0x41);
    EXPECT_EQ(downs[1].key, 0x25);
    EXPECT_EQ(ups[1].key, 0x25);

    EXPECT_EQ(f.ws->modifierKeys() & (platform::kModShift | platform::kModControl), 0u);
    f.driver->modifier(platform::kModShift, true);
    EXPECT_TRUE(f.pumpUntil([&] { return (f.ws->modifierKeys() & platform::kModShift) != 0; }));
    f.driver->modifier(platform::kModShift, false);
    f.driver->modifier(platform::kModControl, true);
    EXPECT_TRUE(f.pumpUntil([&] { return f.ws->modifierKeys() == platform::kModControl; }));
    f.driver->modifier(platform::kModControl, false);
    EXPECT_TRUE(f.pumpUntil([&] { return f.ws->modifierKeys() == 0; }));
}

// The host's shortcuts live on its own window: a window that does not accept
// keys lets them through even with the cursor over it.
TEST_P(WindowContract, KeysGoPastAWindowThatDoesNotAcceptThem)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    ScreenPoint origin;
    ASSERT_TRUE(f.ws->windowOrigin(w, origin));
    f.driver->moveCursor({origin.x + 5, origin.y + 5});
    const int before = f.driver->hostKeyPresses();
    f.driver->key(0x41, true);
    f.driver->key(0x41, false);
    EXPECT_TRUE(f.pumpUntil([&] { return f.driver->hostKeyPresses() > before; }));
    EXPECT_FALSE(f.rec.has(Kind::KeyDown));
}

TEST_P(WindowContract, CaptureHidesWarpsAndReleases)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    EXPECT_FALSE(f.ws->hasCapture(w));
    ASSERT_EQ(f.ws->capture(w), WindowStatus::Ok);
    EXPECT_TRUE(f.ws->hasCapture(w));
    EXPECT_EQ(f.ws->showCursor(w, false), WindowStatus::Ok);
    const platform::ScreenSize screen = f.ws->screenSize();
    ASSERT_GT(screen.width, 100);
    ASSERT_GT(screen.height, 100);
    ASSERT_EQ(f.ws->warpCursor({screen.width - 2, 1}), WindowStatus::Ok);
    ScreenPoint cursor;
    EXPECT_TRUE(
        f.pumpUntil([&] { return f.ws->cursorPosition(cursor) && cursor.x == screen.width - 2 && cursor.y == 1; }));
    // A captured pointer's buttons come to the window wherever the cursor is.
    f.rec.events.clear();
    f.driver->button(1, true);
    f.driver->button(1, false);
    EXPECT_TRUE(f.pumpUntil([&] { return f.rec.has(Kind::ButtonUp); }));
    EXPECT_EQ(f.ws->showCursor(w, true), WindowStatus::Ok);
    EXPECT_EQ(f.ws->releaseCapture(), WindowStatus::Ok);
    EXPECT_FALSE(f.ws->hasCapture(w));
}

TEST_P(WindowContract, CaptureTakenAwayIsNoticedByThePump)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    ASSERT_EQ(f.ws->capture(w), WindowStatus::Ok);
    f.driver->stealCapture();
    EXPECT_TRUE(f.pumpUntil([&] { return !f.ws->hasCapture(w) && f.rec.has(Kind::CaptureLost); }));
    f.driver->giveBackCapture();
    EXPECT_EQ(f.ws->releaseCapture(), WindowStatus::Ok);
}

TEST_P(WindowContract, TimerTicksFromThePumpUntilStopped)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    TimerWatch watch(f, w, 20);
    for (int i = 0; i < 2000 && watch.ticks < 2; ++i) {
        f.driver->wait(5);
        watch.pump();
    }
    EXPECT_GE(watch.ticks, 2);
    watch.pump();  // straight after another: a tick only if an interval passed in between
    EXPECT_EQ(watch.missed, 0);
    EXPECT_EQ(watch.extra, 0);
    const int before = f.rec.ticks;
    ASSERT_EQ(f.ws->setTimer(w, 0), WindowStatus::Ok);
    f.driver->wait(60);
    f.ws->pump();
    EXPECT_EQ(f.rec.ticks, before);
    EXPECT_EQ(f.ws->setTimer(w, -5), WindowStatus::BadArguments);
}

// Regression: this counted the ticks of 800 ms of idling against a fixed
// range, which a throttled machine, pumping late, fell short of.
TEST_P(WindowContract, TimerKeepsItsPhaseWhateverTheIdlePeriod)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    for (const int32_t period : {20, 30, 50}) {
        TimerWatch watch(f, w, 50);
        for (int32_t t = 0; t + period <= 800; t += period) {
            f.driver->wait(period);
            watch.pump();
        }
        EXPECT_GE(watch.ticks, 1) << "idle every " << period << " ms";
        EXPECT_EQ(watch.missed, 0) << "idle every " << period << " ms";
        EXPECT_EQ(watch.extra, 0) << "idle every " << period << " ms";
        if (period != 50)
            continue;
        // A long pause gives a tick, not a burst of the missed ones.
        f.driver->wait(400);
        const int before = watch.ticks;
        for (int i = 0; i < 4; ++i)
            watch.pump();
        EXPECT_GE(watch.ticks, before + 1);
        EXPECT_EQ(watch.missed, 0);
        EXPECT_EQ(watch.extra, 0);
    }
}

TEST_P(WindowContract, DropGivesTheFirstFileDecoded)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    ScreenPoint origin;
    ASSERT_TRUE(f.ws->windowOrigin(w, origin));
    f.driver->moveCursor({origin.x + 20, origin.y + 20});
    f.driver->dropFile(w, "/tmp/My Song+1 %.tbprg");
    ASSERT_TRUE(f.pumpUntil([&] { return !f.rec.dropped.empty(); }));
    ASSERT_EQ(f.rec.dropped.size(), 1u);
    EXPECT_EQ(f.rec.dropped[0], "/tmp/My Song+1 %.tbprg");
}

TEST_P(WindowContract, HostWindowDestroyedFirstLeavesEverythingCallable)
{
    Fixture f(GetParam());
    if (f.ws == nullptr)
        GTEST_SKIP() << "backend unavailable (no display)";
    const WindowId w = f.open();
    Recorder other;
    const uintptr_t parent2 = f.driver->makeParent(40, 40);
    WindowId w2 = platform::kNoWindow;
    ASSERT_EQ(f.ws->createChild(parent2, 30, 30, &other, w2), WindowStatus::Ok);

    f.driver->destroyParent(f.parent);
    // Told once, at the pump that finds it gone, so that what hangs on it can end.
    EXPECT_TRUE(f.pumpUntil([&] { return f.rec.has(Kind::Gone); }));
    BackBuffer bb(64, 48);
    f.ws->present(w, bb.source(), 0, 0, 64, 48, 0, 0);
    f.ws->setTimer(w, 10);
    f.ws->focus(w);
    f.ws->capture(w);
    f.ws->releaseCapture();
    f.ws->pump();
    EXPECT_EQ(f.rec.of(Kind::Gone).size(), 1u);
    EXPECT_FALSE(other.has(Kind::Gone));
    EXPECT_FALSE(f.ws->isViewable(w));
    EXPECT_EQ(f.ws->destroy(w), WindowStatus::Ok);
    EXPECT_EQ(f.ws->destroy(w), WindowStatus::NotOpen);

    // The other editor's window is untouched.
    BackBuffer green(30, 30);
    for (auto& p : green.pixels)
        p = 0x0000FF00u;
    EXPECT_EQ(f.ws->present(w2, green.source(), 0, 0, 30, 30, 0, 0), PresentStatus::Ok);
    f.driver->wait(10);
    uint32_t px = 0;
    ASSERT_TRUE(f.driver->readPixel(w2, 29, 29, px));
    EXPECT_EQ(px, 0x00FF00u);
    EXPECT_EQ(f.ws->destroy(w2), WindowStatus::Ok);
}

}  // namespace
