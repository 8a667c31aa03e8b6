#include "framework/vst/FpuControl.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define TB_HAS_MXCSR 1
#else
#define TB_HAS_MXCSR 0
#endif

namespace {

bool detectDenormalsAreZero() noexcept
{
#if TB_HAS_MXCSR
    // The mask the processor stores with FXSAVE tells which control bits it
    // accepts; a stored mask of 0 means the old default without DAZ.
    alignas(16) unsigned char area[512];
    std::memset(area, 0, sizeof area);
    asm volatile("fxsave %0" : "=m"(area));
    unsigned mask = 0;
    std::memcpy(&mask, area + 28, sizeof mask);
    return (mask & kMxcsrDenormalsAreZero) != 0;
#else
    return false;
#endif
}

// Decided once at load, so the audio thread never meets a first-use guard.
const bool dazSupported = detectDenormalsAreZero();

unsigned flushBits() noexcept { return kMxcsrFlushToZero | (dazSupported ? kMxcsrDenormalsAreZero : 0u); }

}  // namespace

bool denormalsAreZeroSupported() noexcept { return dazSupported; }

unsigned readMxcsr() noexcept
{
#if TB_HAS_MXCSR
    return _mm_getcsr();
#else
    return 0;
#endif
}

void writeMxcsr([[maybe_unused]] unsigned value) noexcept
{
#if TB_HAS_MXCSR
    _mm_setcsr(value);
#endif
}

void enableDenormalFlush() noexcept
{
#if TB_HAS_MXCSR
    writeMxcsr(readMxcsr() | flushBits());
#endif
}

ScopedDenormalFlush::ScopedDenormalFlush() noexcept
    : saved(readMxcsr())
{
#if TB_HAS_MXCSR
    writeMxcsr(saved | flushBits());
#endif
}

ScopedDenormalFlush::~ScopedDenormalFlush()
{
#if TB_HAS_MXCSR
    writeMxcsr(saved);
#endif
}
