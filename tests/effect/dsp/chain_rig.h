#pragma once

#include "effect/dsp/CDriveEffect.h"
#include "framework/engine/CProgram.h"

#include <vector>

namespace chaintest {

// The stored values a chain reads when it builds a pedal.
class ValueProgram : public CProgram {
public:
    ValueProgram();
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    float values[50];
};

// A chain at a rate with the default program pushed, as the engine leaves it.
struct ChainRig {
    explicit ChainRig(double rate = 48000.0);

    // Stores the value in the program and hands it to the chain.
    void set(int index, float value);
    // Runs the input through the chain in sub-blocks of at most 128 frames;
    // returns the output of the left (channel 0) or right side.
    void render(std::vector<float>& left, std::vector<float>& right, std::vector<float>& outLeft,
        std::vector<float>& outRight, int block = 128);
    // The same sine on both sides; returns the left output.
    std::vector<float> renderSine(double frequency, float amplitude, int frames);
    // One empty sub-block, so pending requests are applied.
    void tick();

    double rate;
    ValueProgram program;
    CDriveEffect chain;
};

}  // namespace chaintest
