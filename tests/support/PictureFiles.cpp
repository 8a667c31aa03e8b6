#include "tests/support/PictureFiles.h"

namespace tbtest {

void put16(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    if (out.size() < at + 2)
        out.resize(at + 2);
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}

std::vector<uint8_t> makeBmp(int width, int height, const PixelFn& pixel)
{
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t {3};
    const size_t dataOffset = 54;
    std::vector<uint8_t> out(dataOffset + stride * static_cast<size_t>(height), 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<uint32_t>(out.size()));
    put32(out, 10, dataOffset);
    put32(out, 14, 40);
    put32(out, 18, static_cast<uint32_t>(width));
    put32(out, 22, static_cast<uint32_t>(height));
    put16(out, 26, 1);
    put16(out, 28, 24);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const Rgba p = pixel(x, y);
            const size_t at = dataOffset + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * 3;
            out[at] = p.b;
            out[at + 1] = p.g;
            out[at + 2] = p.r;
        }
    }
    return out;
}

std::vector<uint8_t> makeTga(
    int width, int height, int depth, const PixelFn& pixel, bool topDown, const std::string& id)
{
    std::vector<uint8_t> out(18, 0);
    out[0] = static_cast<uint8_t>(id.size());
    out[2] = 2;
    put16(out, 12, static_cast<uint32_t>(width));
    put16(out, 14, static_cast<uint32_t>(height));
    out[16] = static_cast<uint8_t>(depth);
    out[17] = static_cast<uint8_t>((depth == 32 ? 8 : 0) | (topDown ? 0x20 : 0));
    out.insert(out.end(), id.begin(), id.end());
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const Rgba p = pixel(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
            if (depth == 32)
                out.push_back(p.a);
        }
    }
    return out;
}

}  // namespace tbtest
