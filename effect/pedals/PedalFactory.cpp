#include "effect/pedals/PedalFactory.h"

#include "effect/pedals/CPedalFX.h"
#include "effect/pedals/CPedal_Chorus.h"
#include "effect/pedals/CPedal_Compressor.h"
#include "effect/pedals/CPedal_Delay.h"
#include "effect/pedals/CPedal_DistModelA.h"
#include "effect/pedals/CPedal_Eq.h"
#include "effect/pedals/CPedal_Flanger.h"
#include "effect/pedals/CPedal_Modulator.h"
#include "effect/pedals/CPedal_NoiseGate.h"
#include "effect/pedals/CPedal_Phaser.h"
#include "effect/pedals/CPedal_Reverb.h"

#include <new>

CPedalFX* createPedal(int32_t type)
{
    switch (type) {
    case kPedalDistortion: return new (std::nothrow) CPedal_DistModelA;
    case kPedalChorus: return new (std::nothrow) CPedal_Chorus;
    case kPedalFlanger: return new (std::nothrow) CPedal_Flanger;
    case kPedalPhaser: return new (std::nothrow) CPedal_Phaser;
    case kPedalReverb: return new (std::nothrow) CPedal_Reverb;
    case kPedalDelay: return new (std::nothrow) CPedal_Delay;
    case kPedalNoiseGate: return new (std::nothrow) CPedal_NoiseGate;
    case kPedalEq: return new (std::nothrow) CPedal_Eq;
    case kPedalCompressor: return new (std::nothrow) CPedal_Compressor;
    case kPedalModulator: return new (std::nothrow) CPedal_Modulator;
    default: return nullptr;
    }
}
