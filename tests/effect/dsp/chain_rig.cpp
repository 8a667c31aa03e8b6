#include "tests/effect/dsp/chain_rig.h"

#include "tests/support/SignalGenerators.h"

#include <algorithm>

namespace chaintest {

ValueProgram::ValueProgram()
{
    for (int i = 0; i < 50; ++i)
        values[i] = (i >= 39 && i <= 43) ? 1.0f : 0.5f;
}

void ValueProgram::setParameter(int32_t index, float value)
{
    if (index >= 0 && index < 50)
        values[index] = value;
}

float ValueProgram::getParameter(int32_t index) { return (index >= 0 && index < 50) ? values[index] : 0.0f; }

ChainRig::ChainRig(double r)
    : rate(r)
{
    chain.setProgram(&program);
    chain.setSampleRate(rate);
    for (int i = 0; i < 50; ++i)
        chain.setEffectParameter(i, program.values[i]);
}

void ChainRig::set(int index, float value)
{
    program.setParameter(index, value);
    chain.setEffectParameter(index, value);
}

void ChainRig::render(std::vector<float>& left, std::vector<float>& right, std::vector<float>& outLeft,
    std::vector<float>& outRight, int block)
{
    const int frames = static_cast<int>(left.size());
    outLeft.assign(frames, 0.0f);
    outRight.assign(frames, 0.0f);
    for (int at = 0; at < frames; at += block) {
        const int n = std::min(block, frames - at);
        chain.process(left.data() + at, right.data() + at, outLeft.data() + at, outRight.data() + at, n);
    }
}

std::vector<float> ChainRig::renderSine(double frequency, float amplitude, int frames)
{
    std::vector<float> l = tbtest::makeSine(frequency, rate, frames, amplitude);
    std::vector<float> r = l;
    std::vector<float> ol, orr;
    render(l, r, ol, orr);
    return ol;
}

void ChainRig::tick()
{
    float l = 0.0f, r = 0.0f, ol = 0.0f, orr = 0.0f;
    chain.process(&l, &r, &ol, &orr, 0);
}

}  // namespace chaintest
