#include <cstdint>
#include <memory>
#include <new>

#include "framework/gui/CBitmap.h"
#include "framework/util/CFileStreamer.h"

// No header is trusted: every size is checked in 64-bit against the real file
// before anything is allocated or read, and a failed or short row read fails
// the picture (the streamer's plain read would count a short one as success).

namespace {

bool sizeAllowed(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= CGraphicBuffer::kMaxSide && height <= CGraphicBuffer::kMaxSide
        && width * height <= CGraphicBuffer::kMaxArea;
}

}  // namespace

int CBitmap::readBmp(const char* path)
{
    CFileStreamer file;
    if (!file.open(path, "rb"))
        return 0;
    if (file.readInt16() != 0x4D42)
        return -1;
    const uint32_t realSize = static_cast<uint32_t>(file.getSize());
    const uint32_t declaredSize = file.readInt32();
    if (declaredSize > realSize)
        return 0;
    file.readInt16();
    file.readInt16();
    const uint32_t dataOffset = file.readInt32();
    file.readInt32();  // header size, not checked
    const auto width = static_cast<int32_t>(file.readInt32());
    const auto height = static_cast<int32_t>(file.readInt32());
    if (width == 0 || height == 0)
        return 0;
    if (file.readInt16() != 1)
        return 0;
    if (file.readInt16() != 24)
        return 0;
    if (file.readInt32() != 0)
        return 0;
    if (declaredSize < dataOffset)
        return 0;
    if (dataOffset > INT32_MAX || !file.seek(static_cast<int32_t>(dataOffset)))
        return 0;
    // Top-down pictures (negative height) are refused like any other bad size.
    if (!sizeAllowed(width, height))
        return 0;
    const int64_t stride = (static_cast<int64_t>(width) * 3 + 3) & ~int64_t {3};
    if (static_cast<int64_t>(realSize) < static_cast<int64_t>(dataOffset) + stride * height)
        return 0;

    release();
    if (!create(height, width, false) || !isValid())
        return 0;
    const std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[static_cast<size_t>(stride)]);
    if (!row) {
        release();
        return 0;
    }
    for (int32_t y = 0; y < height; ++y) {
        if (!file.readExact(row.get(), static_cast<int32_t>(stride))) {
            release();
            return 0;
        }
        auto* dst = reinterpret_cast<uint8_t*>(pixels + static_cast<int64_t>(y) * width);
        for (int32_t x = 0; x < width; ++x) {
            dst[4 * x + 0] = row[3 * static_cast<size_t>(x) + 0];
            dst[4 * x + 1] = row[3 * static_cast<size_t>(x) + 1];
            dst[4 * x + 2] = row[3 * static_cast<size_t>(x) + 2];
            dst[4 * x + 3] = 0;
        }
    }
    return 1;
}

int CBitmap::readTga(const char* path)
{
    CFileStreamer file;
    if (!file.open(path, "rb"))
        return 0;
    if (file.getSize() < 18)
        return 0;
    uint8_t header[18];
    if (!file.readExact(header, 18))
        return 0;
    const uint32_t idLength = header[0];
    if (header[1] != 0 || header[2] != 2)
        return 0;
    const int32_t width = header[12] | (header[13] << 8);
    const int32_t height = header[14] | (header[15] << 8);
    const int depth = header[16];
    if (depth != 24 && depth != 32)
        return 0;
    if (!sizeAllowed(width, height))
        return 0;
    const int64_t bytesPerPixel = depth / 8;
    const int64_t rowBytes = width * bytesPerPixel;
    // A truncated file is refused before anything is read.
    if (static_cast<int64_t>(file.getSize()) < 18 + static_cast<int64_t>(idLength) + rowBytes * height)
        return 0;
    if (idLength > 0 && !file.skip(static_cast<int32_t>(idLength)))
        return 0;

    release();
    if (!create(height, width, depth == 32) || !isValid())
        return 0;
    if (depth == 32 && alphaPlane == nullptr) {
        release();
        return 0;
    }
    const std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[static_cast<size_t>(rowBytes)]);
    if (!row) {
        release();
        return 0;
    }
    for (int32_t y = 0; y < height; ++y) {
        if (!file.readExact(row.get(), static_cast<int32_t>(rowBytes))) {
            release();
            return 0;
        }
        const int64_t base = static_cast<int64_t>(y) * width;
        auto* dst = reinterpret_cast<uint8_t*>(pixels + base);
        const uint8_t* src = row.get();
        for (int32_t x = 0; x < width; ++x, src += bytesPerPixel) {
            dst[4 * x + 0] = src[0];
            dst[4 * x + 1] = src[1];
            dst[4 * x + 2] = src[2];
            dst[4 * x + 3] = 0;
            if (depth == 32)
                alphaPlane[base + x] = src[3];
        }
    }
    return 1;
}
