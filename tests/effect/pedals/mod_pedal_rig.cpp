#include "tests/effect/pedals/mod_pedal_rig.h"

#include <algorithm>

namespace modrig {

void render(CPedalFX& pedal, std::vector<float>& left, std::vector<float>& right, int block)
{
    const int frames = static_cast<int>(std::min(left.size(), right.size()));
    for (int at = 0; at < frames; at += block)
        pedal.process(left.data() + at, right.data() + at, std::min(block, frames - at));
}

double mean(const std::vector<float>& x, int from, int to)
{
    double s = 0.0;
    for (int i = from; i < to; ++i)
        s += x[i];
    return s / (to - from);
}

double lobe(const std::vector<float>& x, int at, int radius)
{
    double s = 0.0;
    for (int i = std::max(0, at - radius); i <= at + radius && i < static_cast<int>(x.size()); ++i)
        s += x[i];
    return s;
}

}  // namespace modrig
