#pragma once

// Values this small only cost time (denormals) and never reach the ear, so
// filter states, coefficients and most intermediates are snapped to 0.
// A NaN fails both comparisons and is snapped to 0 as well, which keeps a
// single bad sample from poisoning a recursive state for ever.
namespace tb {

inline constexpr float kFlushLimit = 1e-9f;

inline float flush(float v) { return (v >= kFlushLimit || v <= -kFlushLimit) ? v : 0.0f; }

}  // namespace tb
