#pragma once
#include <cstdint>

// The process-wide random generator shared by voice allocation, mono play and
// the pattern player: a 32-bit linear congruential sequence, 2222 at load.
// Safe to call from any thread; each call advances the one shared state.

// Advances the state and returns it scaled to 0..1.
double nextRandom() noexcept;
// Advances the state and returns it.
uint32_t nextRandomState() noexcept;
// Sets the state (tests use it to replay the sequence from the load value).
void seedRandom(uint32_t state) noexcept;

inline constexpr uint32_t kRandomSeed = 2222u;
