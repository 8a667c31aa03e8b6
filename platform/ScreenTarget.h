#pragma once
#include <cstdint>

// The hand-over of finished pixels to the window system: the editor draws into
// its back buffer and passes rectangles of it on through this seam.
namespace platform {

enum class PresentStatus { Ok, NoTarget, BadArguments, OutOfRange };

// A surface as the drawing kit keeps it: 32-bit pixels (blue, green, red, unused),
// rows bottom-up in memory, `height` rows of `width` pixels.
struct PixelSource {
    const uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

class IScreenTarget {
public:
    virtual ~IScreenTarget() = default;
    // Copies the w x h area whose top-left in the source is (srcX, srcY) to (x, y)
    // of the target, both in top-down coordinates. Parts outside either side are dropped.
    virtual PresentStatus present(
        const PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY)
        = 0;
};

}  // namespace platform
