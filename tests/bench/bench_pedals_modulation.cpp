// Cost of the modulation, delay and reverb pedals and of the plate reverb on
// its own, per stereo frame.
#include "effect/pedals/CPedal_Chorus.h"
#include "effect/pedals/CPedal_Delay.h"
#include "effect/pedals/CPedal_Flanger.h"
#include "effect/pedals/CPedal_Modulator.h"
#include "effect/pedals/CPedal_Phaser.h"
#include "effect/pedals/CPedal_Reverb.h"
#include "effect/reverb/vst/fxReverb.h"
#include "tests/bench/bench_pedals_loop.h"

using pedalbench::pedal;

namespace {

// The bare plate, driven the way its pedal drives it.
struct Plate {
    fxReverb reverb {nullptr};
    Plate()
    {
        reverb.setSampleRate(static_cast<float>(pedalbench::kRate));
        reverb.suspend();
        reverb.setParameter(12, 0.8f);  // reverb level well up
    }
    void process(float* l, float* r)
    {
        float* io[2] = {l, r};
        reverb.processReplacing(io, io, pedalbench::kBlock);
    }
};

}  // namespace

void chorus(benchmark::State& s, bool silence) { pedal<CPedal_Chorus>(s, silence); }
void flanger(benchmark::State& s, bool silence) { pedal<CPedal_Flanger>(s, silence); }
void phaser(benchmark::State& s, bool silence) { pedal<CPedal_Phaser>(s, silence); }
void reverb_pedal(benchmark::State& s, bool silence) { pedal<CPedal_Reverb>(s, silence); }
void delay(benchmark::State& s, bool silence) { pedal<CPedal_Delay>(s, silence); }
void modulator(benchmark::State& s, bool silence) { pedal<CPedal_Modulator>(s, silence); }
void plate_reverb(benchmark::State& s, bool silence)
{
    Plate p;
    pedalbench::run(s, p, silence);
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
