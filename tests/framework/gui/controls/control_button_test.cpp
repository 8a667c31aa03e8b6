#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/gui/controls/CControlButton.h"
#include "tests/framework/gui/controls/ControlHarness.h"

namespace {

using tbtest::ControlHarness;
using tbtest::framePixel;
using Log = std::vector<std::string>;

class ButtonTest : public ::testing::Test {
protected:
    CControlButton* addButton(int32_t mode, int32_t id = 2)
    {
        auto* b = new CControlButton(id, 10, 10, 16, 8);
        b->mode = mode;
        b->picture = picture.get();
        h.add(b);
        b->setValue(0.0f);  // the engine's values start at 0.25
        return b;
    }
    // The frame the button shows, read back from the back buffer.
    int32_t shownFrame(CControlButton* b)
    {
        b->draw(h.back());
        return static_cast<int32_t>(h.back()->pixelAt(15, 14) & 0xFF);
    }
    ControlHarness h;
    std::unique_ptr<CBitmap> picture = tbtest::stripPicture(16, 8, 4);
};

TEST_F(ButtonTest, ToggleClickFramesOneChangeWithBeginAndEnd)
{
    addButton(CControlButton::kToggle);
    h.press(12, 12);
    h.release(12, 12);
    EXPECT_EQ(h.log, (Log {"begin 2", "notify 2 1.000", "change 2 1.000", "end 2"}));
    EXPECT_EQ(h.engineValue(2), 1.0f);
}

TEST_F(ButtonTest, MomentaryReportsPressAndReleaseAfterTheEditEnds)
{
    auto* b = addButton(CControlButton::kMomentary);
    h.press(12, 12);
    h.release(12, 12);
    EXPECT_EQ(
        h.log, (Log {"begin 2", "notify 2 1.000", "change 2 1.000", "end 2", "notify 2 0.000", "change 2 0.000"}));
    // A press while already on still reports.
    b->setValue(1.0f);
    h.log.clear();
    h.press(12, 12);
    EXPECT_EQ(h.log, (Log {"begin 2", "notify 2 1.000", "change 2 1.000"}));
}

TEST_F(ButtonTest, HeldToggleShowsItsFourFrames)
{
    auto* b = addButton(CControlButton::kToggleHeld);
    h.press(12, 12);
    EXPECT_EQ(shownFrame(b), 1);  // on and pressed
    h.release(12, 12);
    EXPECT_EQ(shownFrame(b), 2);  // on
    h.press(12, 12);
    EXPECT_EQ(shownFrame(b), 3);  // off and pressed
    h.release(12, 12);
    EXPECT_EQ(shownFrame(b), 0);
    EXPECT_EQ(h.log.back(), "end 2");
}

TEST_F(ButtonTest, CrossFadeTakesFourTicksAlsoForHostChanges)
{
    auto* b = addButton(CControlButton::kToggleFade);
    b->setValue(1.0f);  // as the host would
    std::vector<float> seen;
    for (int i = 0; i < 5; ++i) {
        b->setDirty(false);
        b->onTimer();
        seen.push_back(b->isDirty() ? b->fadePos : -1.0f);
    }
    EXPECT_EQ(seen, (std::vector<float> {0.25f, 0.5f, 0.75f, 1.0f, -1.0f}));
    // Half way, the two frames are blended: frame 0 (blue 0) at 1 - 0.5, frame 1
    // (blue 1, green 10) at 0.5 over it.
    b->fadePos = 0.5f;
    h.back()->resetClip();
    h.back()->setFillColor(Color {});
    h.back()->fillRect(0, 0, 100, 100);
    b->draw(h.back());
    const uint32_t p = h.back()->pixelAt(15, 14);
    EXPECT_EQ((p >> 8) & 0xFF, (10u * 127) >> 8);
}

TEST_F(ButtonTest, DisabledOrPictureLessButtonsDoNothing)
{
    auto* b = addButton(CControlButton::kToggle);
    b->disabled = 1;
    h.press(12, 12);
    EXPECT_TRUE(h.log.empty());
    EXPECT_EQ(b->getValue(), 0.0f);
    auto* bare = h.add(new CControlButton(3, 40, 10, 16, 8));
    bare->showText = 1;
    h.back()->setFillColor(Color::rgba(1, 2, 3));
    h.back()->resetClip();
    h.back()->fillRect(0, 0, 100, 100);
    bare->draw(h.back());
    EXPECT_EQ(h.back()->pixelAt(45, 12) & 0xFFFFFF, 0x010203u);
}

}  // namespace
