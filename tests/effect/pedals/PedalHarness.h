#pragma once

#include <initializer_list>
#include <vector>

#include "effect/pedals/CPedalFX.h"

// Drives a pedal the way the chain does: setSampleRate, knobs 0..4, reset,
// then stereo blocks of at most 256 frames.
namespace tbtest {

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
    explicit Stereo(size_t frames = 0)
        : left(frames, 0.0f)
        , right(frames, 0.0f)
    {
    }
    Stereo(std::vector<float> l, std::vector<float> r)
        : left(std::move(l))
        , right(std::move(r))
    {
    }
    int frames() const { return static_cast<int>(left.size()); }
};

// Builds a pedal as the factory does. 'knobs' gives knob 0 upward; missing
// knobs are 0.5.
void preparePedal(CPedalFX& pedal, double rate, std::initializer_list<float> knobs);

// Processes the whole signal in place, in blocks of 'block' frames.
void runBlocks(CPedalFX& pedal, Stereo& signal, int block = 256);

// Processes a mono signal on both channels and returns the left output.
std::vector<float> runMono(CPedalFX& pedal, const std::vector<float>& x, int block = 256);

}  // namespace tbtest
