#include "framework/native/NativeStateStream.h"

#include <cstring>
#include <memory>
#include <new>

#include "framework/engine/CSynthesizer.h"

namespace {

int32_t readAll(NativeByteStream* stream, void* buffer, int32_t count)
{
    if (stream->operations == nullptr || stream->operations->read == nullptr)
        return 0;
    auto* at = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const int32_t n = stream->operations->read(stream, at + done, count - done);
        if (n <= 0 || n > count - done)
            break;
        done += n;
    }
    return done;
}

bool writeAll(NativeByteStream* stream, const void* buffer, int32_t count)
{
    if (stream->operations == nullptr || stream->operations->write == nullptr)
        return false;
    const auto* at = static_cast<const uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const int32_t n = stream->operations->write(stream, at + done, count - done);
        if (n <= 0 || n > count - done)
            return false;
        done += n;
    }
    return true;
}

void putLe32(uint8_t* out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getLe32(const uint8_t* in)
{
    return uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
}

}  // namespace

NativeStateStream::Result NativeStateStream::save(CSynthesizer* engine, NativeByteStream* stream)
{
    if (stream == nullptr)
        return Result::Failed;
    int32_t size = engine != nullptr ? engine->getBankChunk(nullptr) : 0;
    if (size < 0 || static_cast<uint32_t>(size) > kMaxChunk)
        size = 0;  // nothing a restore would take
    uint8_t head[8];
    putLe32(head, kMagic);
    putLe32(head + 4, static_cast<uint32_t>(size));
    if (!writeAll(stream, head, sizeof head))
        return Result::Failed;
    if (size == 0)
        return Result::Empty;

    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!chunk)
        return Result::Failed;
    std::memset(chunk.get(), 0, static_cast<size_t>(size));
    engine->getBankChunk(chunk.get());
    uint8_t index[4];
    putLe32(index, static_cast<uint32_t>(engine->getCurrentProgramIndex()));
    if (!writeAll(stream, chunk.get(), size) || !writeAll(stream, index, sizeof index))
        return Result::Failed;
    return Result::Saved;
}

NativeStateStream::Result NativeStateStream::restore(
    CSynthesizer* engine, NativeByteStream* stream, int32_t programCount)
{
    if (stream == nullptr)
        return Result::Failed;
    uint8_t head[8] = {};
    readAll(stream, head, sizeof head);
    const uint32_t magic = getLe32(head);
    const uint32_t size = getLe32(head + 4);
    if (magic != kMagic || size == 0 || size > kMaxChunk)
        return Result::Refused;

    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[size]);
    if (!chunk)
        return Result::Failed;
    if (readAll(stream, chunk.get(), static_cast<int32_t>(size)) != static_cast<int32_t>(size))
        return Result::Refused;
    uint8_t indexBytes[4] = {};
    readAll(stream, indexBytes, sizeof indexBytes);
    if (engine == nullptr)
        return Result::Refused;

    // The chunk may select the program itself; the stored index is selected
    // again afterwards, as hosts have always seen it.
    engine->setBankChunk(chunk.get(), static_cast<int32_t>(size));
    int32_t index = static_cast<int32_t>(getLe32(indexBytes));
    if (index >= programCount)
        index = programCount - 1;
    if (index < 0)
        index = 0;
    engine->selectProgram(index);
    return Result::Restored;
}
