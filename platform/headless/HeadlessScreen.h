#pragma once
#include <cstdint>
#include <vector>

#include "platform/ScreenTarget.h"

namespace platform {

// A window without a window system: keeps what was presented, top-down, so tests
// can read it back.
class HeadlessScreen final : public IScreenTarget {
public:
    HeadlessScreen(int32_t width, int32_t height);

    PresentStatus present(
        const PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY) override;

    int32_t width() const { return w_; }
    int32_t height() const { return h_; }
    // Pixel at top-down (x, y); 0 outside.
    uint32_t pixel(int32_t x, int32_t y) const;
    int presentCount() const { return presents; }

private:
    int32_t w_;
    int32_t h_;
    std::vector<uint32_t> image;
    int presents = 0;
};

}  // namespace platform
