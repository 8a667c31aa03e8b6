#include <gtest/gtest.h>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CBitmapStorage.h"
#include "tests/framework/gui/PixelHelpers.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/TempFolder.h"

namespace {

using tbtest::bgrx;
using tbtest::Rgba;

Rgba pattern(int x, int y)
{
    return Rgba {static_cast<uint8_t>(10 + x), static_cast<uint8_t>(100 + y), static_cast<uint8_t>(200 + x + y),
        static_cast<uint8_t>(x * 60 + y)};
}

class ReaderTest : public ::testing::Test {
protected:
    tbtest::TempFolder tmp;
    int bmp(const std::vector<uint8_t>& bytes)
    {
        CBitmap b(0);
        return b.readBmp(tmp.write("t.bmp", bytes).c_str());
    }
    bool load(const std::vector<uint8_t>& bytes, CBitmap& into) { return into.load(tmp.write("t.pic", bytes).c_str()); }
};

TEST_F(ReaderTest, BmpStandsUprightWithPaddedRows)
{
    const auto bytes = tbtest::makeBmp(3, 2, pattern);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // 9 data bytes + 3 padding a row
    CBitmap b(1);
    ASSERT_TRUE(load(bytes, b));
    EXPECT_FALSE(b.hasAlphaPlane());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const Rgba p = pattern(x, y);
            EXPECT_EQ(b.pixelAt(x, y), bgrx(p.b, p.g, p.r, 0)) << x << "," << y;
        }
}

TEST_F(ReaderTest, BmpHeaderChecks)
{
    const auto good = tbtest::makeBmp(3, 2, pattern);
    EXPECT_EQ(bmp(good), 1);

    auto wrongDepth = good;
    tbtest::put16(wrongDepth, 28, 32);
    EXPECT_EQ(bmp(wrongDepth), 0);
    CBitmap notTga(0);
    EXPECT_FALSE(load(wrongDepth, notTga));  // a "BM" file is never retried as a TGA

    auto declaredTooLarge = good;
    tbtest::put32(declaredTooLarge, 2, static_cast<uint32_t>(good.size() + 1));
    EXPECT_EQ(bmp(declaredTooLarge), 0);

    auto dataPastEnd = good;
    dataPastEnd.pop_back();
    tbtest::put32(dataPastEnd, 2, static_cast<uint32_t>(dataPastEnd.size()));
    EXPECT_EQ(bmp(dataPastEnd), 0);

    auto topDown = good;
    tbtest::put32(topDown, 22, static_cast<uint32_t>(-2));
    EXPECT_EQ(bmp(topDown), 0);

    auto zeroWidth = good;
    tbtest::put32(zeroWidth, 18, 0);
    EXPECT_EQ(bmp(zeroWidth), 0);

    auto planes = good;
    tbtest::put16(planes, 26, 2);
    EXPECT_EQ(bmp(planes), 0);

    auto compressed = good;
    tbtest::put32(compressed, 30, 1);
    EXPECT_EQ(bmp(compressed), 0);

    auto offsetPastSize = good;
    tbtest::put32(offsetPastSize, 10, static_cast<uint32_t>(good.size() + 10));
    EXPECT_EQ(bmp(offsetPastSize), 0);

    EXPECT_EQ(bmp({'B', 'M', 1}), 0);
    CBitmap missing(0);
    EXPECT_EQ(missing.readBmp(tmp.file("missing.bmp").c_str()), 0);
    EXPECT_FALSE(missing.load(tmp.file("missing.bmp").c_str()));
}

TEST_F(ReaderTest, BmpHugeOrOverflowingSizesAreRefusedWithoutAllocating)
{
    auto huge = tbtest::makeBmp(1, 1, pattern);
    tbtest::put32(huge, 18, 0x40000000);  // width * 3 overflows 32 bits
    tbtest::put32(huge, 22, 0x40000000);
    EXPECT_EQ(bmp(huge), 0);
    auto wide = tbtest::makeBmp(1, 1, pattern);
    tbtest::put32(wide, 18, 16385);
    EXPECT_EQ(bmp(wide), 0);
    // Wrap-around case: stride * height overflows 32 bits to a small number.
    auto wrap = tbtest::makeBmp(1, 1, pattern);
    tbtest::put32(wrap, 18, 0x15555556);
    tbtest::put32(wrap, 22, 3);
    EXPECT_EQ(bmp(wrap), 0);
}

