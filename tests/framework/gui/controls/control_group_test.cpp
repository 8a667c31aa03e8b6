#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "framework/gui/CPluginUI.h"
#include "framework/gui/controls/CControlButton.h"
#include "framework/gui/controls/CControlDropDownList.h"
#include "framework/gui/controls/CControlKnob.h"
#include "framework/gui/controls/CControlNumber.h"
#include "framework/gui/controls/CControlTextDisplay.h"
#include "tests/framework/gui/controls/ControlHarness.h"

namespace {

using tbtest::ControlHarness;

// Logs every press, wheel step and timer tick under its name; a hook may run
// once on the next event.
class Probe : public CControlTextDisplay {
public:
    Probe(
        std::vector<std::string>& journal, const char* probeName, int32_t x, int32_t y, int32_t w = 10, int32_t h = 10)
        : CControlTextDisplay(-1, x, y, w, h)
        , log(journal)
        , name(probeName)
    {
    }
    void onLeftDown(int32_t, int32_t) override { note("down"); }
    void onWheel(int32_t, int32_t) override { note("wheel"); }
    void onTimer() override { note("timer"); }
    void note(const char* what)
    {
        log.push_back(name + " " + what);
        if (hook) {
            auto h = std::move(hook);
            hook = nullptr;
            h();
        }
    }
    std::vector<std::string>& log;
    std::string name;
    std::function<void()> hook;
};

TEST(ControlBase, SetValueComparesBitPatternsAndMarksOnlyOnChange)
{
    CControlTextDisplay c(1, 0, 0, 10, 10);
    c.setDirty(false);
    EXPECT_FALSE(c.setValue(0.0f));
    EXPECT_FALSE(c.isDirty());
    EXPECT_TRUE(c.setValue(-0.0f));  // a different bit pattern
    EXPECT_TRUE(c.isDirty());
    EXPECT_TRUE(std::signbit(c.getValue()));
}

TEST(ControlBase, WithoutGroupForwardsNothingAndAnswersDefaults)
{
    CControlTextDisplay c(1, 0, 0, 10, 10);
    EXPECT_EQ(c.getEditor(), nullptr);
    EXPECT_EQ(c.getEditorSize().height, 100);
    EXPECT_EQ(c.getMousePos().x, -1);
    EXPECT_EQ(c.getDefaultValue(), 0.0f);
    char text[16] = "kept";
    c.getName(text);
    EXPECT_STREQ(text, "kept");
    EXPECT_FALSE(c.hasCapture());
    c.cancel();
}

TEST(ControlBase, SetTextIsBoundedToTheBuffer)
{
    // Regression: an unbounded copy ran past the 1,024-byte text buffer.
    CControlTextDisplay c(1, 0, 0, 10, 10);
    const std::string longText(3000, 'x');
    c.setText(longText.c_str());
    EXPECT_EQ(std::strlen(c.getText()), 1023u);
    c.setText(nullptr);
    EXPECT_STREQ(c.getText(), "");
}

TEST(ControlGroup, PressGoesToFirstVisibleHitAndWheelToEveryControl)
{
    ControlHarness h;
    std::vector<std::string> log;
    auto* hidden = h.add(new Probe(log, "hidden", 0, 0, 20, 20));
    hidden->hidden = true;
    h.add(new Probe(log, "first", 5, 5, 20, 20));
    h.add(new Probe(log, "second", 5, 5, 20, 20));
    h.press(6, 6);
    h.wheel(1);
    EXPECT_EQ(log, (std::vector<std::string> {"first down", "hidden wheel", "first wheel", "second wheel"}));
}

TEST(ControlGroup, FocusedControlTakesEventsAndIsTheOnlyOneIdled)
{
    ControlHarness h;
    std::vector<std::string> log;
    auto* a = h.add(new Probe(log, "a", 0, 0));
    auto* b = h.add(new Probe(log, "b", 50, 50));
    b->setFocus(true);
    EXPECT_TRUE(h.root()->isActive());
    h.press(1, 1);
    h.wheel(1);
    h.tick();
    EXPECT_EQ(log, (std::vector<std::string> {"b down", "b wheel", "b timer"}));
    b->setFocus(false);
    EXPECT_FALSE(h.root()->isActive());
    // Focus given while the group was already active leaves it active.
    h.root()->setActive(true);
    a->setFocus(true);
    a->setFocus(false);
    EXPECT_TRUE(h.root()->isActive());
}

TEST(ControlGroup, IdleMarksHoverChangesAndDrawsDirtyControls)
{
    ControlHarness h;
    auto* c = h.add(new CControlTextDisplay(-1, 10, 10, 20, 20));
    h.tick();
    EXPECT_FALSE(c->isDirty());
    h.root()->idle(true, 15, 15);
    EXPECT_TRUE(c->isHovered());
    EXPECT_FALSE(c->isDirty());  // marked and drawn in the same pass
    c->backColor = Color::rgba(0, 0, 250);
    c->setText("");
    h.root()->idle(true, 0, 0);
    EXPECT_FALSE(c->isHovered());
    EXPECT_EQ(h.back()->pixelAt(12, 12) & 0xFFFFFF, 250u);
}

TEST(ControlGroup, ListQueriesAndRemovalReleaseTheGroupCapture)
{
    ControlHarness h;
    std::vector<std::string> log;
    auto* a = h.add(new Probe(log, "a", 0, 0));
    auto* b = h.add(new Probe(log, "b", 20, 0));
    auto* c = h.add(new Probe(log, "c", 40, 0));
    EXPECT_EQ(h.root()->getControlByIndex(-1), a);
    EXPECT_EQ(h.root()->getControlByIndex(3), nullptr);
    c->capture(false);
    EXPECT_TRUE(c->hasCapture());
    EXPECT_EQ(h.root()->removeControl(a), b);
    EXPECT_FALSE(c->hasCapture());
    EXPECT_EQ(h.root()->removeControl(a), nullptr);  // already gone
    // A group without an editor answers "undefined".
    CControlGroup lone(nullptr, 3);
    auto* orphan = new CControlTextDisplay(4, 0, 0, 5, 5);
    lone.addControl(orphan);
    char text[16] = {};
    orphan->getName(text);
    EXPECT_STREQ(text, "undefined");
}

TEST(ControlGroup, ControlRemovedDuringWheelWalkIsSkipped)
{
    // Regression: the walk read the next control from one that its own handler
    // had just destroyed.
    ControlHarness h;
    std::vector<std::string> log;
    auto* a = h.add(new Probe(log, "a", 0, 0));
    auto* b = h.add(new Probe(log, "b", 20, 0));
    h.add(new Probe(log, "c", 40, 0));
    a->hook = [&] { h.root()->removeControl(b); };
    h.wheel(1);
    b = nullptr;
    // A control that removes itself: the walk goes on with its successor.
    h.add(new Probe(log, "d", 60, 0));
    a->hook = [&] { h.root()->removeControl(a); };
    h.wheel(1);
    EXPECT_EQ(log, (std::vector<std::string> {"a wheel", "c wheel", "a wheel", "c wheel", "d wheel"}));
}

TEST(ControlGroup, GroupDestroyedByItsOwnControlEndsTheIdlePass)
{
    ControlHarness h;
    std::vector<std::string> log;
    auto* group = new CControlGroup(h.editor(), 7);
    h.editor()->addGroup(group);
    auto* a = new Probe(log, "a", 0, 0);
    group->addControl(a);
    group->addControl(new Probe(log, "b", 20, 0));
    a->hook = [&] { h.editor()->removeGroup(group); };
    h.tick();
    EXPECT_EQ(log, (std::vector<std::string> {"a timer"}));
    EXPECT_EQ(h.editor()->getGroupById(7), nullptr);
}

// Regression: the list, the button, the number and the knob went on with
// themselves after a change report whose handler had deleted them.
TEST(ControlGroup, AControlItsOwnChangeRemovesLivesOutTheCall)
{
    using Log = std::vector<std::string>;
    ControlHarness h;
    h.setDefault(0.75f);
    const auto alone = [&](auto* c) {
        h.add(c);
        h.log.clear();
        return c;
    };
    const auto removeChanged = [&](CControl* c) { h.root()->removeControl(c); };
    h.onChange = removeChanged;

    alone(new CControlButton(1, 10, 10, 20, 20))->setValue(0.0f);
    h.press(15, 15);
    EXPECT_EQ(h.log, (Log {"begin 1", "notify 1 1.000", "change 1 1.000", "end 1"}));
    EXPECT_EQ(h.root()->controls, nullptr);
    alone(new CControlButton(1, 10, 10, 20, 20))->mode = CControlButton::kMomentary;
    h.press(15, 15);
    EXPECT_FALSE(h.editor()->isMouseCaptured());  // a removed control takes no capture

    for (const bool alt : {true, false}) {
        alone(new CControlNumber(2, 10, 10, 30, 20))->setValue(0.0f);
        alt ? h.press(20, 20, kModifierAlt) : h.rightPress(20, 20);
        EXPECT_EQ(h.log, (Log {"begin 2", "notify 2 0.750", "change 2 0.750", "end 2"}));
        EXPECT_EQ(h.root()->controls, nullptr);
    }

    h.onChange = nullptr;
    auto* knob = alone(new CControlKnob(3, 10, 10, 22, 22));
    knob->springBack = 1;
    knob->popup = 1;
    h.press(20, 20);
    h.move(20, 10);
    h.onChange = removeChanged;
    h.release(20, 10);
    EXPECT_EQ(h.root()->controls, nullptr);

    h.onChange = nullptr;
    auto* list = alone(new CControlDropDownList(4, 100, 20, 60, 15));
    list->addItem("Run", true, false, false);
    h.press(110, 25);
    const Rect row = list->getItemRect(0);
    h.onChange = removeChanged;
    h.press(list->listRect.x + row.x + 5, list->listRect.y + row.y + 2);
    EXPECT_EQ(h.log, (Log {"notify 4 0.000", "change 4 0.000"}));
    EXPECT_EQ(h.root()->controls, nullptr);

    // The handler may take the control's whole group with it.
    auto* group = new CControlGroup(h.editor(), 7);
    h.editor()->addGroup(group);
    group->addControl(new CControlNumber(5, 10, 10, 30, 20));
    h.onChange = [&](CControl*) { h.editor()->removeGroup(group); };
    h.rightPress(20, 20);
    EXPECT_EQ(h.editor()->getGroupById(7), nullptr);
}

// Regression: destroying a group let go of the mouse even when a control of
// another group held it: that drag lost its release and the host its end-edit.
TEST(ControlGroup, DestroyedGroupLeavesAnotherGroupsDragAlone)
{
    ControlHarness h;
    auto* n = h.add(new CControlNumber(1, 10, 10, 30, 20));
    auto* other = new CControlGroup(h.editor(), 7);
    h.editor()->addGroup(other);
    h.press(20, 20);
    h.editor()->removeGroup(other);
    EXPECT_TRUE(n->hasCapture());
    h.release(20, 20);
    EXPECT_EQ(h.log.back(), "end 1");
}

TEST(ControlGroup, GlowDrawsAHaloAtTheScaledAlpha)
{
    ControlHarness h;
    auto* c = h.add(new CControlTextDisplay(-1, 10, 10, 60, 20));
    c->setText("Wq");
    c->glow = 0.5f;
    c->draw(h.back());
    // The same text drawn by hand with a halo alpha of 127.
    CDrawBuffer expected;
    ASSERT_TRUE(expected.create(h.back()->getHeight(), h.back()->getWidth(), false));
    expected.setFillColor(Color {});
    expected.fillRect(10, 10, 60, 20);
    expected.setClip(Rect {10, 10, 60, 20});
    expected.setTextColor(Color::rgba(255, 255, 255, 127));
    for (const auto& o : {Point {-1, 0}, Point {1, 0}, Point {0, -1}, Point {0, 1}})
        expected.drawText("Wq", 10 + o.x, 10 + o.y, 60, 20, 2, false);
    expected.setTextColor(Color::rgba(255, 255, 255));
    expected.drawText("Wq", 10, 10, 60, 20, 2, false);
    int differing = 0;
    int lit = 0;
    for (int32_t y = 10; y < 30; ++y)
        for (int32_t x = 10; x < 70; ++x) {
            differing += (h.back()->pixelAt(x, y) & 0xFFFFFF) != (expected.pixelAt(x, y) & 0xFFFFFF);
            lit += (expected.pixelAt(x, y) & 0xFF) != 0;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(lit, 20);
}

}  // namespace
