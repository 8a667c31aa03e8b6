#include "framework/engine/Random.h"

#include <atomic>

namespace {
std::atomic<uint32_t> gState {kRandomSeed};

constexpr uint32_t step(uint32_t s) noexcept { return s * 196314165u + 907633515u; }
}

uint32_t nextRandomState() noexcept
{
    uint32_t old = gState.load(std::memory_order_relaxed);
    while (!gState.compare_exchange_weak(old, step(old), std::memory_order_relaxed)) { }
    return step(old);
}

double nextRandom() noexcept { return static_cast<double>(nextRandomState()) / 4294967295.0; }

void seedRandom(uint32_t state) noexcept { gState.store(state, std::memory_order_relaxed); }
