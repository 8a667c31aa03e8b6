// Cost of the pedals without delay lines per stereo frame.
#include "effect/pedals/CPedal_Compressor.h"
#include "effect/pedals/CPedal_DistModelA.h"
#include "effect/pedals/CPedal_Eq.h"
#include "effect/pedals/CPedal_NoiseGate.h"
#include "tests/bench/bench_pedals_loop.h"

using pedalbench::pedal;

void distortion(benchmark::State& s, bool silence) { pedal<CPedal_DistModelA>(s, silence); }
void equaliser(benchmark::State& s, bool silence) { pedal<CPedal_Eq>(s, silence); }
void compressor(benchmark::State& s, bool silence) { pedal<CPedal_Compressor>(s, silence); }
void noise_gate(benchmark::State& s, bool silence) { pedal<CPedal_NoiseGate>(s, silence); }

BENCHMARK_CAPTURE(distortion, signal, false);
BENCHMARK_CAPTURE(distortion, silence_after_signal, true);
BENCHMARK_CAPTURE(equaliser, signal, false);
BENCHMARK_CAPTURE(equaliser, silence_after_signal, true);
BENCHMARK_CAPTURE(compressor, signal, false);
BENCHMARK_CAPTURE(compressor, silence_after_signal, true);
BENCHMARK_CAPTURE(noise_gate, signal, false);
BENCHMARK_CAPTURE(noise_gate, silence_after_signal, true);
