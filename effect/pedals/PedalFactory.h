#pragma once

#include <cstdint>

class CPedalFX;

// Pedal types as stored in the program (list positions of the box menus).
enum PedalType : int32_t {
    kPedalNone = 0,
    kPedalDistortion = 1,
    kPedalChorus = 2,
    kPedalFlanger = 3,
    kPedalPhaser = 4,
    kPedalReverb = 5,
    kPedalDelay = 6,
    kPedalNoiseGate = 7,
    kPedalEq = 8,
    kPedalCompressor = 9,
    kPedalModulator = 10,
    kPedalTypeCount = 11,
};

// Builds the pedal of a type (1..10); null for 0, other values or no memory.
CPedalFX* createPedal(int32_t type);
