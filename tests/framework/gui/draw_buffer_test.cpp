#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/gui/CDrawBuffer.h"
#include "tests/framework/gui/PixelHelpers.h"

namespace {

using tbtest::bgrx;
using tbtest::channel;

class DrawTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(s.create(12, 16, false)); }
    void paint(uint32_t v) { tbtest::fillAll(s, v); }
    CDrawBuffer s;
};

TEST_F(DrawTest, StartsWithBlackColoursWidthOneAndFontZero)
{
    EXPECT_EQ(s.getPenColor().packed(), Color {}.packed());
    EXPECT_EQ(s.getFillColor().a, 255);
    EXPECT_EQ(s.getTextColor().packed(), Color {}.packed());
    EXPECT_EQ(s.getLineWidth(), 1);
    EXPECT_EQ(s.getDrawFlags(), 0);
    EXPECT_EQ(s.getFont(), 0);
    EXPECT_EQ(s.penX, 0.0);
}

TEST_F(DrawTest, FillRectOpaqueTranslucentAndInvisible)
{
    paint(bgrx(255, 255, 255, 77));
    s.setFillColor(Color::rgba(200, 0, 10, 128));
    s.fillRect(1, 1, 2, 2);
    // (c * 128 + 255 * 127) >> 8, fourth byte untouched.
    EXPECT_EQ(s.pixelAt(1, 1), bgrx((10 * 128 + 255 * 127) >> 8, 126, 226, 77));
    EXPECT_EQ(s.pixelAt(3, 1), bgrx(255, 255, 255, 77));
    s.setFillColor(Color::rgba(1, 2, 3, 255));
    s.fillRect(-5, -5, 6, 6);  // clipped to the top-left pixel
    EXPECT_EQ(s.pixelAt(0, 0), bgrx(3, 2, 1, 0));
    EXPECT_EQ(s.pixelAt(1, 0), bgrx(255, 255, 255, 77));
    s.setFillColor(Color::rgba(9, 9, 9, 0));
    s.fillRect(0, 0, 16, 12);
    EXPECT_EQ(s.pixelAt(5, 5), bgrx(255, 255, 255, 77));
}

TEST_F(DrawTest, FrameWithWidthZeroIsOnePixelAndBlendsCornersOnce)
{
    paint(bgrx(0, 0, 0));
    s.setLineWidth(0);
    s.setPenColor(Color::rgba(255, 255, 255, 128));
    const Color fill = Color::rgba(5, 6, 7, 8);
    s.setFillColor(fill);
    s.frameRect(2, 2, 5, 4);
    EXPECT_EQ(s.getLineWidth(), 1);
    EXPECT_EQ(s.getFillColor().packed(), fill.packed());
    const uint8_t once = (255 * 128) >> 8;
    for (int x = 2; x <= 6; ++x) {
        EXPECT_EQ(channel(s.pixelAt(x, 2), 0), once) << x;
        EXPECT_EQ(channel(s.pixelAt(x, 5), 0), once) << x;
    }
    for (int y = 3; y <= 4; ++y) {
        EXPECT_EQ(channel(s.pixelAt(2, y), 0), once);
        EXPECT_EQ(channel(s.pixelAt(6, y), 0), once);
        EXPECT_EQ(channel(s.pixelAt(4, y), 0), 0);
    }
    s.setLineWidth(2);
    s.frameRect(8, 0, 6, 6);
    EXPECT_EQ(channel(s.pixelAt(9, 3), 0), once);
    EXPECT_EQ(channel(s.pixelAt(10, 3), 0), 0);
}

TEST_F(DrawTest, GradientLeftEdgeStopsShortRightEdgeReachesTop)
{
    paint(0);
    // Only blue varies; all alphas 255, so each value lands as (c * 255) >> 8.
    s.fillGradient(
        0, 0, 2, 3, Color {90, 0, 0, 255}, Color {200, 0, 0, 255}, Color {30, 0, 0, 255}, Color {0, 0, 0, 255});
    const int expected[3][2] = {{59, 199}, {29, 114}, {0, 29}};  // rows top to bottom
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(channel(s.pixelAt(x, y), 0), expected[y][x]) << x << "," << y;
    EXPECT_EQ(channel(s.pixelAt(0, 0), 3), 0);
}

