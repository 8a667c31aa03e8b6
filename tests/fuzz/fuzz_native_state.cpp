// The state stream a native host hands back: any bytes, read in pieces of
// varying size. A refused stream changes nothing; an accepted one leaves a
// state that saves as a whole 472-byte stream and restores to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "effect/product/CDrive.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/native/NativeStateStream.h"

namespace {

struct Stream {
    NativeByteStream stream;
    const uint8_t* data;
    size_t size;
    size_t at;
    size_t step;  // a host may hand out fewer bytes than asked
    std::vector<uint8_t> written;
};

int32_t readPiece(NativeByteStream* s, void* buffer, int32_t count)
{
    Stream& m = *reinterpret_cast<Stream*>(s);
    size_t n = m.size - m.at;
    if (n > static_cast<size_t>(count))
        n = static_cast<size_t>(count);
    if (n > m.step)
        n = m.step;
    std::memcpy(buffer, m.data + m.at, n);
    m.at += n;
    return static_cast<int32_t>(n);
}

int32_t writeAll(NativeByteStream* s, const void* buffer, int32_t count)
{
    Stream& m = *reinterpret_cast<Stream*>(s);
    const auto* b = static_cast<const uint8_t*>(buffer);
    m.written.insert(m.written.end(), b, b + count);
    return count;
}

const NativeByteStreamOperations kOps = {readPiece, writeAll};

std::vector<uint8_t> saved(CDrive& drive)
{
    Stream s {{&kOps}, nullptr, 0, 0, 1, {}};
    if (NativeStateStream::save(&drive, &s.stream) != NativeStateStream::Result::Saved || s.written.size() != 472)
        std::abort();
    return s.written;
}

CDrive& engine()
{
    static CPluginWrapper wrapper;
    static CDrive* drive = new CDrive(&wrapper);
    return *drive;
}

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CDrive& drive = engine();
    const std::vector<uint8_t> before = saved(drive);

    Stream in {{&kOps}, data, size, 0, size % 7 == 0 ? size + 1 : size % 7, {}};
    const auto result = NativeStateStream::restore(&drive, &in.stream, 0);
    const std::vector<uint8_t> after = saved(drive);

    const bool whole = size >= 8 && le32(data) == NativeStateStream::kMagic && le32(data + 4) != 0
        && le32(data + 4) <= NativeStateStream::kMaxChunk && size - 8 >= le32(data + 4);
    if ((result == NativeStateStream::Result::Restored) != whole)
        std::abort();
    if (!whole && after != before)
        std::abort();

    // Whatever was taken, the state saved now restores to itself.
    Stream again {{&kOps}, after.data(), after.size(), 0, 5, {}};
    if (NativeStateStream::restore(&drive, &again.stream, 0) != NativeStateStream::Result::Restored)
        std::abort();
    if (saved(drive) != after)
        std::abort();
    return 0;
}
