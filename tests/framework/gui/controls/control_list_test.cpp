#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "framework/gui/controls/CControlDropDownList.h"
#include "tests/framework/gui/controls/ControlHarness.h"

namespace {

using tbtest::ControlHarness;
using Log = std::vector<std::string>;

CControlDropDownList* makeList(ControlHarness& h, int32_t count, int32_t x = 100, int32_t y = 20)
{
    auto* list = new CControlDropDownList(11, x, y, 60, 15);
    for (int32_t i = 0; i < count; ++i)
        list->addItem(("Item " + std::to_string(i)).c_str(), false, false, false);
    return h.add(list);
}

// Editor point at the middle of row `index` of an open list.
Point rowPoint(CControlDropDownList* list, int32_t index)
{
    const Rect r = list->getItemRect(index);
    return Point {list->listRect.x + r.x + r.w / 2, list->listRect.y + r.y + r.h / 2};
}

TEST(DropDownList, TenRowsFitBelowTheControl)
{
    ControlHarness h;
    auto* list = makeList(h, 10);
    h.press(110, 25);
    ASSERT_TRUE(list->isOpen());
    // Row height is the font's 11 plus the line spacing of 4.
    EXPECT_EQ(list->itemHeight, 15);
    EXPECT_EQ(list->scrollable, 0);
    EXPECT_EQ(list->listRect.h, list->itemHeight * 10 + 6 + 8);
    EXPECT_EQ(list->listRect.y, 20 + 15 + 2);
    EXPECT_EQ(list->getRect().y, list->listRect.y);  // clicks anywhere in the list reach it
}

TEST(DropDownList, ListsNearTheEdgesMoveInside)
{
    ControlHarness h(200, 300);
    auto* list = makeList(h, 8, 270, 150);
    h.press(275, 155);
    EXPECT_EQ(list->listRect.y + list->listRect.h, 200 + 8);
    EXPECT_EQ(list->listRect.x + list->listRect.w, 300 + 8);
}

TEST(DropDownList, ScrollingListOpensTenRowsAboveTheCurrentItem)
{
    ControlHarness h(156, 300);  // a visible area of exactly ten rows
    auto* list = makeList(h, 60, 100, 0);
    list->setValue(3.0f);
    h.press(110, 5);
    EXPECT_EQ(list->scrollable, 1);
    EXPECT_EQ(list->visibleHeight, 150);
    EXPECT_EQ(list->scrollPos, 0.0);
    h.press(1, 1);  // outside every row: closes
    EXPECT_FALSE(list->isOpen());
    list->setValue(40.0f);
    h.press(110, 5);
    EXPECT_NEAR(list->scrollPos, 0.6, 1e-12);
    // One notch: fifteen pixels of thumb travel.
    const double before = list->scrollPos;
    h.wheel(1);
    EXPECT_NEAR(before - list->scrollPos, 15 * list->scrollPerPixel, 1e-12);
    EXPECT_TRUE(h.log.empty());
}

TEST(DropDownList, RowsScrolledOutOfViewCannotBeChosen)
{
    // Regression: a click above the open list chose a row scrolled out of view.
    ControlHarness h(156, 300);
    auto* list = makeList(h, 60, 100, 0);
    list->setValue(40.0f);
    h.press(110, 5);
    ASSERT_GT(list->scrollPos, 0.0);
    const Point hidden = rowPoint(list, 0);  // far above the panel
    EXPECT_EQ(list->getItemAt(hidden.x, list->listRect.y + 1), nullptr);
    EXPECT_EQ(list->getItemAt(hidden.x, list->listRect.y + list->listRect.h - 2), nullptr);
    const Point shown = rowPoint(list, 35);
    EXPECT_EQ(list->getItemAt(shown.x, shown.y), list->getItem(35));
}

TEST(DropDownList, ChoosingReportsEvenTheSameItemAgain)
{
    ControlHarness h;
    auto* list = makeList(h, 5);
    for (int i = 0; i < 2; ++i) {
        h.press(110, 25);
        const Point p = rowPoint(list, 2);
        h.move(p.x, p.y);
        EXPECT_EQ(list->hoveredItem, list->getItem(2));
        h.press(p.x, p.y);
        h.release(p.x, p.y);
    }
    EXPECT_EQ(h.log, (Log {"notify 11 2.000", "change 11 2.000", "notify 11 2.000", "change 11 2.000"}));
    EXPECT_FALSE(list->isOpen());
    EXPECT_EQ(list->getRect().y, 20);
    list->draw(h.back());
    EXPECT_STREQ(list->getText(), "Item 2");
}

TEST(DropDownList, CommandItemIsSeenOnceAndTheFormerChoiceStays)
{
    ControlHarness h;
    auto* list = makeList(h, 3);
    list->addItem("Run", true, false, false);
    list->addItem("", false, false, false)->kind = DropDownItem::kSeparator;
    list->addTitleItem("Heading");
    list->setValue(1.0f);
    float seen = -1.0f;
    h.onChange = [&](CControl* c) {
        seen = c->getValue();
        // The owner may rebuild the items while it handles the command.
        static_cast<CControlDropDownList*>(c)->removeAllItems();
        static_cast<CControlDropDownList*>(c)->addItem("Rebuilt", false, false, false);
        static_cast<CControlDropDownList*>(c)->addItem("Again", false, false, false);
    };
    h.press(110, 25);
    Point p = rowPoint(list, 3);
    h.press(p.x, p.y);
    EXPECT_EQ(seen, 3.0f);
    EXPECT_EQ(list->getValue(), 1.0f);
    EXPECT_EQ(h.log, (Log {"notify 11 3.000", "change 11 3.000"}));
    list->draw(h.back());
    EXPECT_STREQ(list->getText(), "Again");
    // Separators and titles only close the list.
    h.onChange = nullptr;
    list->addItem("", false, false, false)->kind = DropDownItem::kSeparator;
    list->addItem("Heading", false, false, false)->kind = DropDownItem::kTitle;
    for (int32_t row : {2, 3}) {
        h.press(110, 25);
        p = rowPoint(list, row);
        h.press(p.x, p.y);
        EXPECT_FALSE(list->isOpen());
    }
    EXPECT_EQ(h.log.size(), 2u);
}

TEST(DropDownList, FadeReachesTheListOpacityInFourTicks)
{
    ControlHarness h;
    auto* list = makeList(h, 4);
    list->panelColor = Color::rgba(255, 255, 255);
    h.back()->resetClip();
    h.back()->setFillColor(Color {});
    h.back()->fillRect(0, 0, 300, 200);
    h.press(110, 25);
    const Point inside {list->listRect.x + list->listRect.w - list->shadowWidth - 4, list->listRect.y + 5};
    std::vector<uint32_t> red;
    for (int i = 0; i < 5; ++i) {
        list->draw(h.back());
        red.push_back((h.back()->pixelAt(inside.x, inside.y) >> 16) & 0xFF);
        list->onTimer();
    }
    // Opacity 0, 72, 144, 216, 240 of 255 over black.
    EXPECT_EQ(red, (std::vector<uint32_t> {0, 71, 143, 215, 239}));
    h.press(1, 1);
    h.back()->resetClip();
    h.back()->fillRect(0, 0, 300, 200);
    list->fadeStep = 0.0f;
    h.press(110, 25);
    list->draw(h.back());
    EXPECT_EQ((h.back()->pixelAt(inside.x, inside.y) >> 16) & 0xFF, 239u);
}

TEST(DropDownList, TheSavedBackgroundIgnoresTheFramesLastClip)
{
    // Regression: with the clip of the last drawn control still set, the save
    // under the list copied black.
    ControlHarness h;
    auto* list = makeList(h, 4);
    h.back()->resetClip();
    h.back()->setFillColor(Color::rgba(0, 0, 200));
    h.back()->fillRect(0, 0, 300, 200);
    h.back()->setClip(Rect {0, 0, 3, 3});
    h.press(110, 25);
    const Rect l = list->listRect;
    EXPECT_EQ(list->backgroundSave->pixelAt(l.w - 1, 0) & 0xFFFFFF, 200u);
    EXPECT_EQ(list->backgroundSave->pixelAt(0, l.h - 1) & 0xFFFFFF, 200u);
}

TEST(DropDownList, SqueezedScrollBarNeverDividesByZero)
{
    ControlHarness h(12, 300);
    auto* list = makeList(h, 20, 100, 0);
    list->setValue(15.0f);
    h.press(110, 2);
    ASSERT_TRUE(list->isOpen());
    EXPECT_EQ(list->scrollable, 1);
    EXPECT_TRUE(std::isfinite(list->scrollPerPixel));
    h.wheel(-2);
    EXPECT_TRUE(std::isfinite(list->scrollPos));
    EXPECT_GE(list->scrollPos, 0.0);
    EXPECT_LE(list->scrollPos, 1.0);
    list->draw(h.back());
}

TEST(DropDownList, ThumbDragScrollsAndCancelClosesWithoutChoosing)
{
    ControlHarness h(156, 300);
    auto* list = makeList(h, 60, 100, 0);
    h.press(110, 5);
    Rect thumb;
    list->getScrollRects(&thumb, nullptr);
    const Point grab {list->listRect.x + thumb.x + 1, list->listRect.y + thumb.y + 1};
    h.press(grab.x, grab.y);
    EXPECT_EQ(list->draggingThumb, 1);
    h.move(grab.x, grab.y + 10);
    EXPECT_NEAR(list->scrollPos, 10 * list->scrollPerPixel, 1e-12);
    h.release(grab.x, grab.y + 10);
    EXPECT_EQ(list->draggingThumb, 0);
    EXPECT_TRUE(list->isOpen());
    list->cancel();
    EXPECT_FALSE(list->isOpen());
    EXPECT_FALSE(h.root()->isActive());
    EXPECT_TRUE(h.log.empty());
}

TEST(DropDownList, LongItemTextsAreCutAtACharacterBoundary)
{
    CControlDropDownList list(-1, 0, 0, 50, 15);
    // 255 ASCII bytes and a two-byte character that would straddle the limit.
    const std::string text = std::string(255, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(std::strlen(list.addItem(text.c_str(), false, false, false)->text), 255u);
    EXPECT_STREQ(list.addItem(nullptr, false, false, false)->text, "<none>");
    EXPECT_EQ(list.getItemCount(), 2);
}

TEST(DropDownList, ValuePastTheItemsShowsNone)
{
    ControlHarness h;
    auto* list = makeList(h, 2);
    list->setValue(5.0f);
    list->draw(h.back());
    EXPECT_STREQ(list->getText(), "<none>");
    list->showItemText = 0;
    list->draw(h.back());
    EXPECT_STREQ(list->getText(), "");
}

}  // namespace
