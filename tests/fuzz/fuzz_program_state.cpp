// The program state a host or a preset file hands the engine: any bytes as a
// chunk, and the same bytes as a preset file. Whatever they hold, a refused
// block changes nothing, an accepted one leaves only finite values and a
// terminated name, and the engine's own chunk always reads back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "effect/product/CDrive.h"
#include "effect/product/ProgramChunk.h"
#include "framework/engine/CPluginWrapper.h"
#include "tests/fuzz/FuzzFile.h"

namespace {

struct State {
    uint8_t bytes[programchunk::kSize];
};

State stateOf(CDrive& engine)
{
    State s {};
    if (engine.getProgramChunk(s.bytes) != programchunk::kSize)
        std::abort();
    const programchunk::Parsed p = programchunk::read(s.bytes, programchunk::kSize);
    if (p.consumed != programchunk::kSize)
        std::abort();  // our own chunk must always read back
    return s;
}

bool sameValues(const State& a, const State& b) { return std::memcmp(a.bytes, b.bytes, programchunk::kValuesEnd) == 0; }

CDrive& engine()
{
    // Built once: no data folder is configured in a fuzzing run, so the
    // start-up preset search finds nothing worth reading.
    static CPluginWrapper wrapper;
    static CDrive* drive = new CDrive(&wrapper);
    return *drive;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CDrive& drive = engine();

    const programchunk::Parsed parsed = programchunk::read(data, static_cast<int64_t>(size));
    if (parsed.consumed != 0) {
        for (float v : parsed.values)
            if (!std::isfinite(v))
                std::abort();
        if (parsed.hasName && std::memchr(parsed.name, 0, sizeof parsed.name) == nullptr)
            std::abort();
    }

    // As a chunk from the host.
    const State before = stateOf(drive);
    const int32_t chunkSize = size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
    const int32_t taken = drive.setProgramChunk(size == 0 ? nullptr : data, chunkSize);
    const State afterChunk = stateOf(drive);
    if (taken == 0 && std::memcmp(before.bytes, afterChunk.bytes, programchunk::kSize) != 0)
        std::abort();
    if ((taken != 0) != (parsed.consumed != 0))
        std::abort();

    // As a preset file: handed over whole, as the chunk was (at most one chunk
    // of it is read), and a refused one keeps the values.
    const int32_t loaded = drive.loadStartupPreset(fuzzInputPath(data, size));
    const State afterFile = stateOf(drive);
    if (loaded == 0 && !sameValues(afterChunk, afterFile))
        std::abort();
    if ((loaded != 0) != (taken != 0))
        std::abort();
    return 0;
}
