#include "tests/effect/pedals/PedalKinds.h"

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

namespace tbtest {

namespace {
    template <class T> CPedalFX* build() { return new T; }
}  // namespace

const std::vector<PedalKind>& allPedals()
{
    static const std::vector<PedalKind> kinds = {
        {"Distortion", build<CPedal_DistModelA>},
        {"Equaliser", build<CPedal_Eq>},
        {"Compressor", build<CPedal_Compressor>},
        {"NoiseGate", build<CPedal_NoiseGate>},
        {"Chorus", build<CPedal_Chorus>},
        {"Flanger", build<CPedal_Flanger>},
        {"Phaser", build<CPedal_Phaser>},
        {"Reverb", build<CPedal_Reverb>},
        {"Delay", build<CPedal_Delay>},
        {"Modulator", build<CPedal_Modulator>},
    };
    return kinds;
}

}  // namespace tbtest
