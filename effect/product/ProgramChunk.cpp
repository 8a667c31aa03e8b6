#include "effect/product/ProgramChunk.h"

#include <cmath>
#include <cstring>

namespace programchunk {
namespace {

    void putLe32(uint8_t* out, uint32_t v)
    {
        out[0] = static_cast<uint8_t>(v);
        out[1] = static_cast<uint8_t>(v >> 8);
        out[2] = static_cast<uint8_t>(v >> 16);
        out[3] = static_cast<uint8_t>(v >> 24);
    }

    uint32_t getLe32(const uint8_t* in)
    {
        return uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
    }

}  // namespace

void write(const float (&values)[kValueCount], const char* name, uint8_t* out)
{
    putLe32(out, kMagic);
    for (int i = 0; i < kValueCount; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        putLe32(out + 4 + 4 * i, bits);
    }
    uint8_t* field = out + kValuesEnd;
    std::memset(field, 0, kNameBytes);
    if (name != nullptr) {
        const size_t n = strnlen(name, kNameBytes - 1);
        std::memcpy(field, name, n);
    }
}

Parsed read(const uint8_t* data, int64_t size)
{
    Parsed p {};
    if (data == nullptr || size < 4 || getLe32(data) != kMagic)
        return p;
    const int64_t whole = (size - 4) / 4;
    const int count = whole < kValueCount ? static_cast<int>(whole) : kValueCount;
    for (int i = 0; i < count; ++i) {
        const uint32_t bits = getLe32(data + 4 + 4 * i);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v))
            return Parsed {};
        p.values[i] = v;
    }
    p.valueCount = count;
    p.consumed = 4 + 4 * count;
    if (size >= kSize) {
        std::memcpy(p.name, data + kValuesEnd, kNameBytes);
        p.name[kNameBytes - 1] = '\0';
        p.hasName = true;
        p.consumed = kSize;
    }
    return p;
}

}  // namespace programchunk
