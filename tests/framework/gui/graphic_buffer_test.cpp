#include <gtest/gtest.h>

#include <cmath>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CGraphicBuffer.h"
#include "platform/headless/HeadlessScreen.h"
#include "tests/framework/gui/PixelHelpers.h"

namespace {

using tbtest::bgrx;

TEST(GraphicBuffer, CreateRefusesEmptyAndOversizedSurfacesAndKeepsSameSize)
{
    CGraphicBuffer s;
    EXPECT_FALSE(s.isValid());
    EXPECT_FALSE(s.create(0, 10, false));
    EXPECT_FALSE(s.create(10, -1, false));
    EXPECT_FALSE(s.create(16385, 1, false));
    EXPECT_FALSE(s.create(16384, 16384, false));  // area over 2^26
    ASSERT_TRUE(s.create(4, 6, false));
    EXPECT_EQ(s.getSize().height, 4);
    EXPECT_EQ(s.getSize().width, 6);
    s.rowOf(1)[2] = 0x123456;
    s.setClip(Rect {1, 1, 2, 2});
    // Same size: contents and clip stay, and no plane is added.
    EXPECT_TRUE(s.create(4, 6, true));
    EXPECT_EQ(s.pixelAt(2, 1), 0x123456u);
    EXPECT_FALSE(s.hasAlphaPlane());
    EXPECT_EQ(s.getClip().w, 2);
    ASSERT_TRUE(s.create(5, 6, true));
    EXPECT_TRUE(s.hasAlphaPlane());
    EXPECT_EQ(s.getClip().h, 5);
    s.release();
    EXPECT_FALSE(s.isValid());
    EXPECT_EQ(s.getSize().width, 0);
}

TEST(GraphicBuffer, RowsLieBottomUpInMemory)
{
    CGraphicBuffer s;
    ASSERT_TRUE(s.create(3, 2, false));
    s.rowOf(0)[1] = 7;
    EXPECT_EQ(s.getPixels()[2 * 2 + 1], 7u);
}

TEST(GraphicBuffer, ClipIntersectsAndAnEmptyClipKeepsTheWholeSurface)
{
    CGraphicBuffer s;
    ASSERT_TRUE(s.create(10, 20, false));
    EXPECT_TRUE(s.setClip(Rect {-5, 2, 10, 100}));
    EXPECT_EQ(s.getClip().x, 0);
    EXPECT_EQ(s.getClip().w, 5);
    EXPECT_EQ(s.getClip().h, 8);
    EXPECT_FALSE(s.setClip(Rect {30, 30, 5, 5}));
    EXPECT_EQ(s.getClip().w, 20);
    EXPECT_EQ(s.getClip().h, 10);
    Rect r {15, -3, 10, 5};
    EXPECT_TRUE(s.clipRect(r));
    EXPECT_EQ(r.x, 15);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.w, 5);
    EXPECT_EQ(r.h, 2);
    // Sums that would overflow 32 bits do not wrap into the surface.
    Rect huge {INT32_MAX - 1, 0, INT32_MAX, 5};
    EXPECT_FALSE(s.clipRect(huge));
    Rect neg {INT32_MIN, 0, INT32_MAX, 5};
    EXPECT_FALSE(s.clipRect(neg));
}

class BlitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dst.create(8, 8, false));
        tbtest::fillAll(dst, bgrx(0, 0, 0, 9));
    }
    CGraphicBuffer dst;
};

TEST_F(BlitTest, DrawToCopiesWholePixelsWithoutAPlane)
{
    CGraphicBuffer src;
    ASSERT_TRUE(src.create(2, 2, false));
    tbtest::fillAll(src, bgrx(10, 20, 30, 40));
    EXPECT_TRUE(src.drawTo(&dst, 3, 4, 2, 2, 0, 0));
    EXPECT_EQ(dst.pixelAt(3, 4), bgrx(10, 20, 30, 40));
    EXPECT_EQ(dst.pixelAt(4, 5), bgrx(10, 20, 30, 40));
    EXPECT_EQ(dst.pixelAt(5, 5), bgrx(0, 0, 0, 9));
    EXPECT_EQ(dst.pixelAt(3, 6), bgrx(0, 0, 0, 9));
}

