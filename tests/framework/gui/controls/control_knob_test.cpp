#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "framework/gui/CPluginUI.h"
#include "framework/gui/controls/CControlKnob.h"
#include "tests/framework/gui/controls/ControlHarness.h"

namespace {

using tbtest::ControlHarness;
using tbtest::framePixel;
using Log = std::vector<std::string>;

// Value after a press at the centre of a control at `start` and a drag of `dy`
// pixels (negative: up).
float afterDrag(ControlHarness& h, CControlNumber* c, float start, int32_t dy, ModifierKeys mods = 0)
{
    c->setValue(start);
    h.press(20, 20, mods);
    h.move(20, 20 + dy);
    const float v = c->getValue();
    h.release(20, 20 + dy);
    return v;
}

TEST(ControlNumber, DragMovesTheValueByHalfTheSensitivityPerPixel)
{
    ControlHarness h;
    auto* n = h.add(new CControlNumber(1, 10, 10, 30, 20));
    EXPECT_NEAR(afterDrag(h, n, 0.5f, -40), 0.6f, 1e-6);
    EXPECT_NEAR(afterDrag(h, n, 0.5f, 40), 0.4f, 1e-6);
    EXPECT_NEAR(afterDrag(h, n, 0.5f, -40, kModifierCtrl), 0.52f, 1e-6);
    EXPECT_EQ(h.log.front(), "begin 1");
    EXPECT_EQ(h.log.back(), "end 1");
    EXPECT_EQ(h.engineValue(1), n->getValue());
}

TEST(ControlNumber, WheelAndZeroMovesChangeNothing)
{
    ControlHarness h;
    auto* n = h.add(new CControlNumber(1, 10, 10, 30, 20));
    n->setValue(0.5f);
    h.wheel(3);
    h.press(20, 20);
    h.move(20, 20);
    EXPECT_EQ(n->firstMove, 1);
    h.release(20, 20);
    EXPECT_EQ(h.log, (Log {"begin 1", "end 1"}));
}

// Regression: closing the editor during a drag left the host's gesture open;
// so did deleting it open (a host that closes the plug-in with the editor up),
// since the window went only after the part that forwards the end had gone.
TEST(ControlNumber, ClosingOrDeletingTheEditorMidDragEndsTheEdit)
{
    for (const bool closeFirst : {true, false}) {
        ControlHarness h;
        h.add(new CControlNumber(1, 10, 10, 30, 20));
        h.press(20, 20);
        h.move(20, 10);
        if (closeFirst)
            h.editor()->close();
        else
            h.destroyEditor();
        EXPECT_EQ(h.log.back(), "end 1");
    }
}

TEST(ControlKnob, DeadBandHoldsTheCentre)
{
    ControlHarness h;
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->deadBand = 0.1f;
    k->setValue(0.5f);
    h.press(20, 20);
    h.move(20, 19);
    EXPECT_NEAR(k->getValue(), 0.505f, 1e-6);
    // Dragging back down holds exactly 0.5 over the 20 pixels of the band.
    int32_t held = 0;
    for (int32_t d = 0; d <= 40; ++d) {
        h.move(20, 20 + d);
        held += k->getValue() == 0.5f;
    }
    EXPECT_GE(held, 20);
    EXPECT_LE(held, 21);
    EXPECT_NEAR(k->getValue(), 0.4f, 1e-5);
    h.release(20, 40);
    // From the top end: the press starts at 1.1, one pixel down gives 0.995.
    k->setValue(1.0f);
    h.press(20, 20);
    EXPECT_NEAR(k->position, 1.1f, 1e-6);
    h.move(20, 21);
    EXPECT_NEAR(k->getValue(), 0.995f, 1e-6);
    h.release(20, 21);
}

TEST(ControlKnob, OvershootDoesNotMoveTheOrigin)
{
    ControlHarness h;
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->setValue(0.5f);
    h.press(20, 20);
    h.move(20, -280);
    h.log.clear();
    h.move(20, -290);
    h.move(20, -130);
    EXPECT_TRUE(h.log.empty());
    EXPECT_EQ(k->getValue(), 1.0f);
    h.release(20, -130);
}

TEST(ControlKnob, AltAndRightPressSetTheDefaultAsOneEdit)
{
    ControlHarness h;
    h.setDefault(0.75f);
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->popup = 1;
    k->setValue(0.1f);
    h.press(20, 20, kModifierAlt);
    EXPECT_EQ(h.log, (Log {"begin 1", "notify 1 0.750", "change 1 0.750", "end 1"}));
    EXPECT_FALSE(k->hasCapture());
    EXPECT_EQ(k->popupBuffer, nullptr);
    k->setValue(0.1f);
    h.log.clear();
    h.rightPress(20, 20);
    EXPECT_EQ(h.log, (Log {"begin 1", "notify 1 0.750", "change 1 0.750", "end 1"}));
}

TEST(ControlKnob, SpringBackReportsTheDefaultBeforeTheEditEnds)
{
    ControlHarness h;
    h.setDefault(0.5f);
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->springBack = 1;
    h.press(20, 20);
    h.move(20, 10);
    h.release(20, 10);
    ASSERT_GE(h.log.size(), 3u);
    EXPECT_EQ(h.log[h.log.size() - 3], "notify 1 0.500");
    EXPECT_EQ(h.log.back(), "end 1");
}

TEST(ControlKnob, FrameFollowsTheDrawnValue)
{
    ControlHarness h;
    auto picture = tbtest::stripPicture(22, 22, 61);
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->picture = picture.get();
    k->frameCount = 61;
    const auto frameShown = [&](float v) {
        k->setValue(v);
        k->draw(h.back());
        return h.back()->pixelAt(15, 15);
    };
    EXPECT_EQ(frameShown(0.5f), framePixel(30));
    EXPECT_EQ(frameShown(0.999f), framePixel(59));
    EXPECT_EQ(frameShown(1.0f), framePixel(60));
    EXPECT_EQ(frameShown(std::nanf("")), framePixel(0));
    k->frameCount = 5;
    k->steps = 4;
    EXPECT_EQ(frameShown(0.74f), framePixel(2));  // drawn at 0.5
    k->reverse = 1;
    EXPECT_EQ(frameShown(0.0f), framePixel(4));
}

TEST(ControlKnob, SmoothingApproachesGeometricallyAndSnaps)
{
    ControlHarness h;
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->smoothing = 0.5f;
    k->shownValue = 0.0f;
    k->setValue(1.0f);
    std::vector<float> shown;
    for (int i = 0; i < 3; ++i) {
        k->onTimer();
        shown.push_back(k->shownValue);
    }
    EXPECT_EQ(shown, (std::vector<float> {0.5f, 0.75f, 0.875f}));
    for (int i = 0; i < 20; ++i)
        k->onTimer();
    EXPECT_EQ(k->shownValue, 1.0f);
}

TEST(ControlKnob, PointerStandsUpAtHalf)
{
    ControlHarness h;
    auto* k = h.add(new CControlKnob(1, 10, 10, 22, 22));
    k->pointer = 1;
    k->pointerColor = Color::rgba(255, 255, 255);
    k->lineWidth = 2;
    k->setValue(0.5f);
    k->draw(h.back());
    // Above the centre (21, 21) the pointer is lit; below it stays the black face.
    EXPECT_GT(h.back()->pixelAt(21, 14) & 0xFF, 100u);
    EXPECT_EQ(h.back()->pixelAt(21, 28) & 0xFFFFFF, 0u);
}

TEST(ControlKnob, PopupOpensBelowOrAboveNearTheBottomAndSavesTheWholeBackground)
{
    ControlHarness h(200, 300);
    for (const int32_t y : {20, 170}) {
        auto* k = h.add(new CControlKnob(1, 100, y, 22, 22));
        k->popup = 1;
        h.back()->resetClip();
        h.back()->setFillColor(Color::rgba(255, 255, 255));
        h.back()->fillRect(0, 0, 300, 200);
        // The frame leaves the clip on the last control it drew (regression: the
        // save then copied black).
        h.back()->setClip(Rect {0, 0, 5, 5});
        h.press(105, y + 5);
        ASSERT_NE(k->popupBuffer, nullptr);
        const Rect p = k->popupRect;
        if (y == 20)
            EXPECT_EQ(p.y, y + 22 + 4);
        else
            EXPECT_EQ(p.y, y - p.h - 4);
        k->draw(h.back());
        // The box's gradient (249, 249, 235) stands where the popup says.
        EXPECT_EQ(h.back()->pixelAt(p.x + 3, p.y + 2) & 0xFFFFFF, 0xF9F9EBu);
        // Outside the box, beside the shadow, the editor's white shows through.
        EXPECT_EQ(k->popupBuffer->pixelAt(p.w - 1, 0) & 0xFFFFFF, 0xFFFFFFu);
        h.release(105, y + 5);
        EXPECT_EQ(k->popupBuffer, nullptr);
        EXPECT_TRUE(h.editor()->isDirty());
        h.root()->removeControl(k);
    }
}

}  // namespace
