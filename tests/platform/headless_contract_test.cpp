#include <gtest/gtest.h>

#include "WindowContract.h"
#include "platform/headless/HeadlessWindowSystem.h"

namespace {

using platform::ScreenPoint;

class HeadlessDriver final : public contract::Driver {
public:
    platform::IWindowSystem& system() override { return ws; }
    uintptr_t makeParent(int32_t, int32_t) override { return ++lastParent; }
    void destroyParent(uintptr_t parent) override { ws.destroyParent(parent); }
    void moveCursor(ScreenPoint to) override { ws.moveCursor(to); }
    void button(int32_t b, bool down) override { down ? ws.pressButton(b) : ws.releaseButton(b); }
    void wheel(int32_t steps) override { ws.wheel(steps); }
    void key(int32_t k, bool down) override
    {
        down ? ws.keyDown(k) : ws.keyUp(k);
        hostPresses += down && ws.hostKeys() != hostKeysSeen;
        hostKeysSeen = ws.hostKeys();
    }
    int hostKeyPresses() override { return hostPresses; }
    void modifier(uint32_t bit, bool down) override
    {
        ws.setModifiers(down ? ws.modifierKeys() | bit : ws.modifierKeys() & ~bit);
    }
    void dropFile(platform::WindowId, const std::string& path) override { ws.dropFiles({path, "/second/file"}); }
    void stealCapture() override { ws.loseCapture(); }
    void giveBackCapture() override { }
    void wait(int32_t ms) override { ws.advance(ms); }
    int64_t now() override { return ws.now(); }
    bool readPixel(platform::WindowId w, int32_t x, int32_t y, uint32_t& out) override
    {
        out = ws.pixel(w, x, y) & 0xFFFFFFu;
        return true;
    }

    platform::HeadlessWindowSystem ws;
    uintptr_t lastParent = 0x100;
    int hostPresses = 0;
    int hostKeysSeen = 0;
};

}  // namespace

namespace contract {
extern const Backend kHeadless;
const Backend kHeadless {"headless", [] { return std::make_unique<HeadlessDriver>(); }};
}  // namespace contract

INSTANTIATE_TEST_SUITE_P(headless, WindowContract, ::testing::Values(&contract::kHeadless),
    [](const auto& info) { return std::string(info.param->name); });

// What only the headless backend promises: its time is the test's.
TEST(HeadlessWindowSystem, TimerTicksOnlyWhenItsIntervalHasPassed)
{
    struct Count final : platform::IWindowListener {
        void onWindowEvent(const platform::WindowEvent&) override { }
        void onWindowTimer() override { ++ticks; }
        int ticks = 0;
    } count;
    platform::HeadlessWindowSystem ws;
    platform::WindowId w = platform::kNoWindow;
    ASSERT_EQ(ws.createChild(1, 10, 10, &count, w), platform::WindowStatus::Ok);
    ASSERT_EQ(ws.setTimer(w, 50), platform::WindowStatus::Ok);
    ws.advance(49);
    ws.pump();
    EXPECT_EQ(count.ticks, 0);
    ws.advance(1);
    ws.pump();
    EXPECT_EQ(count.ticks, 1);
    ws.advance(500);  // late ticks are not made up
    ws.pump();
    ws.pump();
    EXPECT_EQ(count.ticks, 2);
    EXPECT_EQ(ws.timerInterval(w), 50);
}