TEST_F(ReaderTest, TgaDepthsPlaneAndOrientation)
{
    CBitmap t24(1);
    ASSERT_TRUE(load(tbtest::makeTga(3, 2, 24, pattern), t24));
    EXPECT_FALSE(t24.hasAlphaPlane());
    EXPECT_EQ(t24.pixelAt(2, 1), bgrx(pattern(2, 1).b, pattern(2, 1).g, pattern(2, 1).r));

    CBitmap t32(2);
    ASSERT_TRUE(load(tbtest::makeTga(3, 2, 32, pattern, false, "an id"), t32));
    ASSERT_TRUE(t32.hasAlphaPlane());
    // The plane byte shows through a draw onto black: (c * a) >> 8.
    CGraphicBuffer black;
    ASSERT_TRUE(black.create(2, 3, false));
    t32.drawTo(&black, 0, 0, 3, 2, 0, 0);
    const Rgba p = pattern(2, 1);
    EXPECT_EQ(tbtest::channel(black.pixelAt(2, 1), 0), (p.b * p.a) >> 8);
    EXPECT_EQ(tbtest::channel(black.pixelAt(2, 1), 2), (p.r * p.a) >> 8);

    // The descriptor byte is not read: a top-left file shows upside down.
    CBitmap flipped(3);
    ASSERT_TRUE(load(tbtest::makeTga(3, 2, 24, pattern, true), flipped));
    EXPECT_EQ(flipped.pixelAt(0, 0), t24.pixelAt(0, 1));
    EXPECT_EQ(flipped.pixelAt(0, 1), t24.pixelAt(0, 0));
}

TEST_F(ReaderTest, TgaRefusals)
{
    CBitmap b(0);
    auto rle = tbtest::makeTga(2, 2, 24, pattern);
    rle[2] = 10;
    EXPECT_FALSE(load(rle, b));
    auto mapped = tbtest::makeTga(2, 2, 24, pattern);
    mapped[1] = 1;
    EXPECT_FALSE(load(mapped, b));
    auto depth16 = tbtest::makeTga(2, 2, 24, pattern);
    depth16[16] = 16;
    EXPECT_FALSE(load(depth16, b));
    auto zero = tbtest::makeTga(2, 2, 24, pattern);
    tbtest::put16(zero, 12, 0);
    EXPECT_FALSE(load(zero, b));
    auto truncated = tbtest::makeTga(4, 4, 32, pattern);
    truncated.resize(truncated.size() - 1);
    EXPECT_FALSE(load(truncated, b));
    EXPECT_FALSE(b.isValid());
    auto idPastEnd = tbtest::makeTga(1, 1, 24, pattern);
    idPastEnd[0] = 200;
    EXPECT_FALSE(load(idPastEnd, b));
    EXPECT_FALSE(load({0, 0, 2}, b));  // shorter than a header
    auto tooWide = tbtest::makeTga(1, 1, 24, pattern);
    tbtest::put16(tooWide, 12, 20000);
    EXPECT_FALSE(load(tooWide, b));
}

TEST_F(ReaderTest, ReloadingIntoALoadedPictureOfTheSameSizeGetsItsPlane)
{
    // Regression: a same-size create keeps the surface as it is, so a 32-bit file
    // read into a 24-bit picture of that size had no plane to write into.
    CBitmap b(0);
    ASSERT_TRUE(load(tbtest::makeTga(3, 2, 24, pattern), b));
    ASSERT_TRUE(load(tbtest::makeTga(3, 2, 32, pattern), b));
    EXPECT_TRUE(b.hasAlphaPlane());
}

TEST(BitmapStorage, FindsTheFirstUnderAKeyAndOwnsItsPictures)
{
    CBitmapStorage cache;
    auto* a = new CBitmap(5);
    auto* b = new CBitmap(5);
    auto* c = new CBitmap(6);
    EXPECT_TRUE(cache.add(a));
    EXPECT_TRUE(cache.add(b));
    EXPECT_TRUE(cache.add(c));
    EXPECT_FALSE(cache.add(a));  // listed twice would be freed twice
    EXPECT_FALSE(cache.add(nullptr));
    EXPECT_EQ(cache.find(5), a);
    EXPECT_EQ(cache.find(6), c);
    EXPECT_EQ(cache.find(7), nullptr);
    EXPECT_EQ(&bitmapStorage(), &bitmapStorage());
}  // the cache deletes all three (AddressSanitizer checks it)

}  // namespace