TEST_F(DrawTest, GradientSpecialCases)
{
    paint(bgrx(1, 1, 1, 50));
    const Color same = Color::rgba(10, 20, 30, 255);
    s.fillGradient(0, 0, 3, 3, same, same, same, same);  // an exact plain fill
    EXPECT_EQ(s.pixelAt(1, 1), bgrx(30, 20, 10, 0));

    paint(0);
    s.fillGradient(0, 0, 3, 1, Color {100, 0, 0, 255}, Color {100, 0, 0, 255}, Color {200, 0, 0, 255},
        Color {0, 0, 0, 255});  // one row: bottom colours only
    EXPECT_EQ(channel(s.pixelAt(0, 0), 0), 0);
    EXPECT_EQ(channel(s.pixelAt(1, 0), 0), (100 * 255) >> 8);
    EXPECT_EQ(channel(s.pixelAt(2, 0), 0), (200 * 255) >> 8);

    // Clipped: the bottom-left visible pixel starts at the corner colours.
    paint(0);
    ASSERT_TRUE(s.setClip(Rect {1, 0, 15, 12}));
    s.fillGradient(
        0, 0, 3, 1, Color {0, 0, 0, 255}, Color {0, 0, 0, 255}, Color {200, 0, 0, 255}, Color {0, 0, 0, 255});
    EXPECT_EQ(channel(s.pixelAt(0, 0), 0), 0);
    EXPECT_EQ(channel(s.pixelAt(1, 0), 0), 0);
    EXPECT_EQ(channel(s.pixelAt(2, 0), 0), (100 * 255) >> 8);

    // Alpha is interpolated like a colour and blends each pixel.
    s.resetClip();
    paint(bgrx(255, 255, 255));
    s.fillGradient(0, 0, 2, 1, Color {0, 0, 0, 0}, Color {0, 0, 0, 0}, Color {0, 0, 0, 255}, Color {0, 0, 0, 0});
    EXPECT_EQ(channel(s.pixelAt(0, 0), 0), 254);  // alpha 0: (255 * 255) >> 8
    EXPECT_EQ(channel(s.pixelAt(1, 0), 0), 0);
    Color four[4] = {Color {}, Color {}, Color {}, Color {}};
    s.setFillColor(Color::rgba(0, 0, 77, 255));
    s.fillRectOrGradient(5, 5, 1, 1, nullptr);
    EXPECT_EQ(channel(s.pixelAt(5, 5), 0), 77);
    s.fillRectOrGradient(5, 5, 1, 1, four);
    EXPECT_EQ(channel(s.pixelAt(5, 5), 0), 0);
}

TEST_F(DrawTest, HorizontalLineTakesOneSampleAPixelAndRevisitsDarkenByOneStep)
{
    paint(bgrx(255, 255, 255));
    s.drawLine(0.0, 2.0, 10, 2);
    EXPECT_EQ(s.penX, 10.0);
    EXPECT_EQ(s.penY, 2.0);
    // First visit blends by the coverage (254 -> c = 253); later visits find none
    // and lower the channel by one step: (d * 255) >> 8.
    EXPECT_EQ(channel(s.pixelAt(0, 2), 0), 1);
    for (int x = 1; x <= 9; ++x)
        EXPECT_EQ(channel(s.pixelAt(x, 2), 0), 0) << x;
    EXPECT_EQ(channel(s.pixelAt(10, 2), 0), 254);
    EXPECT_EQ(channel(s.pixelAt(0, 3), 0), 254);
    for (int x = 1; x <= 9; ++x)
        EXPECT_EQ(channel(s.pixelAt(x, 3), 0), 253) << x;
    EXPECT_EQ(channel(s.pixelAt(11, 2), 0), 255);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(channel(s.pixelAt(x, y), 3), 0) << x << "," << y;
}

