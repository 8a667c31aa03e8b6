#include "effect/pedals/CPedal_Compressor.h"

#include <cmath>

float CPedal_Compressor::thresholdForKnob(float v)
{
    return static_cast<float>(std::pow(10.0, (1.0 - static_cast<double>(clampKnob(v))) * -64.0 / 20.0));
}

void CPedal_Compressor::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    reset();
}

void CPedal_Compressor::reset()
{
    // Both gains start closed, so the pedal fades in.
    gainLeft_ = 0.0f;
    gainRight_ = 0.0f;
}

void CPedal_Compressor::setParameter(int index, float value)
{
    const float v = clampKnob(value);
    switch (index) {
    case 0: threshold_ = thresholdForKnob(v); break;
    case 1: knob1_ = v; break;
    case 2: knob2_ = v; break;
    case 3: knob3_ = v; break;
    default: break;
    }
}

inline float CPedal_Compressor::step(float x, float& gain, float T, float h, float attack, float release) const
{
    const float level = std::fabs(x);
    float target = 1.0f;
    float k = release;
    // Written as "not above" so a sample that is not a number counts as quiet
    // and cannot poison the gain.
    if (level > T) {
        const float below = static_cast<float>(T + h * (level - T));
        target = below > 0.0f ? T / below : 0.0f;
        k = (target >= 1.0f) ? release : attack;
    }
    gain = gain + (target - gain) * k;
    return x * gain;
}

void CPedal_Compressor::process(float* left, float* right, int frames)
{
    if (frames <= 0)
        return;
    const double rate = sampleRate_;
    const float T = threshold_;
    const float ratio = knob1_;
    const float attack = knob2_;
    const float release = knob3_;
    const float h = 1.0f / ((1.0f - ratio) * 30.0f + 1.0f);
    const float ka = static_cast<float>(8.82 / (rate * static_cast<float>(2.0f * attack * attack + 0.1f)));
    const float kr = static_cast<float>(8.82 / (rate * static_cast<float>(4.8f * release * release + 0.2f)));

    float gl = gainLeft_, gr = gainRight_;
    for (int k = 0; k < frames; ++k) {
        left[k] = step(left[k], gl, T, h, ka, kr);
        right[k] = step(right[k], gr, T, h, ka, kr);
    }
    gainLeft_ = gl;
    gainRight_ = gr;
}
