#include "tests/effect/pedals/PedalHarness.h"

#include <algorithm>

namespace tbtest {

void preparePedal(CPedalFX& pedal, double rate, std::initializer_list<float> knobs)
{
    pedal.setSampleRate(rate);
    int j = 0;
    for (float v : knobs) {
        if (j > 4)
            break;
        pedal.setParameter(j++, v);
    }
    for (; j <= 4; ++j)
        pedal.setParameter(j, 0.5f);
    pedal.reset();
}

void runBlocks(CPedalFX& pedal, Stereo& signal, int block)
{
    const int n = signal.frames();
    for (int at = 0; at < n; at += block) {
        const int len = std::min(block, n - at);
        pedal.process(signal.left.data() + at, signal.right.data() + at, len);
    }
}

std::vector<float> runMono(CPedalFX& pedal, const std::vector<float>& x, int block)
{
    Stereo s(x, x);
    runBlocks(pedal, s, block);
    return s.left;
}

}  // namespace tbtest
