// The built pictures, read back by the editor's own picture reader: the sizes
// and frame layouts the board cuts them by, and the transparency the
// overlapping pedal boxes need.
#include "framework/gui/CBitmap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Expected {
    const char* file;
    int width;
    int height;
    bool alpha;
};

std::string gfx(const char* file) { return std::string(TB_MODULE_DIR) + "/Gfx/" + file; }

bool opaque(const CBitmap& b, int x, int y)
{
    return !b.hasAlphaPlane() || b.getAlphaPlane()[static_cast<int64_t>(b.getHeight() - 1 - y) * b.getWidth() + x] > 0;
}

TEST(Skin, EveryPictureLoadsWithItsSize)
{
    const Expected all[] = {
        {"bkg_main.tga", 766, 484, false},
        {"about.tga", 766, 484, false},
        {"btn_check.tga", 138, 4 * 96, true},
        {"eq_fader.tga", 13 * 14, 40, true},
        {"eq_bypass.tga", 26, 2 * 14, true},
        {"check_lamp.tga", 18, 36, true},
        {"btn_prev_preset.tga", 9, 4 * 35, true},
        {"btn_next_preset.tga", 9, 4 * 35, true},
    };
    for (const Expected& e : all) {
        CBitmap b(0);
        ASSERT_TRUE(b.load(gfx(e.file).c_str())) << e.file;
        EXPECT_EQ(b.getWidth(), e.width) << e.file;
        EXPECT_EQ(b.getHeight(), e.height) << e.file;
        EXPECT_EQ(b.hasAlphaPlane(), e.alpha) << e.file;
    }
}

TEST(Skin, FacesStayInsideTheirShareOfTheOverlappingBoxes)
{
    const char* const faces[]
        = {"pedal_dist_model_a.tga", "pedal_chorus.tga", "pedal_flanger.tga", "pedal_phaser.tga", "pedal_delay.tga",
            "pedal_reverb.tga", "pedal_eq.tga", "pedal_noisegate.tga", "pedal_compressor.tga", "pedal_modulator.tga"};
    for (const char* f : faces) {
        CBitmap b(0);
        ASSERT_TRUE(b.load(gfx(f).c_str())) << f;
        ASSERT_EQ(b.getWidth(), 170) << f;
        ASSERT_EQ(b.getHeight(), 384) << f;
        ASSERT_TRUE(b.hasAlphaPlane()) << f;
        int first = 170, last = -1;
        for (int y = 0; y < 384; ++y)
            for (int x = 0; x < 170; ++x)
                if (opaque(b, x, y)) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        // Box b + 1 starts 147 pixels after box b: more would paint over it.
        EXPECT_LE(last - first + 1, 147) << f;
        // The lamp, knobs and switch stand on opaque face.
        EXPECT_TRUE(opaque(b, 75, 118) && opaque(b, 92, 135) && opaque(b, 15, 257) && opaque(b, 152, 352)) << f;
        // Edges are whole pixels: a face painted again over itself stays the same.
        for (int64_t i = 0; i < 170 * 384; ++i)
            ASSERT_TRUE(b.getAlphaPlane()[i] == 0 || b.getAlphaPlane()[i] == 255) << f;
    }
}

TEST(Skin, LampReadsOffAboveOnAndAboutKeepsAPlainVersionArea)
{
    CBitmap lamp(0);
    ASSERT_TRUE(lamp.load(gfx("check_lamp.tga").c_str()));
    auto red = [&](int y) { return (lamp.pixelAt(9, y) >> 16) & 255; };
    EXPECT_GT(red(27), red(9) + 100) << "the lit frame is the lower one";

    CBitmap about(0);
    ASSERT_TRUE(about.load(gfx("about.tga").c_str()));
    const uint32_t plain = about.pixelAt(400, 302);
    for (int y = 302; y < 320; ++y)
        for (int x = 400; x < 601; ++x)
            ASSERT_EQ(about.pixelAt(x, y), plain) << x << "," << y;
}

}  // namespace
