#include "effect/pedals/CPedal_Flanger.h"

#include <algorithm>

#include "effect/pedals/TapeLines.h"

void CPedal_Flanger::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    lines_[0].reset();
    lines_[1].reset();
    const int length = static_cast<int>(0.005 * rate);
    lines_[0] = makeTapeLine(length, 0.0);
    lines_[1] = makeTapeLine(length, 0.5);
    for (auto& l : lines_) {
        if (!l)
            continue;
        l->targetSpeed = tapeSpeedFor(l->length(), delaySetting_);
        l->targetGain = level_;
        l->lfoIncrement = std::max(static_cast<double>(sweepRate_), 0.0) / sampleRate_;
        l->feedback = -0.1f;
        l->lfoDepth = 1.0f;
    }
    reset();
}

void CPedal_Flanger::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: {
        // Written so that a NaN lands on the lower bound instead of slipping through.
        float setting = v * v;
        setting = setting > 0.01f ? setting : 0.01f;
        setting = setting < 1.0f ? setting : 1.0f;
        delaySetting_ = setting;
        for (auto& l : lines_)
            if (l)
                l->targetSpeed = tapeSpeedFor(l->length(), setting);
        break;
    }
    case 1: {
        const float s = 10.0f * v * v * v + 0.01f;
        sweepRate_ = s;
        for (auto& l : lines_)
            if (l)
                l->lfoIncrement = std::max(static_cast<double>(s), 0.0) / sampleRate_;
        break;
    }
    case 2: {
        const float level = -0.1f - 0.9f * v;
        level_ = level;
        for (auto& l : lines_)
            if (l)
                l->targetGain = level;
        break;
    }
    default:
        break;
    }
}

void CPedal_Flanger::reset()
{
    for (auto& l : lines_)
        if (l)
            l->reset();
}

void CPedal_Flanger::process(float* left, float* right, int frames)
{
    if (left && right && lines_[0] && lines_[1])
        runLinePerSide(*lines_[0], *lines_[1], left, right, frames);
}

void CPedal_Flanger::destroy() { delete this; }
