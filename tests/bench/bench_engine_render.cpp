// Cost of the engine's block loop itself: splitting, events, gains.
#include <benchmark/benchmark.h>

#include <vector>

#include "tests/support/TestPlugin.h"

namespace {

void BM_RenderBlock(benchmark::State& state)
{
    TestDefinition definition;
    ScopedDefinition scope(definition);
    RecordingWrapper wrapper;
    TestEngine engine(&wrapper);
    engine.setSampleRate(48000.0);
    const int32_t frames = static_cast<int32_t>(state.range(0));
    const int32_t events = static_cast<int32_t>(state.range(1));
    std::vector<float> inL(static_cast<size_t>(frames), 0.1f), inR(inL), outL(inL), outR(inL);
    for (auto _ : state) {
        for (int32_t i = 0; i < events; ++i)
            engine.queueMidiEvent(
                MidiQueueEvent {0xB0, 1, static_cast<uint8_t>(i & 0x7f), 0, i * frames / (events + 1)});
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), outR.data()};
        benchmark::DoNotOptimize(engine.render(ins, outs, frames, true));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_RenderBlock)->Args({64, 0})->Args({512, 0})->Args({512, 32})->Args({4096, 256});

}  // namespace
