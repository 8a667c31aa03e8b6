#include "effect/pedals/CPedal_Delay.h"

#include "effect/pedals/TapeLines.h"

void CPedal_Delay::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    rebuildLines(static_cast<int>(rate));
    forEachLine([this](CTapeDelay& l) {
        l.targetSpeed = tapeSpeedFor(l.length(), time_);
        l.targetGain = level_;
        l.feedback = feedback_;
        l.lfoIncrement = 1.0 / sampleRate_;
        l.lfoDepth = 0.01f;
    });
    reset();
}

void CPedal_Delay::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: {
        const float time = v >= 0.1f ? v : 0.1f;
        time_ = time;
        forEachLine([time](CTapeDelay& l) { l.targetSpeed = tapeSpeedFor(l.length(), time); });
        break;
    }
    case 1: {
        const float amount = -0.95f * v * v;
        feedback_ = amount;
        forEachLine([amount](CTapeDelay& l) { l.feedback = amount; });
        break;
    }
    case 2: {
        const float level = -0.1f - 0.9f * v * v;
        level_ = level;
        forEachLine([level](CTapeDelay& l) { l.targetGain = level; });
        break;
    }
    default: break;
    }
}
