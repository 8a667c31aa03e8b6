#include "tests/effect/product/product_rig.h"

#include "effect/dsp/CDriveEffect.h"
#include "effect/product/PresetFiles.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

using namespace producttest;

namespace {

// Counts host notifications from several threads.
class CountingWrapper : public CPluginWrapper {
public:
    void parameterChanged(int32_t, float) override { count.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<long> count {0};
};

// The host's audio thread: renders noise blocks until finished and notes
// whether every output sample was a finite number.
struct RenderThread {
    RenderThread(CDrive& engine, unsigned seed)
        : thread([this, &engine, seed] {
            tbtest::NoiseSource noise(seed);
            float l[256], r[256], ol[256], orr[256];
            while (!stop.load()) {
                noise.fill(l, 256, 0.3f);
                noise.fill(r, 256, 0.3f);
                float* in[2] = {l, r};
                float* out[2] = {ol, orr};
                if (engine.render(in, out, 256, true) != 0) {
                    std::this_thread::yield();
                    continue;
                }
                rendered.fetch_add(1);
                if (!tbtest::allFinite(ol, 256) || !tbtest::allFinite(orr, 256))
                    finite.store(false);
            }
        })
    {
    }
    ~RenderThread() { finish(); }
    void finish()
    {
        stop.store(true);
        if (thread.joinable())
            thread.join();
    }
    void waitForBlocks(long n) const
    {
        while (rendered.load() < n)
            std::this_thread::yield();
    }
    // Two more blocks after the last call, so its effect is rendered too.
    void finishAfterTwoMoreBlocks()
    {
        waitForBlocks(rendered.load() + 2);
        finish();
    }
    std::atomic<bool> stop {false};
    std::atomic<long> rendered {0};
    std::atomic<bool> finite {true};
    std::thread thread;
};

}  // namespace

// One thread renders, one automates parameters and box types, one restores
// chunks (each a program switch) and changes the rate now and then. Pedals
// must be built only on the render thread, switches must wait for blocks,
// and under ThreadSanitizer none of it may race.
TEST(DriveThreads, AutomationSwitchesAndPedalChangesWhileRendering)
{
    DataRoot root;
    CountingWrapper wrapper;
    CDrive engine(&wrapper);
    engine.setSampleRate(48000.0);
    engine.selectProgram(0);

    RenderThread audio(engine, 4u);

    std::thread switcher([&] {
        float values[50];
        defaultValues(values);
        for (int i = 0; i < 40; ++i) {
            values[45 + i % 5] = static_cast<float>(i % 11);
            values[11] = static_cast<float>(i % 6);
            const std::vector<uint8_t> chunk = makeChunk(values, "switch");
            engine.setProgramChunk(chunk.data(), static_cast<int32_t>(chunk.size()));
            if (i % 10 == 9)
                engine.setSampleRate(i % 20 == 9 ? 44100.0 : 48000.0);
        }
    });

    std::mt19937 random(8u);
    std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
    for (int i = 0; i < 4000; ++i) {
        engine.setParameter(13 + i % 25, fraction(random));
        engine.setParameter(3 + i % 8, fraction(random));
        engine.setParameter(0, fraction(random));
        if (i % 20 == 0)
            engine.setParameter(45 + (i / 20) % 5, static_cast<float>(i % 11));
    }
    switcher.join();

    // Settle on a known program and let the render thread apply it.
    float last[50];
    defaultValues(last);
    const float types[5] = {1, 5, 6, 0, 9};
    for (int b = 0; b < 5; ++b)
        last[45 + b] = types[b];
    const std::vector<uint8_t> chunk = makeChunk(last, "last");
    ASSERT_EQ(engine.setProgramChunk(chunk.data(), 460), 460);
    audio.finishAfterTwoMoreBlocks();
    EXPECT_TRUE(audio.finite.load());
    EXPECT_GT(wrapper.count.load(), 40 * 50);
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(engine.getChain()->box(b).currentType(), static_cast<int>(types[b])) << b;
        EXPECT_EQ(engine.getChain()->box(b).pedal() != nullptr, types[b] != 0) << b;
    }
    EXPECT_EQ(engine.getPendingProgramChanges(), 0);
}

// A session loader and the UI thread may both call in at once. Before control
// calls took turns, one thread's rate change freed the reverb's and the delay's
// lines while the other's reset or chunk restore wrote into them (a heap
// use-after-free under ASan, a race under TSan). Blocks render meanwhile.
TEST(DriveThreads, OverlappingControlCallsTakeTurns)
{
    DataRoot root;
    CountingWrapper wrapper;
    CDrive engine(&wrapper);
    engine.setSampleRate(44100.0);
    float values[50];
    defaultValues(values);
    const float types[5] = {5, 6, 2, 3, 10};  // reverb, delay, chorus, flanger, modulator
    for (int b = 0; b < 5; ++b)
        values[45 + b] = types[b];
    const std::vector<uint8_t> chunk = makeChunk(values, "overlap");
    ASSERT_EQ(engine.setProgramChunk(chunk.data(), 460), 460);

    RenderThread audio(engine, 9u);
    audio.waitForBlocks(2);

    // 2.5 s keeps the suite quick; TB_THREADS_SECONDS runs it longer as a soak.
    const char* seconds = std::getenv("TB_THREADS_SECONDS");
    const double span = seconds != nullptr ? std::atof(seconds) : 2.5;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(span);
    // Each thread makes every kind of call at least once, however slow the
    // machine (a sanitizer build under load manages only a few a second).
    auto control = [&](int offset) {
        for (int i = offset; i < offset + 3 || std::chrono::steady_clock::now() < until; ++i) {
            switch (i % 3) {
            case 0: engine.setProgramChunk(chunk.data(), 460); break;
            case 1: engine.setSampleRate(i % 2 ? 44100.0 : 48000.0); break;
            default: engine.reset(); break;
            }
        }
    };
    std::thread loader(control, 0);
    std::thread ui(control, 1);
    loader.join();
    ui.join();
    audio.finishAfterTwoMoreBlocks();
    EXPECT_TRUE(audio.finite.load());
    EXPECT_EQ(engine.getPendingProgramChanges(), 0);
    for (int b = 0; b < 5; ++b)
        EXPECT_NE(engine.getChain()->box(b).pedal(), nullptr) << b;
}

// The open editor's program menu read the name in place while a host's
// chunk restore on its loader thread rewrote it (a race under TSan).
TEST(DriveThreads, ProgramMenuCopiesTheNameWhileAHostRestoresChunks)
{
    DataRoot root;
    CDrive engine(nullptr);
    float values[50];
    defaultValues(values);
    const std::vector<uint8_t> chunk = makeChunk(values, "restored");
    std::thread loader([&] {
        for (int i = 0; i < 200; ++i)
            engine.setProgramChunk(chunk.data(), 460);
    });
    for (int i = 0; i < 200; ++i)
        presetfiles::buildMenu(engine, [](const char*, int32_t, bool) {});
    loader.join();
}
