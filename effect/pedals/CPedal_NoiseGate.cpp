#include "effect/pedals/CPedal_NoiseGate.h"

#include <cmath>
#include <limits>

#include "effect/pedals/CPedal_Compressor.h"

void CPedal_NoiseGate::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    reset();
}

void CPedal_NoiseGate::reset()
{
    counterLeft_ = 0;
    counterRight_ = 0;
    gainLeft_ = 0.0f;
    gainRight_ = 0.0f;
}

void CPedal_NoiseGate::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: knob0_ = v; break;
    case 1: knob1_ = v; break;
    case 2: threshold_ = CPedal_Compressor::thresholdForKnob(v); break;
    default: break;
    }
}

inline float CPedal_NoiseGate::step(float x, Channel c, float T, int32_t hold, float open, float close)
{
    float target = 1.0f;
    float k = open;
    if (std::fabs(x) > T) {
        c.counter = 0;
    } else {
        // Saturates: a gate left closed for hours must stay closed.
        if (c.counter < std::numeric_limits<int32_t>::max())
            ++c.counter;
        if (c.counter > hold) {
            target = 0.0f;
            k = close;
        }
    }
    c.gain = std::fmax(c.gain + k * (target - c.gain), kGainFloor);
    return x * c.gain;
}

void CPedal_NoiseGate::process(float* left, float* right, int frames)
{
    if (frames <= 0)
        return;
    const double rate = sampleRate_;
    const float o = knob0_;
    const float c = knob1_;
    const float ko = static_cast<float>(8.82 / (rate * static_cast<float>(2.0f * o * o + 0.05f)));
    const float kc = static_cast<float>(8.82 / (rate * static_cast<float>(2.0f * c * c + 0.05f)));
    const int32_t hold = static_cast<int32_t>(rate * 0.1);
    const float T = threshold_;

    for (int k = 0; k < frames; ++k) {
        left[k] = step(left[k], Channel {counterLeft_, gainLeft_}, T, hold, ko, kc);
        right[k] = step(right[k], Channel {counterRight_, gainRight_}, T, hold, ko, kc);
    }
}