TEST_F(DrawTest, StrokeSampleSplitsIntoFourWeights)
{
    paint(0);
    s.strokeSegment(1.5, 1.25, 2.0, 1.25, Color::rgba(255, 0, 0), CDrawBuffer::StrokePass::Coverage);
    EXPECT_EQ(channel(s.pixelAt(1, 1), 3), 94);
    EXPECT_EQ(channel(s.pixelAt(2, 1), 3), 95);
    EXPECT_EQ(channel(s.pixelAt(1, 2), 3), 31);
    EXPECT_EQ(channel(s.pixelAt(2, 2), 3), 32);
    s.strokeSegment(1.5, 1.25, 2.0, 1.25, Color::rgba(255, 0, 0), CDrawBuffer::StrokePass::Colour);
    EXPECT_EQ(s.pixelAt(1, 1), bgrx(0, 0, (255 * ((94 * 255) >> 8)) >> 8, 0));
    EXPECT_EQ(s.pixelAt(2, 2), bgrx(0, 0, (255 * ((32 * 255) >> 8)) >> 8, 0));
}

TEST_F(DrawTest, CoverageSaturatesAndWideLinesStayInsideTheirBand)
{
    paint(0);
    for (int i = 0; i < 3; ++i)
        s.strokeSegment(4.0, 4.0, 4.5, 4.0, Color {}, CDrawBuffer::StrokePass::Coverage);
    EXPECT_EQ(channel(s.pixelAt(4, 4), 3), 255);

    paint(0);
    s.setPenColor(Color::rgba(255, 255, 255));
    s.setLineWidth(4);
    s.drawLine(2.0, 6.0, 14, 6);
    int inked = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            if (channel(s.pixelAt(x, y), 0) > 0) {
                ++inked;
                EXPECT_GE(y, 4);
                EXPECT_LE(y, 8);
            }
            EXPECT_EQ(channel(s.pixelAt(x, y), 3), 0);
        }
    EXPECT_GT(inked, 30);
}

TEST_F(DrawTest, LinesThatDrawNothing)
{
    paint(bgrx(9, 9, 9));
    s.drawLine(3.0, 3.0, 3, 3);  // a point: no ink, pen moves
    EXPECT_EQ(s.penX, 3.0);
    ASSERT_TRUE(s.setClip(Rect {5, 0, 11, 12}));
    s.drawLine(0.0, 0.0, 4, 11);  // wholly left of the clip
    s.drawLine(std::numeric_limits<double>::quiet_NaN(), 0.0, 5, 5);
    s.strokeSegment(
        0.0, 0.0, std::numeric_limits<double>::infinity(), 5.0, Color {}, CDrawBuffer::StrokePass::Coverage);
    s.strokeSegment(-1e300, 5.0, 1e300, 5.0, Color {}, CDrawBuffer::StrokePass::Coverage);
    s.strokeSegment(-0.5, 5.0, -0.2, 5.0, Color {}, CDrawBuffer::StrokePass::Coverage);
    s.resetClip();
    // Negative positions fall outside every clip, their right neighbour too.
    s.strokeSegment(-0.5, 5.0, -0.1, 5.0, Color {}, CDrawBuffer::StrokePass::Coverage);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(s.pixelAt(x, y), bgrx(9, 9, 9)) << x << "," << y;
    CDrawBuffer invalid;
    invalid.drawLine(0.0, 0.0, 5, 5);
    EXPECT_EQ(invalid.penX, 0.0);
}

TEST_F(DrawTest, FarEndPointsDoNotWrapOntoTheSurface)
{
    // Regression: 16.16 positions in 32 bits wrapped a point 65536 pixels away
    // back to the origin; in 64 bits such samples are simply outside.
    paint(0);
    s.strokeSegment(65536.0, 3.0, 65537.0, 3.0, Color::rgba(255, 255, 255), CDrawBuffer::StrokePass::Coverage);
    s.strokeSegment(65536.0, 3.0, 65537.0, 3.0, Color::rgba(255, 255, 255), CDrawBuffer::StrokePass::Colour);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(s.pixelAt(x, 3), 0u);
}

TEST(DrawBufferFonts, EachSurfaceHoldsOneReference)
{
    const int32_t before = CDrawBuffer::fontUsers();
    {
        CDrawBuffer a;
        CDrawBuffer b;
        EXPECT_EQ(CDrawBuffer::fontUsers(), before + 2);
    }
    EXPECT_EQ(CDrawBuffer::fontUsers(), before);
}

}  // namespace
