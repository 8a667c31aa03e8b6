// Cost of the pedals without delay lines: nanoseconds per stereo frame at
// 48 kHz in 256-frame blocks, on noise and on silence after noise (where a
// denormal tail would show up as a slowdown).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "effect/pedals/CPedal_Compressor.h"
#include "effect/pedals/CPedal_DistModelA.h"
#include "effect/pedals/CPedal_Eq.h"
#include "effect/pedals/CPedal_NoiseGate.h"
#include "tests/support/SignalGenerators.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr int kBlocksOfSignal = 188; // about one second

template <class Pedal>
void runPedal(benchmark::State& state, bool silenceAfterSignal)
{
    Pedal pedal;
    pedal.setSampleRate(kRate);
    for (int j = 0; j < 5; ++j)
        pedal.setParameter(j, 0.5f);
    pedal.reset();

    const std::vector<float> left = tbtest::makeNoise(kBlock * kBlocksOfSignal, 1, 0.3f);
    const std::vector<float> right = tbtest::makeNoise(kBlock * kBlocksOfSignal, 2, 0.3f);
    std::vector<float> l(kBlock), r(kBlock);
    if (silenceAfterSignal) {
        for (int b = 0; b < kBlocksOfSignal; ++b) {
            std::memcpy(l.data(), left.data() + b * kBlock, sizeof(float) * kBlock);
            std::memcpy(r.data(), right.data() + b * kBlock, sizeof(float) * kBlock);
            pedal.process(l.data(), r.data(), kBlock);
        }
    }

    int b = 0;
    for (auto _ : state) {
        if (silenceAfterSignal) {
            std::memset(l.data(), 0, sizeof(float) * kBlock);
            std::memset(r.data(), 0, sizeof(float) * kBlock);
        } else {
            std::memcpy(l.data(), left.data() + b * kBlock, sizeof(float) * kBlock);
            std::memcpy(r.data(), right.data() + b * kBlock, sizeof(float) * kBlock);
            b = (b + 1) % kBlocksOfSignal;
        }
        pedal.process(l.data(), r.data(), kBlock);
        benchmark::DoNotOptimize(l.data());
        benchmark::DoNotOptimize(r.data());
    }
    // Seconds per frame; the report prints it with an "n" suffix for ns.
    state.counters["per_frame"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

void distortion(benchmark::State& s, bool silence) { runPedal<CPedal_DistModelA>(s, silence); }
void equaliser(benchmark::State& s, bool silence) { runPedal<CPedal_Eq>(s, silence); }
void compressor(benchmark::State& s, bool silence) { runPedal<CPedal_Compressor>(s, silence); }
void noise_gate(benchmark::State& s, bool silence) { runPedal<CPedal_NoiseGate>(s, silence); }

BENCHMARK_CAPTURE(distortion, signal, false);
BENCHMARK_CAPTURE(distortion, silence_after_signal, true);
BENCHMARK_CAPTURE(equaliser, signal, false);
BENCHMARK_CAPTURE(equaliser, silence_after_signal, true);
BENCHMARK_CAPTURE(compressor, signal, false);
BENCHMARK_CAPTURE(compressor, silence_after_signal, true);
BENCHMARK_CAPTURE(noise_gate, signal, false);
BENCHMARK_CAPTURE(noise_gate, silence_after_signal, true);
