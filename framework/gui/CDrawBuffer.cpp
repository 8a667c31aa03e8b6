#include "framework/gui/CDrawBuffer.h"

#include <atomic>

#include "framework/gui/PixelMath.h"

namespace {

// The font tables are constant data shared by every surface; the count only
// tells how many surfaces use them.
std::atomic<int32_t> fontReferences {0};

using pixelmath::mix;
using pixelmath::saturate32;

// Integer part of a 16.16 channel value (the interpolation stays within 0..255).
inline uint32_t channelOf(int64_t v) { return static_cast<uint32_t>(v < 0 ? 0 : (v >> 16) > 255 ? 255 : v >> 16); }

}  // namespace

CDrawBuffer::CDrawBuffer() { initFonts(); }

CDrawBuffer::~CDrawBuffer()
{
    int32_t users = fontReferences.load();
    while (users > 0 && !fontReferences.compare_exchange_weak(users, users - 1)) { }
    release();
}

int32_t CDrawBuffer::fontUsers() { return fontReferences.load(); }

void CDrawBuffer::initFonts()
{
    resetDrawState();
    fontReferences.fetch_add(1);
}

void CDrawBuffer::resetDrawState()
{
    setLineWidth(1);
    setDrawFlags(0);
    setFont(0);
}

void CDrawBuffer::setPenColor(Color c) { penColor = c; }
void CDrawBuffer::setLineWidth(int32_t w) { lineWidth = w; }
void CDrawBuffer::setDrawFlags(int32_t flags) { drawFlags = flags; }
Color CDrawBuffer::getPenColor() const { return penColor; }
int32_t CDrawBuffer::getLineWidth() const { return lineWidth; }
int32_t CDrawBuffer::getDrawFlags() const { return drawFlags; }
void CDrawBuffer::setFont(int32_t f) { font = f; }
void CDrawBuffer::setTextColor(Color c) { textColor = c; }
int32_t CDrawBuffer::getFont() const { return font; }
Color CDrawBuffer::getTextColor() const { return textColor; }
void CDrawBuffer::setFillColor(Color c) { fillColor = c; }
Color CDrawBuffer::getFillColor() const { return fillColor; }

void CDrawBuffer::fillRect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (!isValid())
        return;
    Rect r {x, y, w, h};
    if (!clipRect(r))
        return;
    const uint32_t a = fillColor.a;
    if (a == 0)
        return;
    const uint32_t solid = static_cast<uint32_t>(fillColor.b) | (static_cast<uint32_t>(fillColor.g) << 8)
        | (static_cast<uint32_t>(fillColor.r) << 16);
    for (int32_t row = r.y; row < r.y + r.h; ++row) {
        uint32_t* p = rowOf(row) + r.x;
        for (int32_t i = 0; i < r.w; ++i) {
            if (a == 255) {
                p[i] = solid;
                continue;
            }
            auto* d = reinterpret_cast<uint8_t*>(p + i);
            d[0] = mix(fillColor.b, d[0], a);
            d[1] = mix(fillColor.g, d[1], a);
            d[2] = mix(fillColor.r, d[2], a);
        }
    }
}

void CDrawBuffer::frameRect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (lineWidth < 2)
        lineWidth = 1;
    const Color saved = fillColor;
    fillColor = penColor;
    const int32_t lw = lineWidth;
    fillRect(x, y, lw, h);
    fillRect(saturate32(static_cast<int64_t>(x) + w - lw), y, lw, h);
    fillRect(saturate32(static_cast<int64_t>(x) + lw), y,
        saturate32(static_cast<int64_t>(w) - 2 * static_cast<int64_t>(lw)), lw);
    fillRect(saturate32(static_cast<int64_t>(x) + lw), saturate32(static_cast<int64_t>(y) + h - lw),
        saturate32(static_cast<int64_t>(w) - 2 * static_cast<int64_t>(lw)), lw);
    fillColor = saved;
}

void CDrawBuffer::fillRectOrGradient(int32_t x, int32_t y, int32_t w, int32_t h, const Color* corners)
{
    if (corners == nullptr) {
        fillRect(x, y, w, h);
    } else {
        fillGradient(x, y, w, h, corners[0], corners[1], corners[2], corners[3]);
    }
}

void CDrawBuffer::fillGradient(int32_t x, int32_t y, int32_t w, int32_t h, Color tl, Color tr, Color br, Color bl)
{
    if (!isValid())
        return;
    if (tl.packed() == tr.packed() && tl.packed() == br.packed() && tl.packed() == bl.packed()) {
        const Color saved = fillColor;
        fillColor = tl;
        fillRect(x, y, w, h);
        fillColor = saved;
        return;
    }
    const int64_t fullW = w;
    const int64_t fullH = h;
    Rect r {x, y, w, h};
    if (!clipRect(r))
        return;

    // Channels in the order b, g, r, a; 16.16 fixed point, divisions truncate
    // toward zero. The left edge divides by h and so stops one step short of the
    // top colour; the right edge divides by h - 1 and reaches it.
    const uint8_t TL[4] = {tl.b, tl.g, tl.r, tl.a};
    const uint8_t TR[4] = {tr.b, tr.g, tr.r, tr.a};
    const uint8_t BR[4] = {br.b, br.g, br.r, br.a};
    const uint8_t BL[4] = {bl.b, bl.g, bl.r, bl.a};
    int64_t left[4], right[4], leftStep[4], rightStep[4];
    for (int c = 0; c < 4; ++c) {
        left[c] = int64_t {BL[c]} * 65536;
        right[c] = int64_t {BR[c]} * 65536;
        leftStep[c] = (int64_t {TL[c]} - BL[c]) * 65536 / fullH;
        rightStep[c] = fullH == 1 ? 0 : (int64_t {TR[c]} - BR[c]) * 65536 / (fullH - 1);
    }
    for (int32_t row = r.y + r.h - 1; row >= r.y; --row) {
        int64_t v[4], step[4];
        for (int c = 0; c < 4; ++c) {
            v[c] = left[c];
            step[c] = fullW == 1 ? 0 : (right[c] - left[c]) / (fullW - 1);
        }
        auto* p = reinterpret_cast<uint8_t*>(rowOf(row) + r.x);
        for (int32_t i = 0; i < r.w; ++i, p += 4) {
            const uint32_t alpha = channelOf(v[3]);
            for (int c = 0; c < 3; ++c)
                p[c] = mix(channelOf(v[c]), p[c], alpha);
            for (int c = 0; c < 4; ++c)
                v[c] += step[c];
        }
        for (int c = 0; c < 4; ++c) {
            left[c] += leftStep[c];
            right[c] += rightStep[c];
        }
    }
}
