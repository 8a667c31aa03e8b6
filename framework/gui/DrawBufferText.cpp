#include <cstdint>

#include "framework/gui/BuiltinFonts.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/PixelMath.h"

namespace {

constexpr int32_t kSpaceAdvance = 4;

// Glyph record of a character; characters outside 33..126 use '?'.
const uint8_t* glyphOf(const BuiltinFont& f, char ch)
{
    int32_t code = static_cast<signed char>(ch);
    if (code < kFontFirstChar || code > kFontLastChar)
        code = '?';
    const size_t slot = 1 + 2 * static_cast<size_t>(code - kFontFirstChar);
    const size_t offset = f.table[slot] | (static_cast<size_t>(f.table[slot + 1]) << 8);
    if (offset + 2 > f.size)
        return nullptr;
    return f.table + offset;
}

using pixelmath::saturate32;

}  // namespace

SizeHW CDrawBuffer::drawText(
    const char* text, int32_t x, int32_t y, int32_t w, int32_t h, int32_t align, bool measureOnly)
{
    SizeHW size {0, 0};
    if (!isValid() || text == nullptr || text[0] == 0)
        return size;
    const BuiltinFont* f = builtinFont(getFont());
    if (f == nullptr)
        return size;
    size.height = f->table[0];

    int32_t count = 0;
    int64_t advance = 0;
    for (; count < kMaxTextChars && text[count] != 0; ++count) {
        if (text[count] == ' ') {
            advance += kSpaceAdvance;
            continue;
        }
        const uint8_t* g = glyphOf(*f, text[count]);
        if (g != nullptr)
            advance += g[0] + f->spacing;
    }
    size.width = saturate32(advance - 1);
    if (size.width <= 0 || measureOnly)
        return size;

    const int64_t top = static_cast<int64_t>(y) + (static_cast<int64_t>(h) - size.height) / 2;
    int64_t left;
    if (align == AlignCentre) {
        left = static_cast<int64_t>(x) + (static_cast<int64_t>(w) - size.width) / 2;
    } else if (align == AlignRight) {
        left = static_cast<int64_t>(x) + w - size.width;
    } else {
        left = static_cast<int64_t>(x) + f->xOffset;
    }
    Rect box {saturate32(left), saturate32(top), size.width, size.height};
    if (size.height == 0 || !clipRect(box))
        return size;

    const Rect c = getClip();
    const Color tc = getTextColor();
    const uint32_t A = tc.a;
    int64_t pen = left;
    for (int32_t i = 0; i < count; ++i) {
        if (text[i] == ' ') {
            pen += kSpaceAdvance;
            continue;
        }
        const uint8_t* g = glyphOf(*f, text[i]);
        if (g == nullptr)
            break;
        const uint32_t width = g[0];
        const uint32_t entries = g[1];
        // A malformed record ends the text where it stands.
        if (entries == 0 || entries > width * static_cast<uint32_t>(size.height)
            || static_cast<size_t>(g - f->table) + 2 + 2 * entries > f->size) {
            break;
        }
        for (uint32_t e = 0; e < entries; ++e) {
            const uint8_t xy = g[2 + 2 * e];
            const uint32_t t = g[3 + 2 * e];
            const int64_t px = pen + (xy & 15);
            const int64_t py = top + (xy >> 4);
            if (px < c.x || px >= static_cast<int64_t>(c.x) + c.w || py < c.y
                || py >= static_cast<int64_t>(c.y) + c.h) {
                continue;
            }
            const uint32_t I = (A * 255 - t * A) >> 8;
            auto* d = reinterpret_cast<uint8_t*>(rowOf(static_cast<int32_t>(py)) + px);
            d[0] = static_cast<uint8_t>(((d[0] * (255 - I)) >> 8) + ((tc.b * I) >> 8));
            d[1] = static_cast<uint8_t>(((d[1] * (255 - I)) >> 8) + ((tc.g * I) >> 8));
            d[2] = static_cast<uint8_t>(((d[2] * (255 - I)) >> 8) + ((tc.r * I) >> 8));
        }
        pen += width + f->spacing;
    }
    return size;
}
