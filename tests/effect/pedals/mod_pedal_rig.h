#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "effect/pedals/CPedalFX.h"
#include "tests/effect/pedals/PedalHarness.h"
#include "tests/effect/pedals/PedalKinds.h"

// Owns a pedal built the way the chain's factory does (rate, knobs 0..4,
// reset) until destroy(), and measures what the modulation, delay and reverb
// pedals render.
namespace modrig {

template <class T> using PedalPtr = std::unique_ptr<T, tbtest::PedalDestroyer>;

template <class T> PedalPtr<T> make(double rate, std::initializer_list<float> knobs)
{
    PedalPtr<T> p(new T);
    tbtest::preparePedal(*p, rate, knobs);  // knobs from 0 upward, the rest 0.5
    return p;
}

// Processes both channels in place in blocks of at most `block` frames.
void render(CPedalFX& pedal, std::vector<float>& left, std::vector<float>& right, int block = 128);

// Mean of x over [from, to).
double mean(const std::vector<float>& x, int from, int to);

// Sum of x over [at - radius, at + radius].
double lobe(const std::vector<float>& x, int at, int radius);

}  // namespace modrig
