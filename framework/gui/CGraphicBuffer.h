#pragma once
#include <cstdint>

#include "framework/gui/GuiTypes.h"

namespace platform {
class IScreenTarget;
}

// An off-screen 32-bit surface: pixels blue, green, red and a fourth byte that
// is not alpha; rows bottom-up in memory while every operation takes top-down
// coordinates; an optional separate 8-bit alpha plane; a clip rectangle.
class CGraphicBuffer {
public:
    // Largest side and area a surface may have; beyond them nothing is allocated.
    static constexpr int32_t kMaxSide = 16384;
    static constexpr int64_t kMaxArea = int64_t {1} << 26;

    CGraphicBuffer() = default;
    CGraphicBuffer(const CGraphicBuffer&) = delete;
    CGraphicBuffer& operator=(const CGraphicBuffer&) = delete;
    virtual ~CGraphicBuffer();

    virtual bool isValid() const;
    virtual bool create(int32_t height, int32_t width, bool withAlphaPlane);
    virtual void resetClip();
    virtual bool setClip(Rect r);
    virtual SizeHW getSize() const;
    virtual Rect getClip() const;
    virtual bool hasAlphaPlane() const;
    virtual bool clipRect(Rect& r) const;
    // Called on the source: fits a destination rectangle and source point to both clips.
    virtual bool clipBlit(const CGraphicBuffer* destination, Rect& d, Point& s) const;
    // Hands the top-down area (srcX, srcY, w, h) to the window system at (x, y).
    virtual bool copyToDC(
        platform::IScreenTarget* target, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY) const;
    virtual bool drawBlended(CGraphicBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX,
        int32_t srcY, uint8_t alpha) const;
    virtual bool drawTo(
        CGraphicBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY) const;
    virtual void release();

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    uint32_t* getPixels() { return pixels; }
    const uint32_t* getPixels() const { return pixels; }
    uint8_t* getAlphaPlane() { return alphaPlane; }
    const uint8_t* getAlphaPlane() const { return alphaPlane; }
    // Memory row of top-down row y (rows lie bottom-up).
    uint32_t* rowOf(int32_t y) { return pixels + static_cast<int64_t>(height - 1 - y) * width; }
    const uint32_t* rowOf(int32_t y) const { return pixels + static_cast<int64_t>(height - 1 - y) * width; }
    // The pixel at top-down (x, y), 0 outside the surface.
    uint32_t pixelAt(int32_t x, int32_t y) const;

protected:
    // A clipped blit: destination rectangle, source point and the memory rows
    // where both areas start.
    struct BlitRows {
        Rect d;
        Point s;
        int64_t dRow0 = 0;
        int64_t sRow0 = 0;
    };
    bool prepareBlit(const CGraphicBuffer* destination, Rect d, Point s, BlitRows& out) const;

    int32_t height = 0;
    int32_t width = 0;
    Rect clip;
    uint32_t* pixels = nullptr;
    uint8_t* alphaPlane = nullptr;
};
