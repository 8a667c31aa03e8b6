#pragma once
// Denormal handling of the SSE unit. Tiny values deep in recursive filters
// cost hundreds of cycles each unless the unit flushes them to zero.

// Sets flush-to-zero, and denormals-are-zero where the processor has it, in
// the calling thread's control register. The setting stays.
void enableDenormalFlush() noexcept;

// True when the processor accepts the denormals-are-zero bit.
bool denormalsAreZeroSupported() noexcept;

// Control register bits as the processor defines them.
constexpr unsigned kMxcsrDenormalsAreZero = 1u << 6;
constexpr unsigned kMxcsrFlushToZero = 1u << 15;

// Current control register of the calling thread (0 where there is none).
unsigned readMxcsr() noexcept;
void writeMxcsr(unsigned value) noexcept;

// Flushes denormals for the lifetime of the object and gives the caller's
// setting back afterwards, so a host thread that entered us is left as it was.
class ScopedDenormalFlush {
public:
    ScopedDenormalFlush() noexcept;
    ~ScopedDenormalFlush();
    ScopedDenormalFlush(const ScopedDenormalFlush&) = delete;
    ScopedDenormalFlush& operator=(const ScopedDenormalFlush&) = delete;

private:
    unsigned saved;
};
