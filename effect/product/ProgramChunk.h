#pragma once

#include <cstddef>
#include <cstdint>

// The 460-byte state block that hosts store and preset files hold:
// a little-endian magic, the 50 stored values as floats, a 256-byte name.
namespace programchunk {

constexpr int kValueCount = 50;
constexpr int kNameBytes = 256;
constexpr int kValuesEnd = 4 + 4 * kValueCount;  // 204: magic and values
constexpr int kSize = kValuesEnd + kNameBytes;  // 460
constexpr uint32_t kMagic = (uint32_t('T') << 24) | (uint32_t('B') << 16) | (uint32_t('R') << 8) | uint32_t('1');

// Writes the whole block; the name is cut at 255 characters and padded with NULs.
void write(const float (&values)[kValueCount], const char* name, uint8_t* out);

struct Parsed {
    float values[kValueCount];
    int32_t valueCount;  // the leading values present, 0..50
    char name[kNameBytes];  // always terminated
    bool hasName;
    int32_t consumed;  // 0 = refused, else 4 + 4 * valueCount, plus 256 with the name
};

// Reads a block all or nothing: null data, fewer than 4 bytes, another magic
// or a value present that is not finite gives consumed = 0. Blocks written by
// other versions may be shorter: they carry the whole values that fit (the
// bytes of a cut value are not read) and, below 460 bytes, no name.
Parsed read(const uint8_t* data, int64_t size);

}  // namespace programchunk
