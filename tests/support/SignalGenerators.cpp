#include "tests/support/SignalGenerators.h"

#include <cmath>

namespace tbtest {

std::vector<float> makeSine(double frequency, double rate, int frames, float amplitude, double phase)
{
    std::vector<float> out(frames > 0 ? static_cast<size_t>(frames) : 0u);
    const double w = 2.0 * M_PI * frequency / rate;
    for (size_t n = 0; n < out.size(); ++n)
        out[n] = static_cast<float>(amplitude * std::sin(w * static_cast<double>(n) + phase));
    return out;
}

float NoiseSource::next(float amplitude)
{
    // xorshift32: cheap, repeatable, and good enough for test noise.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    const double u = static_cast<double>(state_) / 4294967296.0;  // [0, 1)
    return static_cast<float>((2.0 * u - 1.0) * amplitude);
}

void NoiseSource::fill(float* out, int frames, float amplitude)
{
    for (int n = 0; n < frames; ++n)
        out[n] = next(amplitude);
}

std::vector<float> makeNoise(int frames, uint32_t seed, float amplitude)
{
    std::vector<float> out(frames > 0 ? static_cast<size_t>(frames) : 0u);
    NoiseSource source(seed);
    source.fill(out.data(), frames, amplitude);
    return out;
}

std::vector<float> makeImpulse(int frames, int at, float height)
{
    std::vector<float> out(frames > 0 ? static_cast<size_t>(frames) : 0u, 0.0f);
    if (at >= 0 && at < frames)
        out[static_cast<size_t>(at)] = height;
    return out;
}

}  // namespace tbtest