TEST_F(BlitTest, PlaneBlendShiftsBy8AndKeepsTheFourthByte)
{
    CGraphicBuffer src;
    ASSERT_TRUE(src.create(1, 3, true));
    tbtest::fillAll(src, bgrx(255, 255, 255));
    tbtest::setAlpha(src, 0, 0, 255);
    tbtest::setAlpha(src, 1, 0, 0);
    tbtest::setAlpha(src, 2, 0, 128);
    EXPECT_TRUE(src.drawTo(&dst, 0, 0, 3, 1, 0, 0));
    EXPECT_EQ(dst.pixelAt(0, 0), bgrx(254, 254, 254, 9));  // 255 over 0 lands as 254
    EXPECT_EQ(dst.pixelAt(1, 0), bgrx(0, 0, 0, 9));
    EXPECT_EQ(dst.pixelAt(2, 0), bgrx(127, 127, 127, 9));
}

TEST_F(BlitTest, DrawBlendedWithAndWithoutPlane)
{
    CGraphicBuffer plain;
    ASSERT_TRUE(plain.create(1, 1, false));
    tbtest::fillAll(plain, bgrx(255, 255, 255, 3));
    EXPECT_TRUE(plain.drawBlended(&dst, 0, 0, 1, 1, 0, 0, 128));
    EXPECT_EQ(dst.pixelAt(0, 0), bgrx(127, 127, 127, 9));
    EXPECT_FALSE(plain.drawBlended(&dst, 1, 0, 1, 1, 0, 0, 0));
    EXPECT_EQ(dst.pixelAt(1, 0), bgrx(0, 0, 0, 9));

    CGraphicBuffer withPlane;
    ASSERT_TRUE(withPlane.create(1, 1, true));
    tbtest::fillAll(withPlane, bgrx(255, 255, 255));
    tbtest::setAlpha(withPlane, 0, 0, 255);
    // a' = (255 * 128) >> 8 = 127, then (255 * 127) >> 8 = 126.
    EXPECT_TRUE(withPlane.drawBlended(&dst, 2, 0, 1, 1, 0, 0, 128));
    EXPECT_EQ(dst.pixelAt(2, 0), bgrx(126, 126, 126, 9));

    CGraphicBuffer a, b;
    ASSERT_TRUE(a.create(8, 8, false));
    ASSERT_TRUE(b.create(8, 8, false));
    tbtest::fillAll(a, bgrx(1, 2, 3, 4));
    tbtest::fillAll(b, bgrx(1, 2, 3, 4));
    withPlane.drawTo(&a, 1, 1, 1, 1, 0, 0);
    withPlane.drawBlended(&b, 1, 1, 1, 1, 0, 0, 255);
    EXPECT_EQ(a.pixelAt(1, 1), b.pixelAt(1, 1));
}

TEST_F(BlitTest, DestinationLeftOfTheClipMovesTheSourcePoint)
{
    CGraphicBuffer src;
    ASSERT_TRUE(src.create(1, 8, false));
    for (int x = 0; x < 8; ++x)
        src.rowOf(0)[x] = static_cast<uint32_t>(x + 1);
    ASSERT_TRUE(dst.setClip(Rect {2, 0, 6, 8}));
    Rect d {-3, 0, 8, 1};
    Point s {0, 0};
    ASSERT_TRUE(src.clipBlit(&dst, d, s));
    EXPECT_EQ(d.x, 2);
    EXPECT_EQ(d.w, 3);
    EXPECT_EQ(s.x, 5);
    ASSERT_TRUE(src.drawTo(&dst, -3, 0, 8, 1, 0, 0));
    EXPECT_EQ(dst.pixelAt(2, 0), 6u);
    EXPECT_EQ(dst.pixelAt(4, 0), 8u);
    EXPECT_EQ(dst.pixelAt(5, 0), bgrx(0, 0, 0, 9));
}

TEST_F(BlitTest, SourceCutOnTheLeftDoesNotMoveTheDestination)
{
    CGraphicBuffer src;
    ASSERT_TRUE(src.create(1, 4, false));
    for (int x = 0; x < 4; ++x)
        src.rowOf(0)[x] = static_cast<uint32_t>(x + 1);
    ASSERT_TRUE(src.drawTo(&dst, 3, 0, 4, 1, -2, 0));
    // Two source columns are cut, the copy still starts at x = 3.
    EXPECT_EQ(dst.pixelAt(3, 0), 1u);
    EXPECT_EQ(dst.pixelAt(4, 0), 2u);
    EXPECT_EQ(dst.pixelAt(5, 0), bgrx(0, 0, 0, 9));
}

