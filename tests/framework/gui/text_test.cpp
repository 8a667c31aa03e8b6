#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/gui/BuiltinFonts.h"
#include "framework/gui/CDrawBuffer.h"
#include "tests/framework/gui/PixelHelpers.h"

namespace {

using tbtest::bgrx;
using tbtest::channel;

int glyphWidth(int font, char c)
{
    const BuiltinFont* f = builtinFont(font);
    const size_t slot = 1 + 2 * static_cast<size_t>(c - kFontFirstChar);
    return f->table[f->table[slot] | (f->table[slot + 1] << 8)];
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(s.create(20, 64, false));
        tbtest::fillAll(s, bgrx(0, 0, 0));
        s.setTextColor(Color::rgba(255, 255, 255));
    }
    std::vector<uint32_t> snapshot() const
    {
        std::vector<uint32_t> v;
        for (int y = 0; y < s.getHeight(); ++y)
            for (int x = 0; x < s.getWidth(); ++x)
                v.push_back(s.pixelAt(x, y));
        return v;
    }
    // Leftmost and rightmost inked columns (or -1).
    std::pair<int, int> inkColumns() const
    {
        int lo = -1, hi = -1;
        for (int x = 0; x < s.getWidth(); ++x)
            for (int y = 0; y < s.getHeight(); ++y)
                if (channel(s.pixelAt(x, y), 0) != 0) {
                    if (lo < 0)
                        lo = x;
                    hi = x;
                }
        return {lo, hi};
    }
    CDrawBuffer s;
};

TEST_F(TextTest, WidthRules)
{
    EXPECT_EQ(s.drawText("", 0, 0, 64, 20, 0, false).width, 0);
    EXPECT_EQ(s.drawText(nullptr, 0, 0, 64, 20, 0, false).height, 0);
    const SizeHW space = s.drawText(" ", 0, 0, 64, 20, 0, false);
    EXPECT_EQ(space.height, 11);
    EXPECT_EQ(space.width, 3);
    EXPECT_EQ(inkColumns().first, -1);
    EXPECT_EQ(s.drawText("AB", 0, 0, 64, 20, 0, true).width, glyphWidth(0, 'A') + glyphWidth(0, 'B') + 1);
    s.setFont(1);
    EXPECT_EQ(s.drawText("AB", 0, 0, 64, 20, 0, true).width, glyphWidth(1, 'A') + glyphWidth(1, 'B') - 1);
    EXPECT_EQ(s.drawText("A B", 0, 0, 64, 20, 0, true).width, glyphWidth(1, 'A') + 4 + glyphWidth(1, 'B') - 1);
    s.setFont(2);
    EXPECT_EQ(s.drawText("AB", 0, 0, 64, 20, 0, false).width, 0);
    EXPECT_EQ(inkColumns().first, -1);
}

TEST_F(TextTest, OutOfRangeCodesDrawAsQuestionMark)
{
    s.drawText("?", 0, 0, 64, 20, 0, false);
    const auto question = snapshot();
    for (const char* other : {"\t", "\xC8", "\x7F"}) {
        tbtest::fillAll(s, 0);
        s.drawText(other, 0, 0, 64, 20, 0, false);
        EXPECT_EQ(snapshot(), question) << static_cast<int>(static_cast<unsigned char>(other[0]));
    }
}

TEST_F(TextTest, OnlyTheFirst1024CharactersCount)
{
    const std::string exact(1024, 'i');
    const std::string longer(1500, 'i');
    EXPECT_EQ(s.drawText(longer.c_str(), 0, 0, 64, 20, 0, true).width,
        s.drawText(exact.c_str(), 0, 0, 64, 20, 0, true).width);
    EXPECT_EQ(s.drawText(exact.c_str(), 0, 0, 64, 20, 0, true).width, 1024 * (glyphWidth(0, 'i') + 1) - 1);
}

