#include "tests/host_ardour/probe/WavFile.h"

#include <cstdio>
#include <cstring>

namespace ardourprobe {
namespace {

    constexpr uint16_t kFormatPcm = 1;
    constexpr uint16_t kFormatFloat = 3;
    constexpr uint16_t kFormatExtensible = 0xFFFE;
    constexpr int kMaxChannels = 64;

    uint32_t le32(const uint8_t* p)
    {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }

    uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

    float sampleAt(const uint8_t* p, int bits, bool isFloat)
    {
        if (isFloat) {
            const uint32_t u = le32(p);
            float f;
            std::memcpy(&f, &u, sizeof f);
            return f;
        }
        switch (bits) {
        case 16: return static_cast<float>(static_cast<int16_t>(le16(p))) / 32768.0f;
        case 24: {
            int32_t v = int32_t(p[0]) | int32_t(p[1]) << 8 | int32_t(p[2]) << 16;
            if (v & 0x800000)
                v -= 0x1000000;
            return static_cast<float>(v) / 8388608.0f;
        }
        default: return static_cast<float>(static_cast<double>(static_cast<int32_t>(le32(p))) / 2147483648.0);
        }
    }

}  // namespace

bool parseWav(const std::vector<uint8_t>& bytes, WavData& out, std::string& error)
{
    out = WavData {};
    const size_t size = bytes.size();
    if (size < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool haveFormat = false;
    uint16_t format = 0;
    size_t at = 12;
    while (at + 8 <= size) {
        const uint8_t* head = bytes.data() + at;
        const uint64_t chunkSize = le32(head + 4);
        const size_t body = at + 8;
        if (chunkSize > size - body) {
            error = "chunk runs past the end of the file";
            return false;
        }
        if (std::memcmp(head, "fmt ", 4) == 0) {
            if (chunkSize < 16) {
                error = "format record too short";
                return false;
            }
            const uint8_t* f = bytes.data() + body;
            format = le16(f);
            out.channels = le16(f + 2);
            out.rate = static_cast<int>(le32(f + 4));
            out.bitsPerSample = le16(f + 14);
            if (format == kFormatExtensible) {
                if (chunkSize < 40) {
                    error = "extensible format record too short";
                    return false;
                }
                format = le16(f + 24);  // first two bytes of the sub-format GUID
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat) {
                error = "data before the format record";
                return false;
            }
            out.isFloat = format == kFormatFloat;
            const int bits = out.bitsPerSample;
            const bool supported
                = (out.isFloat && bits == 32) || (format == kFormatPcm && (bits == 16 || bits == 24 || bits == 32));
            if (!supported || out.channels < 1 || out.channels > kMaxChannels || out.rate <= 0) {
                error = "unsupported sample format";
                return false;
            }
            const size_t frameBytes = static_cast<size_t>(out.channels) * static_cast<size_t>(bits / 8);
            const size_t frames = static_cast<size_t>(chunkSize) / frameBytes;
            out.samples.assign(static_cast<size_t>(out.channels), std::vector<float>(frames));
            const uint8_t* p = bytes.data() + body;
            for (size_t i = 0; i < frames; ++i)
                for (int c = 0; c < out.channels; ++c, p += bits / 8)
                    out.samples[static_cast<size_t>(c)][i] = sampleAt(p, bits, out.isFloat);
            return true;
        }
        at = body + static_cast<size_t>(chunkSize) + (chunkSize & 1u);
    }
    error = "no data chunk";
    return false;
}

bool readWav(const std::string& path, WavData& out, std::string& error)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0)
        bytes.insert(bytes.end(), block, block + n);
    std::fclose(f);
    return parseWav(bytes, out, error);
}

}  // namespace ardourprobe
