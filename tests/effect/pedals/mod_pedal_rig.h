#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "effect/pedals/CPedalFX.h"

// Builds the modulation, delay and reverb pedals the way the chain's factory
// does (rate, knobs 0..4, reset) and owns them until destroy().
namespace modrig {

struct Destroy {
    void operator()(CPedalFX* p) const
    {
        if (p)
            p->destroy();
    }
};
template <class T>
using PedalPtr = std::unique_ptr<T, Destroy>;

// Knobs given from 0 upward; the rest are 0.5.
void prepare(CPedalFX& pedal, double rate, std::initializer_list<float> knobs);

template <class T>
PedalPtr<T> make(double rate, std::initializer_list<float> knobs)
{
    PedalPtr<T> p(new T);
    prepare(*p, rate, knobs);
    return p;
}

// Processes both channels in place in blocks of at most `block` frames.
void render(CPedalFX& pedal, std::vector<float>& left, std::vector<float>& right, int block = 128);

// Mean of x over [from, to).
double mean(const std::vector<float>& x, int from, int to);

// Sum of x over [at - radius, at + radius].
double lobe(const std::vector<float>& x, int at, int radius);

} // namespace modrig