TEST_F(TextTest, MeasureOnlyTouchesNoPixel)
{
    const auto before = snapshot();
    EXPECT_GT(s.drawText("Hello", 0, 0, 64, 20, 0, true).width, 0);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(TextTest, AlignmentAndVerticalCentring)
{
    // '|' is one full column in font 0.
    s.drawText("|", 0, 0, 20, 20, 3, false);
    EXPECT_EQ(inkColumns(), std::make_pair(19, 19));
    tbtest::fillAll(s, 0);
    s.drawText("|", 0, 0, 20, 20, 2, false);
    EXPECT_EQ(inkColumns(), std::make_pair(9, 9));
    // top = y + (20 - 11) / 2 = 4; the bar runs over rows 1..9 of the cell.
    EXPECT_EQ(channel(s.pixelAt(9, 4), 0), 0);
    EXPECT_NE(channel(s.pixelAt(9, 5), 0), 0);
    EXPECT_NE(channel(s.pixelAt(9, 13), 0), 0);
    EXPECT_EQ(channel(s.pixelAt(9, 14), 0), 0);
    // Font 1 draws left-aligned text one column left: its glyphs lead with a blank column.
    tbtest::fillAll(s, 0);
    s.setFont(1);
    s.drawText("|", 10, 0, 20, 20, 0, false);
    EXPECT_EQ(inkColumns().first, 10);
}

TEST_F(TextTest, IntensityShiftsEachProductSeparately)
{
    s.drawText(".", 0, 0, 64, 20, 0, false);
    uint8_t brightest = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x)
            brightest = std::max(brightest, channel(s.pixelAt(x, y), 0));
    // Full ink: I = (255 * 255) >> 8 = 254, then (255 * 254) >> 8 = 253.
    EXPECT_EQ(brightest, 253);
    // A transparent text colour gives I = 0, which still takes each inked channel
    // one step down: (d * 255) >> 8. The fourth byte is never touched.
    tbtest::fillAll(s, bgrx(200, 200, 200, 42));
    s.setTextColor(Color::rgba(255, 255, 255, 0));
    s.drawText("W", 0, 0, 64, 20, 0, false);
    int lowered = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint32_t p = s.pixelAt(x, y);
            ASSERT_TRUE(p == bgrx(200, 200, 200, 42) || p == bgrx(199, 199, 199, 42)) << x << "," << y;
            lowered += p == bgrx(199, 199, 199, 42);
        }
    EXPECT_GT(lowered, 10);
}

TEST_F(TextTest, TextIsClippedPixelByPixel)
{
    ASSERT_TRUE(s.setClip(Rect {0, 0, 3, 20}));
    s.drawText("MMMM", 0, 0, 64, 20, 0, false);
    EXPECT_NE(inkColumns().first, -1);
    EXPECT_LE(inkColumns().second, 2);
    tbtest::fillAll(s, 0);
    ASSERT_TRUE(s.setClip(Rect {40, 0, 24, 20}));
    s.drawText("M", 0, 0, 10, 20, 0, false);  // box misses the clip
    EXPECT_EQ(inkColumns().first, -1);
}

TEST(BuiltinFontTables, RecordsFollowEachOtherAndStayInTheirCells)
{
    for (int font = 0; font < 2; ++font) {
        const BuiltinFont* f = builtinFont(font);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->table[0], 11);
        size_t expected = 1 + 2 * 94;
        for (int c = kFontFirstChar; c <= kFontLastChar; ++c) {
            const size_t slot = 1 + 2 * static_cast<size_t>(c - kFontFirstChar);
            const size_t offset = f->table[slot] | (f->table[slot + 1] << 8);
            ASSERT_EQ(offset, expected) << font << " " << static_cast<char>(c);
            const int width = f->table[offset];
            const int n = f->table[offset + 1];
            ASSERT_GT(n, 0);
            ASSERT_LE(n, width * 11);
            std::set<int> seen;
            for (int e = 0; e < n; ++e) {
                const int xy = f->table[offset + 2 + 2 * e];
                EXPECT_LT(xy & 15, width);
                EXPECT_LT(xy >> 4, 11);
                EXPECT_TRUE(seen.insert(xy).second) << "pixel listed twice";
            }
            expected = offset + 2 + 2 * static_cast<size_t>(n);
        }
        EXPECT_EQ(expected, f->size);
    }
    EXPECT_EQ(builtinFont(-1), nullptr);
    EXPECT_EQ(builtinFont(2), nullptr);
}

TEST(BuiltinFontTables, SmallFontIsNarrowerAndEveryGlyphIsDistinct)
{
    for (char c = '!'; c <= '~'; ++c) {
        EXPECT_LT(glyphWidth(0, c), glyphWidth(1, c)) << c;
        EXPECT_GE(glyphWidth(0, c), 1);
        EXPECT_LE(glyphWidth(0, c), 10);
        EXPECT_GE(glyphWidth(1, c), 3);
        EXPECT_LE(glyphWidth(1, c), 13);
    }
    for (int font = 0; font < 2; ++font) {
        std::set<std::vector<uint8_t>> shapes;
        const BuiltinFont* f = builtinFont(font);
        for (int c = kFontFirstChar; c <= kFontLastChar; ++c) {
            const size_t slot = 1 + 2 * static_cast<size_t>(c - kFontFirstChar);
            const size_t offset = f->table[slot] | (f->table[slot + 1] << 8);
            const size_t len = 2 + 2 * static_cast<size_t>(f->table[offset + 1]);
            shapes.insert(std::vector<uint8_t>(f->table + offset, f->table + offset + len));
        }
        EXPECT_EQ(shapes.size(), 94u) << "two characters of font " << font << " look the same";
    }
}

}  // namespace
