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

extern const OutputTap kLeftTaps[kOutputTaps];
extern const OutputTap kRightTaps[kOutputTaps];

// Early reflections at 44100 Hz for the largest room. The left sum uses the
// first seven, the right sum all eight.
constexpr int kLeftEarlyTaps = 7;
constexpr int kRightEarlyTaps = 8;
extern const int32_t kLeftEarly[kLeftEarlyTaps];
extern const int32_t kRightEarly[kRightEarlyTaps];
extern const float kLeftEarlySign[kLeftEarlyTaps];
extern const float kRightEarlySign[kRightEarlyTaps];

}  // namespace plate
