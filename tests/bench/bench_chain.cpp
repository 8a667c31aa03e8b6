// The whole signal chain as a loaded program drives it: distortion, chorus,
// phaser, delay and reverb in the five boxes, an amp model, every master band
// moved. Reported per stereo frame at 48 kHz, on a guitar-like signal and on
// silence that follows it (where denormals would show).

#include "effect/dsp/CDriveEffect.h"
#include "effect/product/CDriveProgram.h"
#include "tests/support/SignalGenerators.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 128;

struct LoadedChain {
    CDriveProgram program;
    CDriveEffect chain;

    LoadedChain()
    {
        const float types[5] = {1, 2, 4, 6, 5};
        const float knobs[5][5] = {{0.7f, 0.2f, 0.3f, 0.6f, 0.5f}, {0.5f, 0.3f, 0.6f, 0.5f, 0.5f},
            {0.4f, 0.3f, 0.7f, 0.8f, 0.5f}, {0.4f, 0.5f, 0.4f, 0.5f, 0.5f}, {0.8f, 0.4f, 0.5f, 0.5f, 0.5f}};
        for (int b = 0; b < 5; ++b) {
            program.setParameter(45 + b, types[b]);
            for (int j = 0; j < 5; ++j)
                program.setParameter(13 + 5 * b + j, knobs[b][j]);
        }
        program.setParameter(11, 3.0f);
        for (int band = 0; band < 8; ++band)
            program.setParameter(3 + band, band % 2 ? 0.62f : 0.41f);
        chain.setProgram(&program);
        chain.setSampleRate(kRate);
        for (int i = 0; i < 50; ++i)
            chain.setEffectParameter(i, program.getParameter(i));
    }

    void run(const float* srcL, const float* srcR, int frames)
    {
        float l[kBlock], r[kBlock], ol[kBlock], orr[kBlock];
        for (int at = 0; at + kBlock <= frames; at += kBlock) {
            for (int k = 0; k < kBlock; ++k) {
                l[k] = srcL[at + k];
                r[k] = srcR[at + k];
            }
            chain.process(l, r, ol, orr, kBlock);
            benchmark::DoNotOptimize(ol);
            benchmark::DoNotOptimize(orr);
        }
    }
};

// A plucked-string stand-in: decaying harmonics over a little noise.
std::vector<float> guitarLike(int frames)
{
    std::vector<float> x = tbtest::makeSine(110.0, kRate, frames, 0.3f);
    const std::vector<float> h2 = tbtest::makeSine(220.0, kRate, frames, 0.15f);
    const std::vector<float> h3 = tbtest::makeSine(330.0, kRate, frames, 0.08f);
    const std::vector<float> n = tbtest::makeNoise(frames, 9u, 0.01f);
    for (int k = 0; k < frames; ++k)
        x[k] += h2[k] + h3[k] + n[k];
    return x;
}

void reportPerFrame(benchmark::State& state, int framesPerIteration)
{
    state.counters["frame"] = benchmark::Counter(static_cast<double>(framesPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_FullChainSignal(benchmark::State& state)
{
    LoadedChain c;
    const int frames = 48 * kBlock;
    const std::vector<float> x = guitarLike(frames);
    c.run(x.data(), x.data(), frames);  // builds the pedals
    for (auto _ : state)
        c.run(x.data(), x.data(), frames);
    reportPerFrame(state, frames);
}

void BM_FullChainSilenceAfterSignal(benchmark::State& state)
{
    LoadedChain c;
    const int frames = 48 * kBlock;
    const std::vector<float> x = guitarLike(4 * static_cast<int>(kRate));
    c.run(x.data(), x.data(), static_cast<int>(x.size()));
    const std::vector<float> silence(frames, 0.0f);
    for (auto _ : state)
        c.run(silence.data(), silence.data(), frames);
    reportPerFrame(state, frames);
}

}  // namespace

BENCHMARK(BM_FullChainSignal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullChainSilenceAfterSignal)->Unit(benchmark::kMicrosecond);
