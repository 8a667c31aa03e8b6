#include "effect/pedals/CPedal_Delay.h"

#include "effect/pedals/TapeLines.h"

void CPedal_Delay::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    lines_[0].reset();
    lines_[1].reset();
    const int length = static_cast<int>(rate);
    lines_[0] = makeTapeLine(length, 0.0);
    lines_[1] = makeTapeLine(length, 0.5);
    for (auto& l : lines_) {
        if (!l)
            continue;
        l->targetSpeed = tapeSpeedFor(l->length(), time_);
        l->targetGain = level_;
        l->feedback = feedback_;
        l->lfoIncrement = 1.0 / sampleRate_;
        l->lfoDepth = 0.01f;
    }
    reset();
}

void CPedal_Delay::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: {
        const float time = v >= 0.1f ? v : 0.1f;
        time_ = time;
        for (auto& l : lines_)
            if (l)
                l->targetSpeed = tapeSpeedFor(l->length(), time);
        break;
    }
    case 1: {
        const float amount = -0.95f * v * v;
        feedback_ = amount;
        for (auto& l : lines_)
            if (l)
                l->feedback = amount;
        break;
    }
    case 2: {
        const float level = -0.1f - 0.9f * v * v;
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

void CPedal_Delay::reset()
{
    for (auto& l : lines_)
        if (l)
            l->reset();
}

void CPedal_Delay::process(float* left, float* right, int frames)
{
    if (left && right && lines_[0] && lines_[1])
        runLinePerSide(*lines_[0], *lines_[1], left, right, frames);
}

void CPedal_Delay::destroy() { delete this; }
