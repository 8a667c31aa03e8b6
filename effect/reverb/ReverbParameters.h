#pragma once

#include <cstddef>
#include <cstdint>

// The plate reverb's 18 parameters: how a normalised value becomes the
// whole-number "natural" value the DSP works with, the way back, and the
// texts a host would show for them.
namespace plate {

enum ParamIndex : int32_t {
    kInput = 0,
    kLowCut,
    kHighCut,
    kPredelay,
    kRoomSize,
    kDiffusion,
    kBassMultiplier,
    kCrossover,
    kDecay,
    kHighDamping,
    kDry,
    kEarly,
    kReverb,
    kWidth,
    kMuteInput,
    kMuteDry,
    kMuteEarly,
    kMuteReverb,
    kParamCount
};

// Level parameters at or below this natural value are silent.
constexpr int32_t kSilentLevel = -361;
// HighCut and HighDamping at or above this natural value switch the filter off.
constexpr int32_t kFilterOff = 221;
// LowCut at or below this natural value switches the high-pass off.
constexpr int32_t kLowCutOff = 19;

// Every text written here fits this many bytes, terminator included.
constexpr std::size_t kParamTextSize = 16;

inline bool validParam(int32_t index) { return index >= 0 && index < kParamCount; }

// Normalised value in [0, 1]; anything outside (NaN included) is brought in first.
float clampNormalised(float v);

// floor(k * v + b) in single precision, for a normalised v already clamped.
int32_t naturalFromNormalised(int32_t index, float v);

// The inverse law; n is first limited to the parameter's range.
float normalisedFromNatural(int32_t index, int32_t n);

// The parameter's range of natural values.
int32_t naturalMin(int32_t index);
int32_t naturalMax(int32_t index);

float defaultNormalised(int32_t index);

// Texts for a valid index; `out` must hold kParamTextSize bytes.
void paramName(int32_t index, char* out);
void paramLabel(int32_t index, char* out);
void paramDisplay(int32_t index, int32_t natural, char* out);

// Copies at most size - 1 characters and always terminates (size > 0).
void copyText(char* out, const char* text, std::size_t size);

}  // namespace plate
