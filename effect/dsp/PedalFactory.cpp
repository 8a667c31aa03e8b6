#include "effect/dsp/PedalBox.h"

#include "effect/pedals/CPedalFX.h"

#include <new>

CPedalFX* createPedal(int32_t type)
{
    switch (type) {
    default:
        return nullptr;
    }
}
