#include "framework/gui/CGraphicBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/gui/PixelMath.h"
#include "platform/ScreenTarget.h"

namespace {

using pixelmath::mix;
using pixelmath::saturate32;

}  // namespace

CGraphicBuffer::~CGraphicBuffer() { CGraphicBuffer::release(); }

bool CGraphicBuffer::isValid() const { return pixels != nullptr && width > 0; }

bool CGraphicBuffer::create(int32_t h, int32_t w, bool withAlphaPlane)
{
    if (h <= 0 || w <= 0)
        return false;
    if (h == height && w == width)
        return true;
    release();
    if (h > kMaxSide || w > kMaxSide || static_cast<int64_t>(h) * w > kMaxArea)
        return false;
    const size_t count = static_cast<size_t>(h) * static_cast<size_t>(w);
    uint32_t* store = new (std::nothrow) uint32_t[count];
    if (store == nullptr)
        return false;
    std::memset(store, 0, count * sizeof(uint32_t));
    if (withAlphaPlane) {
        alphaPlane = new (std::nothrow) uint8_t[count];
        if (alphaPlane == nullptr) {
            delete[] store;
            return false;
        }
        // The readers fill the plane completely; starting it opaque keeps a
        // half-filled one from showing old memory.
        std::memset(alphaPlane, 255, count);
    }
    pixels = store;
    height = h;
    width = w;
    clip = Rect {0, 0, w, h};
    return true;
}

void CGraphicBuffer::release()
{
    delete[] pixels;
    delete[] alphaPlane;
    pixels = nullptr;
    alphaPlane = nullptr;
    height = 0;
    width = 0;
}

void CGraphicBuffer::resetClip() { setClip(Rect {0, 0, width, height}); }

bool CGraphicBuffer::setClip(Rect r)
{
    clip = Rect {0, 0, width, height};
    if (!clipRect(r))
        return false;
    clip = r;
    return true;
}

SizeHW CGraphicBuffer::getSize() const { return SizeHW {height, width}; }

Rect CGraphicBuffer::getClip() const { return clip; }

bool CGraphicBuffer::hasAlphaPlane() const { return alphaPlane != nullptr; }

bool CGraphicBuffer::clipRect(Rect& r) const
{
    const int64_t x = std::max(r.x, clip.x);
    const int64_t y = std::max(r.y, clip.y);
    const int64_t w = std::min<int64_t>(static_cast<int64_t>(clip.x) + clip.w, static_cast<int64_t>(r.x) + r.w) - x;
    const int64_t h = std::min<int64_t>(static_cast<int64_t>(clip.y) + clip.h, static_cast<int64_t>(r.y) + r.h) - y;
    r = Rect {saturate32(x), saturate32(y), saturate32(w), saturate32(h)};
    return w > 0 && h > 0;
}

bool CGraphicBuffer::clipBlit(const CGraphicBuffer* destination, Rect& d, Point& s) const
{
    if (destination == nullptr)
        return false;
    const Rect dclip = destination->getClip();
    const int64_t dx = std::max<int64_t>(0, static_cast<int64_t>(dclip.x) - d.x);
    const int64_t dy = std::max<int64_t>(0, static_cast<int64_t>(dclip.y) - d.y);
    Rect area {s.x, s.y, d.w, d.h};
    if (!clipRect(area))
        return false;
    d.w = area.w;
    d.h = area.h;
    s = Point {saturate32(area.x + dx), saturate32(area.y + dy)};
    return destination->clipRect(d);
}

uint32_t CGraphicBuffer::pixelAt(int32_t x, int32_t y) const
{
    if (pixels == nullptr || x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    return rowOf(y)[x];
}

bool CGraphicBuffer::copyToDC(
    platform::IScreenTarget* target, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY) const
{
    if (target == nullptr || !isValid())
        return false;
    return target->present(platform::PixelSource {pixels, width, height}, x, y, w, h, srcX, srcY)
        == platform::PresentStatus::Ok;
}

bool CGraphicBuffer::prepareBlit(const CGraphicBuffer* destination, Rect d, Point s, BlitRows& out) const
{
    if (!clipBlit(destination, d, s))
        return false;
    // Flip once to bottom-up rows; both areas lie inside their surfaces after clipBlit.
    out.d = d;
    out.s = s;
    out.dRow0 = static_cast<int64_t>(destination->height) - d.y - d.h;
    out.sRow0 = static_cast<int64_t>(height) - s.y - d.h;
    return true;
}

bool CGraphicBuffer::drawTo(
    CGraphicBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY) const
{
    if (pixels == nullptr || destination == nullptr || destination->pixels == nullptr)
        return false;
    BlitRows b;
    if (!prepareBlit(destination, Rect {x, y, w, h}, Point {srcX, srcY}, b))
        return false;
    const auto& [d, s, dRow0, sRow0] = b;
    for (int32_t row = 0; row < d.h; ++row) {
        const int64_t sIndex = (sRow0 + row) * width + s.x;
        uint32_t* dp = destination->pixels + (dRow0 + row) * destination->width + d.x;
        const uint32_t* sp = pixels + sIndex;
        if (alphaPlane == nullptr) {
            std::memmove(dp, sp, static_cast<size_t>(d.w) * sizeof(uint32_t));  // rows may overlap within one surface
            continue;
        }
        const uint8_t* ap = alphaPlane + sIndex;
        for (int32_t i = 0; i < d.w; ++i) {
            const uint32_t a = ap[i];
            auto* db = reinterpret_cast<uint8_t*>(dp + i);
            const auto* sb = reinterpret_cast<const uint8_t*>(sp + i);
            db[0] = mix(sb[0], db[0], a);
            db[1] = mix(sb[1], db[1], a);
            db[2] = mix(sb[2], db[2], a);
        }
    }
    return true;
}

bool CGraphicBuffer::drawBlended(CGraphicBuffer* destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX,
    int32_t srcY, uint8_t alpha) const
{
    if (alpha == 255)
        return drawTo(destination, x, y, w, h, srcX, srcY);
    if (alpha == 0 || pixels == nullptr || destination == nullptr || destination->pixels == nullptr)
        return false;
    BlitRows b;
    if (!prepareBlit(destination, Rect {x, y, w, h}, Point {srcX, srcY}, b))
        return false;
    const auto& [d, s, dRow0, sRow0] = b;
    for (int32_t row = 0; row < d.h; ++row) {
        const int64_t sIndex = (sRow0 + row) * width + s.x;
        auto* db = reinterpret_cast<uint8_t*>(destination->pixels + (dRow0 + row) * destination->width + d.x);
        const auto* sb = reinterpret_cast<const uint8_t*>(pixels + sIndex);
        const uint8_t* ap = alphaPlane != nullptr ? alphaPlane + sIndex : nullptr;
        for (int32_t i = 0; i < d.w; ++i, db += 4, sb += 4) {
            const uint32_t a = ap != nullptr ? (static_cast<uint32_t>(ap[i]) * alpha) >> 8 : alpha;
            db[0] = mix(sb[0], db[0], a);
            db[1] = mix(sb[1], db[1], a);
            db[2] = mix(sb[2], db[2], a);
        }
    }
    return true;
}
