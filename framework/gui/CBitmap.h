#pragma once
#include "framework/gui/CGraphicBuffer.h"
#include "framework/gui/GuiTypes.h"

// A picture read from a 24-bit BMP or an uncompressed 24/32-bit TGA, cached
// process-wide under its key.
class CBitmap : public CGraphicBuffer {
public:
    explicit CBitmap(BitmapKey key)
        : key(key)
    {
    }

    virtual BitmapKey getKey() const { return key; }
    // BMP first; a file that is not a BMP at all is read as a TGA.
    virtual bool load(const char* path);

    // 1 loaded, 0 failed, -1 not a BMP.
    int readBmp(const char* path);
    // 1 loaded, 0 failed.
    int readTga(const char* path);

    CBitmap* next = nullptr;  // the cache's list

private:
    BitmapKey key;
};

// Paints a picture into a surface; false for no picture or an invalid destination.
bool drawBitmap(CGraphicBuffer* destination, const CBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h,
    int32_t srcX, int32_t srcY);
// The same at an opacity of 0..1 (outside values clamp; NaN draws nothing).
bool drawBitmapAlpha(CGraphicBuffer* destination, const CBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h,
    int32_t srcX, int32_t srcY, double opacity);
