#include "effect/pedals/CPedal_Flanger.h"

#include <algorithm>

#include "effect/pedals/TapeLines.h"

void CPedal_Flanger::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    rebuildLines(static_cast<int>(0.005 * rate));
    forEachLine([this](CTapeDelay& l) {
        l.targetSpeed = tapeSpeedFor(l.length(), delaySetting_);
        l.targetGain = level_;
        l.lfoIncrement = std::max(static_cast<double>(sweepRate_), 0.0) / sampleRate_;
        l.feedback = -0.1f;
        l.lfoDepth = 1.0f;
    });
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
        forEachLine([setting](CTapeDelay& l) { l.targetSpeed = tapeSpeedFor(l.length(), setting); });
        break;
    }
    case 1: {
        const float s = 10.0f * v * v * v + 0.01f;
        sweepRate_ = s;
        const double increment = std::max(static_cast<double>(s), 0.0) / sampleRate_;
        forEachLine([increment](CTapeDelay& l) { l.lfoIncrement = increment; });
        break;
    }
    case 2: {
        const float level = -0.1f - 0.9f * v;
        level_ = level;
        forEachLine([level](CTapeDelay& l) { l.targetGain = level; });
        break;
    }
    default: break;
    }
}
