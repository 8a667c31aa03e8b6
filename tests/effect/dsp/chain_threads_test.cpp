#include "tests/effect/dsp/chain_rig.h"

#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

using chaintest::ChainRig;

// Pedals are built, fed and destroyed only by the rendering thread while
// another thread turns knobs, moves bands, switches models and changes box
// types as fast as it can. Under ThreadSanitizer this must stay race-free.
TEST(ChainThreads, RequestsFromAnotherThreadAreCarriedOutByTheRenderThread)
{
    ChainRig rig(48000.0);
    std::atomic<bool> stop {false};
    std::atomic<long> blocks {0};
    std::atomic<bool> finite {true};

    std::thread audio([&] {
        tbtest::NoiseSource noise(11u);
        float l[128], r[128], ol[128], orr[128];
        while (!stop.load()) {
            noise.fill(l, 128, 0.3f);
            noise.fill(r, 128, 0.3f);
            rig.chain.process(l, r, ol, orr, 128);
            if (!tbtest::allFinite(ol, 128) || !tbtest::allFinite(orr, 128))
                finite.store(false);
            blocks.fetch_add(1);
        }
    });

    std::mt19937 random(5u);
    std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
    std::uniform_int_distribution<int> type(0, 10);
    int lastType[5] = {};
    for (int i = 0; i < 3000; ++i) {
        const int box = i % 5;
        lastType[box] = type(random);
        // The program is read by the render thread when it builds a pedal,
        // so the knob values go through the chain only; the program keeps
        // its defaults here.
        rig.chain.setEffectParameter(45 + box, static_cast<float>(lastType[box]));
        rig.chain.setEffectParameter(13 + 5 * box + i % 5, fraction(random));
        rig.chain.setEffectParameter(3 + i % 8, fraction(random));
        rig.chain.setEffectParameter(39 + box, i % 7 == 0 ? 0.0f : 1.0f);
        if (i % 50 == 0)
            rig.chain.setEffectParameter(11, static_cast<float>(i / 50 % 6));
        rig.chain.setEffectParameter(0, fraction(random));
        if (i % 100 == 0)
            std::this_thread::yield();
    }
    const long seen = blocks.load();
    while (blocks.load() < seen + 2)
        std::this_thread::yield();
    stop.store(true);
    audio.join();

    EXPECT_TRUE(finite.load());
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(rig.chain.box(b).currentType(), lastType[b]) << "box " << b;
        EXPECT_EQ(rig.chain.box(b).pendingType(), -1) << "box " << b;
        EXPECT_EQ(rig.chain.box(b).pedal() != nullptr, lastType[b] != 0) << "box " << b;
    }
}
