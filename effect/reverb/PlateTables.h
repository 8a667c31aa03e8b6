#pragma once

#include <cstdint>

#include "effect/reverb/PlateReverb.h"

// Fixed tap layouts of the plate, shared by the update and the signal path.
namespace plate {

struct OutputTap {
    int32_t base;  // offset at 20000 Hz
    int line;
    float sign;
    float blend;  // weight d + blend * (1 - d); a negative blend weighs 1
};

// In the header so the signal path sees the lines at compile time.
inline constexpr OutputTap kLeftTaps[kOutputTaps] = {
    {266, 9, 1.0f, -1.0f},
    {2974, 9, -1.0f, 0.25f},
    {1913, 10, -1.0f, 0.7f},
    {2496, 11, -1.0f, 0.2f},
    {1690, 5, 1.0f, 0.6f},
    {187, 6, 1.0f, -1.0f},
    {1566, 7, 1.0f, 0.5f},
};
inline constexpr OutputTap kRightTaps[kOutputTaps] = {
    {353, 5, 1.0f, -1.0f},
    {3627, 5, 1.0f, 0.25f},
    {1728, 6, -1.0f, 0.7f},
    {3173, 7, -1.0f, 0.2f},
    {1811, 9, -1.0f, 0.6f},
    {335, 10, 1.0f, -1.0f},
    {621, 11, 1.0f, 0.5f},
};

// Early reflections at 44100 Hz for the largest room. The left sum uses the
// first seven, the right sum all eight.
constexpr int kLeftEarlyTaps = 7;
constexpr int kRightEarlyTaps = 8;
extern const int32_t kLeftEarly[kLeftEarlyTaps];
extern const int32_t kRightEarly[kRightEarlyTaps];
extern const float kLeftEarlySign[kLeftEarlyTaps];
extern const float kRightEarlySign[kRightEarlyTaps];

}  // namespace plate
