#pragma once

#include <cstdint>
#include <vector>

// Test signals for the DSP tests and benchmarks. Every generator is
// deterministic: the same arguments give the same samples on every machine.
namespace tbtest {

// amplitude * sin(2 pi f n / rate + phase), n = 0 .. frames - 1.
std::vector<float> makeSine(double frequency, double rate, int frames, float amplitude = 1.0f, double phase = 0.0);

// Uniform white noise in [-amplitude, amplitude) from a fixed-seed generator.
std::vector<float> makeNoise(int frames, uint32_t seed = 1u, float amplitude = 1.0f);

// A single sample of the given height at index 'at', zeros elsewhere.
std::vector<float> makeImpulse(int frames, int at = 0, float height = 1.0f);

// The same generator as makeNoise, for streaming in blocks of any size.
class NoiseSource {
public:
    explicit NoiseSource(uint32_t seed = 1u)
        : state_(seed ? seed : 1u)
    {
    }
    float next(float amplitude = 1.0f);
    void fill(float* out, int frames, float amplitude = 1.0f);

private:
    uint32_t state_;
};

}  // namespace tbtest
