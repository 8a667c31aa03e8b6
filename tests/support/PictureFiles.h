#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tbtest {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// Pixel source for the writers: top-down (x, y).
using PixelFn = std::function<Rgba(int x, int y)>;

// A 24-bit bottom-up BMP exactly as a paint program writes it.
std::vector<uint8_t> makeBmp(int width, int height, const PixelFn& pixel);
// An uncompressed true-colour TGA (24 or 32 bits), rows bottom-up unless topDown
// (which only sets the descriptor bit and stores rows from the top).
std::vector<uint8_t> makeTga(
    int width, int height, int depth, const PixelFn& pixel, bool topDown = false, const std::string& id = {});

// Little-endian field writers for hand-made headers.
void put16(std::vector<uint8_t>& out, size_t at, uint32_t v);
void put32(std::vector<uint8_t>& out, size_t at, uint32_t v);

}  // namespace tbtest