TEST_F(BlitTest, MissingSurfacesDrawNothing)
{
    CGraphicBuffer empty;
    CGraphicBuffer src;
    ASSERT_TRUE(src.create(1, 1, false));
    EXPECT_FALSE(empty.drawTo(&dst, 0, 0, 1, 1, 0, 0));
    EXPECT_FALSE(src.drawTo(&empty, 0, 0, 1, 1, 0, 0));
    EXPECT_FALSE(src.drawTo(nullptr, 0, 0, 1, 1, 0, 0));
    EXPECT_FALSE(src.drawBlended(&empty, 0, 0, 1, 1, 0, 0, 7));
    EXPECT_FALSE(src.drawTo(&dst, 0, 0, 1, 1, 5, 5));  // source area outside the source
}

TEST_F(BlitTest, DrawBitmapAlphaClampsTheOpacity)
{
    CBitmap pic(1);
    ASSERT_TRUE(pic.create(1, 1, false));
    tbtest::fillAll(pic, bgrx(200, 200, 200));
    EXPECT_TRUE(drawBitmapAlpha(&dst, &pic, 0, 0, 1, 1, 0, 0, 7.5));  // clamps to 255: a plain copy
    EXPECT_EQ(dst.pixelAt(0, 0), bgrx(200, 200, 200));
    EXPECT_FALSE(drawBitmapAlpha(&dst, &pic, 1, 0, 1, 1, 0, 0, -1.0));
    EXPECT_EQ(dst.pixelAt(1, 0), bgrx(0, 0, 0, 9));
    EXPECT_FALSE(drawBitmapAlpha(&dst, &pic, 1, 0, 1, 1, 0, 0, std::nan("")));
    // 0.5 * 255 = 127.5 truncates to 127.
    EXPECT_TRUE(drawBitmapAlpha(&dst, &pic, 2, 0, 1, 1, 0, 0, 0.5));
    EXPECT_EQ(tbtest::channel(dst.pixelAt(2, 0), 0), (200 * 127) >> 8);
    EXPECT_FALSE(drawBitmapAlpha(&dst, nullptr, 0, 0, 1, 1, 0, 0, 1.0));
    EXPECT_FALSE(drawBitmap(&dst, nullptr, 0, 0, 1, 1, 0, 0));
    CGraphicBuffer invalid;
    EXPECT_FALSE(drawBitmap(&invalid, &pic, 0, 0, 1, 1, 0, 0));
}

TEST(ScreenHandOver, CopyToDCPresentsTopDownRectangles)
{
    CGraphicBuffer back;
    ASSERT_TRUE(back.create(4, 4, false));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            back.rowOf(y)[x] = static_cast<uint32_t>(10 * y + x);
    platform::HeadlessScreen screen(4, 4);
    EXPECT_TRUE(back.copyToDC(&screen, 1, 1, 2, 2, 1, 1));
    EXPECT_EQ(screen.pixel(1, 1), 11u);
    EXPECT_EQ(screen.pixel(2, 2), 22u);
    EXPECT_EQ(screen.pixel(0, 0), 0u);
    // Parts outside either side are dropped, misuse is a status.
    EXPECT_TRUE(back.copyToDC(&screen, 3, 3, 100, 100, 0, 0));
    EXPECT_EQ(screen.pixel(3, 3), 0u);
    EXPECT_FALSE(back.copyToDC(nullptr, 0, 0, 1, 1, 0, 0));
    EXPECT_FALSE(back.copyToDC(&screen, 0, 0, -1, 1, 0, 0));
    CGraphicBuffer empty;
    EXPECT_FALSE(empty.copyToDC(&screen, 0, 0, 1, 1, 0, 0));
    EXPECT_EQ(screen.present(platform::PixelSource {}, 0, 0, 1, 1, 0, 0), platform::PresentStatus::BadArguments);
}

}  // namespace
