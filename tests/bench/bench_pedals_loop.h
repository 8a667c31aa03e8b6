#pragma once

// The measuring loop every pedal benchmark shares: nanoseconds per stereo
// frame at 48 kHz in 256-frame blocks, either on noise or on silence after a
// second of noise (where a denormal tail would show up as a slowdown).

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "effect/pedals/CPedalFX.h"
#include "tests/support/SignalGenerators.h"

namespace pedalbench {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr int kBlocksOfSignal = 188;  // about one second

// Builds a pedal the way the chain's factory does, every knob at 0.5.
inline void prepare(CPedalFX& pedal)
{
    pedal.setSampleRate(kRate);
    for (int j = 0; j < 5; ++j)
        pedal.setParameter(j, 0.5f);
    pedal.reset();
}

// `unit` is anything with process(float* left, float* right) for one block.
template <class Unit> void run(benchmark::State& state, Unit& unit, bool silenceAfterSignal)
{
    const std::vector<float> left = tbtest::makeNoise(kBlock * kBlocksOfSignal, 1, 0.3f);
    const std::vector<float> right = tbtest::makeNoise(kBlock * kBlocksOfSignal, 2, 0.3f);
    std::vector<float> l(kBlock), r(kBlock);
    auto loadSignal = [&](int b) {
        std::memcpy(l.data(), left.data() + b * kBlock, sizeof(float) * kBlock);
        std::memcpy(r.data(), right.data() + b * kBlock, sizeof(float) * kBlock);
    };
    if (silenceAfterSignal) {
        for (int b = 0; b < kBlocksOfSignal; ++b) {
            loadSignal(b);
            unit.process(l.data(), r.data());
        }
    }
    int b = 0;
    for (auto _ : state) {
        if (silenceAfterSignal) {
            std::memset(l.data(), 0, sizeof(float) * kBlock);
            std::memset(r.data(), 0, sizeof(float) * kBlock);
        } else {
            loadSignal(b);
            b = (b + 1) % kBlocksOfSignal;
        }
        unit.process(l.data(), r.data());
        benchmark::DoNotOptimize(l.data());
        benchmark::DoNotOptimize(r.data());
    }
    // Seconds per frame; the report prints it with an "n" suffix for ns.
    state.counters["per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A pedal built as above and destroyed as the chain does.
struct Pedal {
    CPedalFX* pedal;
    explicit Pedal(CPedalFX* p)
        : pedal(p)
    {
        prepare(*pedal);
    }
    ~Pedal() { pedal->destroy(); }
    Pedal(const Pedal&) = delete;
    Pedal& operator=(const Pedal&) = delete;
    void process(float* l, float* r) { pedal->process(l, r, kBlock); }
};

template <class T> void pedal(benchmark::State& state, bool silenceAfterSignal)
{
    Pedal p(new T);
    run(state, p, silenceAfterSignal);
}

}  // namespace pedalbench
