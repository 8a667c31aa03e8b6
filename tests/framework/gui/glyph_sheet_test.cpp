#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"
#include "tests/framework/gui/PixelHelpers.h"
#include "tests/support/PictureFiles.h"

namespace {

// Draws every glyph of both fonts (and a few sentences) into a picture that a
// person can look at, written beside the test program in the build tree.
TEST(GlyphSheet, EveryGlyphOfBothFontsIsDrawnAndTheSheetReadsBack)
{
    constexpr int kWidth = 330, kHeight = 150, kScale = 3;
    CDrawBuffer sheet;
    ASSERT_TRUE(sheet.create(kHeight, kWidth, false));
    sheet.setFillColor(Color::rgba(236, 232, 220));
    sheet.fillRect(0, 0, kWidth, kHeight);
    sheet.setTextColor(Color::rgba(20, 20, 40));

    std::string all;
    for (char c = '!'; c <= '~'; ++c)
        all += c;
    const std::string rows[] = {all.substr(0, 32), all.substr(32, 32), all.substr(64),
        "The quick brown fox jumps over the lazy dog.", "Gain 12.5 dB   Delay 350 ms   Mix 70%"};
    int y = 2;
    for (int font = 0; font < 2; ++font) {
        sheet.setFont(font);
        for (const std::string& r : rows) {
            const SizeHW size = sheet.drawText(r.c_str(), 4, y, kWidth - 8, 13, 0, false);
            EXPECT_GT(size.width, 0);
            EXPECT_LT(size.width, kWidth - 8) << "row does not fit the sheet";
            y += 14;
        }
        y += 4;
    }

    const auto bytes = tbtest::makeBmp(kWidth * kScale, kHeight * kScale, [&](int x, int yy) {
        const uint32_t p = sheet.pixelAt(x / kScale, yy / kScale);
        return tbtest::Rgba {tbtest::channel(p, 2), tbtest::channel(p, 1), tbtest::channel(p, 0), 255};
    });
    const char* path = "glyph_sheet.bmp";
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);

    CBitmap back(0);
    ASSERT_TRUE(back.load(path));
    ASSERT_EQ(back.getWidth(), kWidth * kScale);
    int inked = 0;
    for (int yy = 0; yy < kHeight; ++yy)
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t drawn = sheet.pixelAt(x, yy) & 0xFFFFFF;
            ASSERT_EQ(back.pixelAt(x * kScale + kScale - 1, yy * kScale + kScale - 1), drawn);
            inked += drawn != (sheet.pixelAt(0, 0) & 0xFFFFFF);
        }
    EXPECT_GT(inked, 2000);
}

}  // namespace
