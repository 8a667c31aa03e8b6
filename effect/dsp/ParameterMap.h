#pragma once

// Where each of the 50 stored program values lives. Hosts see the first 44;
// the model (11) and the box types (45..49) hold list positions, every other
// value a fraction from 0 to 1.
namespace drive {

inline constexpr int kInputLevel = 0;
inline constexpr int kOutputLevel = 1;
inline constexpr int kEqualiserSwitch = 2;
inline constexpr int kFirstBand = 3;  // eight master bands, 3..10
inline constexpr int kBands = 8;
inline constexpr int kModel = 11;
inline constexpr int kModels = 5;  // list positions 1..5; 0 is off
inline constexpr int kBoxes = 5;
inline constexpr int kKnobsPerBox = 5;
inline constexpr int kFirstKnob = 13;  // knob j of box b is 13 + 5 b + j
inline constexpr int kLastKnob = kFirstKnob + kBoxes * kKnobsPerBox - 1;
inline constexpr int kFirstEnable = 39;  // 39..43
inline constexpr int kLastEnable = kFirstEnable + kBoxes - 1;
inline constexpr int kFirstType = 45;  // 45..49
inline constexpr int kStoredCount = 50;
inline constexpr int kPublishedCount = 44;

inline constexpr int knobIndex(int box, int knob) { return kFirstKnob + kKnobsPerBox * box + knob; }

}  // namespace drive
