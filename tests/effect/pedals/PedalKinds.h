#pragma once

#include <functional>
#include <vector>

#include "effect/pedals/CPedalFX.h"

namespace tbtest {

// A pedal type with a way to build a fresh one.
struct PedalKind {
    const char* name;
    std::function<CPedalFX*()> make;
};
// All ten pedals, the four without delay lines first.
const std::vector<PedalKind>& allPedals();

// Frees a pedal the way the chain does.
struct PedalDestroyer {
    void operator()(CPedalFX* p) const
    {
        if (p)
            p->destroy();
    }
};

}  // namespace tbtest
