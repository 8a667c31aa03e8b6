#pragma once
// The instance state the native host stores: a magic, the byte count of the
// engine's bank chunk, the chunk, and the current program index, all
// little-endian, written to and read from the host's byte stream.
#include <cstdint>

#include "framework/native/NativeProtocol.h"

class CSynthesizer;

class NativeStateStream {
public:
    // "MXSS" with 'M' as the most significant byte; on disk "SSXM".
    static constexpr uint32_t kMagic
        = (uint32_t('M') << 24) | (uint32_t('X') << 16) | (uint32_t('S') << 8) | uint32_t('S');
    // No engine's chunk comes near this; a larger size is a damaged stream.
    static constexpr uint32_t kMaxChunk = 64 * 1024;

    enum class Result { Saved, Restored, Empty, Refused, Failed };

    // Host thread. Writes magic, size and, for a non-empty chunk, the chunk and
    // the program index. A null engine writes an empty state.
    static Result save(CSynthesizer* engine, NativeByteStream* stream);

    // Host thread. Reads the state back and hands the chunk to the engine, then
    // selects the stored program (clamped to programCount - 1, never below 0).
    // Another magic, a size of 0 or above kMaxChunk, or a stream shorter than
    // its size says change nothing.
    static Result restore(CSynthesizer* engine, NativeByteStream* stream, int32_t programCount);
};
