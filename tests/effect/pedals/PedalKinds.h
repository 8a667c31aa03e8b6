#pragma once

#include <functional>
#include <vector>

#include "effect/pedals/CPedalFX.h"

namespace tbtest {

// The pedals without delay lines, each with a way to build a fresh one.
struct PedalKind {
    const char* name;
    std::function<CPedalFX*()> make;
};
const std::vector<PedalKind>& basicPedals();

// Frees a pedal the way the chain does.
struct PedalDestroyer {
    void operator()(CPedalFX* p) const
    {
        if (p)
            p->destroy();
    }
};

} // namespace tbtest
