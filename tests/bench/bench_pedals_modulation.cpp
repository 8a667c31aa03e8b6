// Cost of the modulation, delay and reverb pedals and of the plate reverb on
// its own: nanoseconds per stereo frame at 48 kHz in 256-frame blocks, on
// noise and on silence after noise (where a denormal tail would show up as a
// slowdown).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "effect/pedals/CPedal_Chorus.h"
#include "effect/pedals/CPedal_Delay.h"
#include "effect/pedals/CPedal_Flanger.h"
#include "effect/pedals/CPedal_Modulator.h"
#include "effect/pedals/CPedal_Phaser.h"
#include "effect/pedals/CPedal_Reverb.h"
#include "effect/reverb/fxReverb.h"
#include "tests/support/SignalGenerators.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr int kBlocksOfSignal = 188; // about one second

// Either a pedal or the bare plate, behind one call.
struct Pedal {
    CPedalFX* pedal;
    explicit Pedal(CPedalFX* p) : pedal(p)
    {
        pedal->setSampleRate(kRate);
        for (int j = 0; j < 5; ++j)
            pedal->setParameter(j, 0.5f);
        pedal->reset();
    }
    ~Pedal() { pedal->destroy(); }
    void process(float* l, float* r) { pedal->process(l, r, kBlock); }
};

struct Plate {
    fxReverb reverb{nullptr};
    Plate()
    {
        reverb.setSampleRate(static_cast<float>(kRate));
        reverb.suspend();
        reverb.setParameter(12, 0.8f); // reverb level well up
    }
    void process(float* l, float* r)
    {
        float* io[2] = {l, r};
        reverb.processReplacing(io, io, kBlock);
    }
};

template <class Unit>
void run(benchmark::State& state, Unit& unit, bool silenceAfterSignal)
{
    const std::vector<float> left = tbtest::makeNoise(kBlock * kBlocksOfSignal, 1, 0.3f);
    const std::vector<float> right = tbtest::makeNoise(kBlock * kBlocksOfSignal, 2, 0.3f);
    std::vector<float> l(kBlock), r(kBlock);
    if (silenceAfterSignal) {
        for (int b = 0; b < kBlocksOfSignal; ++b) {
            std::memcpy(l.data(), left.data() + b * kBlock, sizeof(float) * kBlock);
            std::memcpy(r.data(), right.data() + b * kBlock, sizeof(float) * kBlock);
            unit.process(l.data(), r.data());
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
        unit.process(l.data(), r.data());
        benchmark::DoNotOptimize(l.data());
        benchmark::DoNotOptimize(r.data());
    }
    // Seconds per frame; the report prints it with an "n" suffix for ns.
    state.counters["per_frame"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class T>
void pedal(benchmark::State& state, bool silence)
{
    Pedal p(new T);
    run(state, p, silence);
}

} // namespace

void chorus(benchmark::State& s, bool silence) { pedal<CPedal_Chorus>(s, silence); }
void flanger(benchmark::State& s, bool silence) { pedal<CPedal_Flanger>(s, silence); }
void phaser(benchmark::State& s, bool silence) { pedal<CPedal_Phaser>(s, silence); }
void reverb_pedal(benchmark::State& s, bool silence) { pedal<CPedal_Reverb>(s, silence); }
void delay(benchmark::State& s, bool silence) { pedal<CPedal_Delay>(s, silence); }
void modulator(benchmark::State& s, bool silence) { pedal<CPedal_Modulator>(s, silence); }
void plate_reverb(benchmark::State& s, bool silence)
{
    Plate p;
    run(s, p, silence);
}

BENCHMARK_CAPTURE(chorus, signal, false);
BENCHMARK_CAPTURE(chorus, silence_after_signal, true);
BENCHMARK_CAPTURE(flanger, signal, false);
BENCHMARK_CAPTURE(flanger, silence_after_signal, true);
BENCHMARK_CAPTURE(phaser, signal, false);
BENCHMARK_CAPTURE(phaser, silence_after_signal, true);
BENCHMARK_CAPTURE(reverb_pedal, signal, false);
BENCHMARK_CAPTURE(reverb_pedal, silence_after_signal, true);
BENCHMARK_CAPTURE(delay, signal, false);
BENCHMARK_CAPTURE(delay, silence_after_signal, true);
BENCHMARK_CAPTURE(modulator, signal, false);
BENCHMARK_CAPTURE(modulator, silence_after_signal, true);
BENCHMARK_CAPTURE(plate_reverb, signal, false);
BENCHMARK_CAPTURE(plate_reverb, silence_after_signal, true);
