#include "tests/effect/pedals/PedalKinds.h"

#include "effect/pedals/CPedal_Compressor.h"
#include "effect/pedals/CPedal_DistModelA.h"
#include "effect/pedals/CPedal_Eq.h"
#include "effect/pedals/CPedal_NoiseGate.h"

namespace tbtest {

const std::vector<PedalKind>& basicPedals()
{
    static const std::vector<PedalKind> kinds = {
        {"distortion", [] { return static_cast<CPedalFX*>(new CPedal_DistModelA); }},
        {"equaliser", [] { return static_cast<CPedalFX*>(new CPedal_Eq); }},
        {"compressor", [] { return static_cast<CPedalFX*>(new CPedal_Compressor); }},
        {"noise gate", [] { return static_cast<CPedalFX*>(new CPedal_NoiseGate); }},
    };
    return kinds;
}

} // namespace tbtest
