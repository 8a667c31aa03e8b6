#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "framework/gui/CDrawBuffer.h"

namespace {

// Beyond this a coordinate is not a place on any surface (sides are at most
// 16384); refusing it bounds the number of samples a segment can take.
constexpr double kMaxCoordinate = 1048576.0;

bool usable(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }

}  // namespace

void CDrawBuffer::strokeSegment(double x0, double y0, double x1, double y1, Color colour, StrokePass pass)
{
    if (!isValid())
        return;
    if (!usable(x0) || !usable(y0) || !usable(x1) || !usable(y1))
        return;
    const Rect c = getClip();
    const double right = static_cast<double>(c.x) + c.w - 1;
    const double bottom = static_cast<double>(c.y) + c.h - 1;
    if ((x0 < c.x && x1 < c.x) || (x0 > right && x1 > right) || (y0 < c.y && y1 < c.y)
        || (y0 > bottom && y1 > bottom)) {
        return;
    }
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0.0))
        return;

    // 16.16 fixed point held in 64 bits, every conversion truncating toward zero.
    int64_t remaining = static_cast<int64_t>(len * 65536.0);
    const int64_t stepX = static_cast<int64_t>(dx / len * 65536.0);
    const int64_t stepY = static_cast<int64_t>(dy / len * 65536.0);
    int64_t posX = static_cast<int64_t>(x0 * 65536.0);
    int64_t posY = static_cast<int64_t>(y0 * 65536.0);
    if (remaining < 1)
        return;

    const int64_t clipX0 = c.x, clipY0 = c.y;
    const int64_t clipX1 = static_cast<int64_t>(c.x) + c.w, clipY1 = static_cast<int64_t>(c.y) + c.h;
    for (;;) {
        // A negative position lies outside every clip, its neighbour included.
        if (posX >= 0 && posY >= 0) {
            const int64_t X = posX >> 16;
            const int64_t Y = posY >> 16;
            const uint32_t fx = static_cast<uint32_t>(posX >> 8) & 0xFF;
            const uint32_t fy = static_cast<uint32_t>(posY >> 8) & 0xFF;
            const uint32_t weights[4] = {
                ((255 - fx) * (255 - fy)) >> 8, (fx * 255 - fx * fy) >> 8, (fy * 255 - fx * fy) >> 8, (fx * fy) >> 8};
            const int64_t px[4] = {X, X + 1, X, X + 1};
            const int64_t py[4] = {Y, Y, Y + 1, Y + 1};
            for (int k = 0; k < 4; ++k) {
                if (px[k] < clipX0 || px[k] >= clipX1 || py[k] < clipY0 || py[k] >= clipY1)
                    continue;
                auto* p = reinterpret_cast<uint8_t*>(rowOf(static_cast<int32_t>(py[k])) + px[k]);
                if (pass == StrokePass::Coverage) {
                    const uint32_t sum = p[3] + weights[k];
                    p[3] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
                } else {
                    // Only the first visit finds coverage; later ones blend with c = 0.
                    const uint32_t cov = (static_cast<uint32_t>(p[3]) * colour.a) >> 8;
                    p[0] = static_cast<uint8_t>((colour.b * cov + p[0] * (255 - cov)) >> 8);
                    p[1] = static_cast<uint8_t>((colour.g * cov + p[1] * (255 - cov)) >> 8);
                    p[2] = static_cast<uint8_t>((colour.r * cov + p[2] * (255 - cov)) >> 8);
                    p[3] = 0;
                }
            }
        }
        if (remaining <= 65536)
            break;
        remaining -= 65536;
        posX += stepX;
        posY += stepY;
    }
}

void CDrawBuffer::drawLine(double fromX, double fromY, int32_t toX, int32_t toY)
{
    if (!isValid())
        return;
    penX = toX;
    penY = toY;
    if (!std::isfinite(fromX) || !std::isfinite(fromY))
        return;
    const double dx = toX - fromX;
    const double dy = toY - fromY;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0.0))
        return;
    // Parallel strokes 0.83 pixel apart, centred on the line, fill a wide line
    // without gaps while the coverage pass keeps overlaps from darkening it.
    const double px = dy / len * 0.83;
    const double py = -dx / len * 0.83;
    const int32_t lw = getLineWidth();
    const int32_t n = lw >= 2 ? lw : 1;
    double sx = fromX, sy = fromY, ex = toX, ey = toY;
    if (lw >= 2) {
        const double back = lw * 0.5 - 0.5;
        sx -= px * back;
        sy -= py * back;
        ex -= px * back;
        ey -= py * back;
    }
    for (const StrokePass pass : {StrokePass::Coverage, StrokePass::Colour}) {
        double ax = sx, ay = sy, bx = ex, by = ey;
        for (int32_t k = 0; k < n; ++k) {
            strokeSegment(ax, ay, bx, by, getPenColor(), pass);
            ax += px;
            ay += py;
            bx += px;
            by += py;
        }
    }
}
