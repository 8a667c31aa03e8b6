#pragma once
#include <cstddef>
#include <cstdint>

// The two bitmap fonts of the drawing kit, as tables:
//   byte 0: glyph height in rows;
//   bytes 1..188: 94 little-endian offsets (from the table's start), one per
//                 character 33 ('!') to 126 ('~');
//   then per glyph: width, entry count n, and n pairs (x | y << 4, transparency),
//   transparency 0 drawing the full text colour and 255 nothing.
struct BuiltinFont {
    const uint8_t* table;
    size_t size;
    int32_t spacing;  // added after every glyph's width
    int32_t xOffset;  // applied to left-aligned text only
};

constexpr int32_t kFontFirstChar = 33;
constexpr int32_t kFontLastChar = 126;

// Font 0 (small) or 1 (large); null for any other number.
const BuiltinFont* builtinFont(int32_t font);
