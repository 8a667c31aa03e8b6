#include "effect/pedals/CPedal_Modulator.h"

#include <algorithm>
#include <cmath>

#include "effect/pedals/TapeLines.h"
#include "framework/dsp/Flush.h"

void CPedal_Modulator::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    line_.reset();
    line_ = makeTapeLine(static_cast<int>(0.01 * rate), 0.0);
    update();
    reset();
}

void CPedal_Modulator::update()
{
    const float k0 = knobs_[0];
    const float k3 = knobs_[3];
    // Written so that a NaN lands on the lower bound instead of slipping through.
    float setting = k0 * k0;
    setting = setting > 0.01f ? setting : 0.01f;
    setting = setting < 1.0f ? setting : 1.0f;
    const double b = 30.0 * k3 * k3;
    if (line_) {
        line_->targetSpeed = tapeSpeedFor(line_->length(), setting);
        line_->targetGain = 1.0f;
        line_->feedback = 0.0f;
        line_->lfoIncrement = std::max(b, 0.0) / sampleRate_;
        line_->lfoDepth = 1.0f;
    }
    increment_ = std::max(b / sampleRate_, 0.0);
}

void CPedal_Modulator::setParameter(int index, float value)
{
    if (index < 0 || index > 3)
        return;
    knobs_[index] = clampKnob(value);
    update();
}

void CPedal_Modulator::reset()
{
    if (line_)
        line_->reset();
    phase_ = 0.0;
    increment_ = 0.0;
    tremolo_ = 0.0f;
    pan_ = 0.0f;
    update();
}

void CPedal_Modulator::process(float* left, float* right, int frames)
{
    if (!left || !right || !line_)
        return;
    const double increment = increment_;
    const float tremoloTarget = knobs_[1];
    const float panTarget = knobs_[2];
    constexpr double kTwoPi = 6.283185307179586;
    for (int i = 0; i < frames; ++i) {
        const float o = static_cast<float>(std::cos(kTwoPi * phase_));
        phase_ += increment;
        if (phase_ >= 1.0)
            phase_ -= 1.0;
        const float f = line_->process(left[i] + right[i]);
        const float h = f * (1.0f - o * o * o * tremolo_);
        left[i] = (1.0f - o * pan_) * h;
        right[i] = (1.0f + o * pan_) * h;
        tremolo_ = tb::flush(tremolo_ + (tremoloTarget - tremolo_) * 0.001f);
        pan_ = tb::flush(pan_ + (panTarget - pan_) * 0.001f);
    }
}
