#pragma once
#include <cstdint>

// Integer pixel arithmetic shared by the surfaces and the drawing primitives.
namespace pixelmath {

// One colour channel of a blend: the shift by 8 (not a division by 255) is the
// surfaces' arithmetic everywhere, so 255 over 0 lands as 254.
inline uint8_t mix(uint32_t s, uint32_t d, uint32_t a) { return static_cast<uint8_t>((s * a + d * (255 - a)) >> 8); }

// Sums of coordinates are formed in 64 bits and brought back saturated, so no
// rectangle wraps around onto a surface.
inline int32_t saturate32(int64_t v)
{
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

}  // namespace pixelmath
