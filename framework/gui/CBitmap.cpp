#include "framework/gui/CBitmap.h"

#include <cmath>

bool CBitmap::load(const char* path)
{
    const int bmp = readBmp(path);
    if (bmp >= 0)
        return bmp == 1;
    return readTga(path) == 1;
}

bool drawBitmap(CGraphicBuffer* destination, const CBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h,
    int32_t srcX, int32_t srcY)
{
    if (bitmap == nullptr || destination == nullptr || !destination->isValid())
        return false;
    return bitmap->drawTo(destination, x, y, w, h, srcX, srcY);
}

bool drawBitmapAlpha(CGraphicBuffer* destination, const CBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h,
    int32_t srcX, int32_t srcY, double opacity)
{
    if (bitmap == nullptr || destination == nullptr || !destination->isValid())
        return false;
    double scaled = std::isnan(opacity) ? 0.0 : std::trunc(opacity * 255.0);
    if (scaled < 0.0)
        scaled = 0.0;
    if (scaled > 255.0)
        scaled = 255.0;
    return bitmap->drawBlended(destination, x, y, w, h, srcX, srcY, static_cast<uint8_t>(scaled));
}
