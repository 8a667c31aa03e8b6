// gtest and the controls first: Xlib's macros (None, Bool) would rewrite their names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/gui/controls/CControlButton.h"
#include "framework/gui/controls/CControlDropDownList.h"
#include "framework/gui/controls/CControlKnob.h"
#include "platform/x11/X11WindowSystem.h"
#include "tests/framework/gui/controls/ControlHarness.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace {

bool logged(const std::vector<std::string>& log, const std::string& line)
{
    return std::find(log.begin(), log.end(), line) != log.end();
}

// The host's window on its own connection, and the user's hand through XTest.
class RealWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        d = XOpenDisplay(nullptr);
        int event = 0, error = 0, major = 0, minor = 0;
        if (d == nullptr || !XTestQueryExtension(d, &event, &error, &major, &minor))
            GTEST_SKIP() << "needs an X display with XTest";
        parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 40, 30, 300, 200, 0, 0, 0);
        XMapWindow(d, parent);
        XSync(d, False);
    }
    void TearDown() override
    {
        if (d == nullptr)
            return;
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XDestroyWindow(d, parent);
        XCloseDisplay(d);
    }
    // Moves the pointer to (x, y) of the editor window (at the parent's origin).
    void pointAt(tbtest::ControlHarness& h, int32_t x, int32_t y)
    {
        int rx = 0, ry = 0;
        ::Window child = 0;
        XTranslateCoordinates(d, parent, DefaultRootWindow(d), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(d, -1, rx, ry, CurrentTime);
        XSync(d, False);
        h.pump(30);
    }
    void button(tbtest::ControlHarness& h, bool down)
    {
        XTestFakeButtonEvent(d, 1, down ? True : False, CurrentTime);
        XSync(d, False);
        h.pump(40);
    }

    Display* d = nullptr;
    ::Window parent = 0;
};

TEST_F(RealWindow, KnobDragButtonClickAndListChoice)
{
    tbtest::ControlHarness h(platform::x11WindowSystem(), parent, 200, 300);
    auto picture = tbtest::stripPicture(30, 20, 2);
    auto* knob = h.add(new CControlKnob(1, 40, 60, 22, 22));
    knob->setValue(0.5f);
    auto* onOff = h.add(new CControlButton(2, 120, 60, 30, 20));
    onOff->picture = picture.get();
    onOff->setValue(0.0f);
    auto* list = h.add(new CControlDropDownList(11, 180, 20, 60, 15));
    for (const char* item : {"Zero", "One", "Two", "Three"})
        list->addItem(item, false, false, false);
    list->setValue(0.0f);
    h.pump(150);

    // An endless drag of 40 pixels up with the cursor hidden.
    pointAt(h, 51, 71);
    button(h, true);
    for (int32_t step = 1; step <= 8; ++step)
        pointAt(h, 51, 71 - 5 * step);
    button(h, false);
    // The server's events come when they come on a loaded machine: wait for
    // the last one's effect rather than for a fixed time.
    EXPECT_TRUE(h.pumpUntil([&] { return !h.log.empty() && h.log.back() == "end 1"; }));
    EXPECT_NEAR(knob->getValue(), 0.7f, 0.011f);
    ASSERT_FALSE(h.log.empty());
    EXPECT_EQ(h.log.front(), "begin 1");
    EXPECT_EQ(h.log.back(), "end 1");

    h.log.clear();
    pointAt(h, 135, 70);
    button(h, true);
    button(h, false);
    EXPECT_TRUE(h.pumpUntil([&] { return !h.log.empty() && h.log.back() == "end 2"; }));
    EXPECT_EQ(h.log, (std::vector<std::string> {"begin 2", "notify 2 1.000", "change 2 1.000", "end 2"}));

    h.log.clear();
    pointAt(h, 210, 27);
    button(h, true);
    button(h, false);
    ASSERT_TRUE(h.pumpUntil([&] { return list->isOpen(); }));
    h.pump(250);  // the fade-in
    const Rect row = list->getItemRect(2);
    pointAt(h, list->listRect.x + row.x + row.w / 2, list->listRect.y + row.y + row.h / 2);
    button(h, true);
    button(h, false);
    EXPECT_TRUE(h.pumpUntil([&] { return !list->isOpen(); }));
    EXPECT_TRUE(logged(h.log, "notify 11 2.000"));
    EXPECT_EQ(list->getValue(), 2.0f);
}

}  // namespace
