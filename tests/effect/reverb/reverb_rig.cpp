#include "reverb_rig.h"

#include <algorithm>
#include <cmath>
#include <string>

using namespace plate;

ReverbRig::ReverbRig(float rate)
    : reverb(new fxReverb(nullptr))
{
    reverb->setSampleRate(rate);
    reverb->suspend();
}

void ReverbRig::earlyOnly()
{
    set(kLowCut, 19);
    set(kHighCut, 221);
    set(kDiffusion, 0);
    set(kRoomSize, 100);
    set(kEarly, 0);
    set(kMuteDry, 1);
    set(kReverb, -361);
}

void ReverbRig::render(std::vector<float>& left, std::vector<float>& right, int block)
{
    if (right.empty())
        right = left;
    const int frames = static_cast<int>(left.size());
    for (int at = 0; at < frames; at += block) {
        float* io[2] = {left.data() + at, right.data() + at};
        reverb->processReplacing(io, io, std::min(block, frames - at));
    }
}

void ReverbRig::impulse(int frames, std::vector<float>& left, std::vector<float>& right)
{
    left.assign(frames, 0.0f);
    left[0] = 1.0f;
    right = left;
    render(left, right);
}

std::string ReverbRig::display(int index)
{
    char text[64];
    reverb->getParameterDisplay(index, text);
    return text;
}

int firstAbove(const std::vector<float>& x, float threshold)
{
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > threshold)
            return static_cast<int>(i);
    return -1;
}
