#include "platform/headless/HeadlessScreen.h"

#include <algorithm>

namespace platform {

HeadlessScreen::HeadlessScreen(int32_t width, int32_t height)
    // A screen larger than any surface the drawing kit makes is cut to that size.
    : w_(std::clamp<int32_t>(width, 0, 16384))
    , h_(std::clamp<int32_t>(height, 0, 16384))
    , image(static_cast<size_t>(w_) * static_cast<size_t>(h_), 0u)
{
}

uint32_t HeadlessScreen::pixel(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return 0;
    return image[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
}

PresentStatus HeadlessScreen::present(
    const PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY)
{
    if (source.pixels == nullptr || source.width <= 0 || source.height <= 0 || w < 0 || h < 0) {
        return PresentStatus::BadArguments;
    }
    ++presents;
    // Work in 64-bit so that no argument can wrap a bound.
    for (int64_t row = 0; row < h; ++row) {
        const int64_t sy = static_cast<int64_t>(srcY) + row;
        const int64_t dy = static_cast<int64_t>(y) + row;
        if (sy < 0 || sy >= source.height || dy < 0 || dy >= h_)
            continue;
        const uint32_t* srcRow = source.pixels + (source.height - 1 - sy) * static_cast<int64_t>(source.width);
        uint32_t* dstRow = image.data() + dy * static_cast<int64_t>(w_);
        for (int64_t col = 0; col < w; ++col) {
            const int64_t sx = static_cast<int64_t>(srcX) + col;
            const int64_t dx = static_cast<int64_t>(x) + col;
            if (sx < 0 || sx >= source.width || dx < 0 || dx >= w_)
                continue;
            dstRow[dx] = srcRow[sx];
        }
    }
    return PresentStatus::Ok;
}

}  // namespace platform
