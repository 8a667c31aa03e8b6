#pragma once
#include <cstdint>

#include "framework/gui/CGraphicBuffer.h"

namespace tbtest {

inline uint32_t bgrx(uint32_t b, uint32_t g, uint32_t r, uint32_t x = 0)
{
    return b | (g << 8) | (r << 16) | (x << 24);
}
inline uint8_t channel(uint32_t p, int i) { return static_cast<uint8_t>(p >> (8 * i)); }

inline void fillAll(CGraphicBuffer& s, uint32_t value)
{
    for (int32_t y = 0; y < s.getHeight(); ++y)
        for (int32_t x = 0; x < s.getWidth(); ++x)
            s.rowOf(y)[x] = value;
}

inline void setAlpha(CGraphicBuffer& s, int32_t x, int32_t y, uint8_t a)
{
    s.getAlphaPlane()[static_cast<int64_t>(s.getHeight() - 1 - y) * s.getWidth() + x] = a;
}

}  // namespace tbtest
