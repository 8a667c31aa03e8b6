// The test module with the host's two threads at once: blocks render on an
// audio thread while the host thread restores chunks (program switches) and
// writes parameters.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/support/VstTestHost.h"

namespace {

TEST(VstModuleThreads, BlocksRenderedDuringProgramSwitchesAreSilenceOrWhole)
{
    PluginModule module(TB_TEST_VST_MODULE);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    VstTestHost host;
    AEffect* e = host.create(module);
    ASSERT_NE(e, nullptr);
    host.start();

    std::vector<unsigned char> chunkA = host.getChunk(true);
    ASSERT_EQ(chunkA.size(), 28u);
    std::vector<unsigned char> chunkB = chunkA;
    const float a = 0.25f, b = 0.75f;
    std::memcpy(chunkA.data() + 4, &a, 4);
    std::memcpy(chunkB.data() + 4, &b, 4);

    std::atomic<bool> stop {false};
    std::atomic<int> silentBlocks {0}, renderedBlocks {0}, badSamples {0};
    std::thread audio([&] {
        const int frames = 300;
        std::vector<float> inL(frames, 1.0f), inR(frames, 1.0f), outL(frames), outR(frames);
        float* in[] = {inL.data(), inR.data()};
        float* out[] = {outL.data(), outR.data()};
        VstMidiEvent note = VstTestHost::midi(0x90, 60, 0, 10);  // a note-off: level stays 0
        VstEvents events {};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&note);
        while (!stop.load()) {
            std::fill(outL.begin(), outL.end(), std::nanf(""));
            std::fill(outR.begin(), outR.end(), std::nanf(""));
            e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
            e->processReplacing(e, in, out, frames);
            bool silent = true;
            for (int i = 0; i < frames; ++i) {
                // Input 1.0 gives parameter 0 itself: 0.25, 0.5 or 0.75.
                const float v = outL[i];
                const bool known = v == 0.0f || std::fabs(v - 0.25f) < 1e-6f || std::fabs(v - 0.5f) < 1e-6f
                    || std::fabs(v - 0.75f) < 1e-6f;
                if (!known || outR[i] != v || inL[i] != 1.0f)
                    badSamples.fetch_add(1);
                silent = silent && v == 0.0f;
            }
            (silent ? silentBlocks : renderedBlocks).fetch_add(1);
        }
    });

    for (int round = 0; round < 40; ++round) {
        EXPECT_EQ(host.setChunk(round % 2 ? chunkB : chunkA, true), 1);
        host.setParameter(0, 0.5f);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Let at least a few blocks render after the last switch.
    const int before = renderedBlocks.load();
    while (renderedBlocks.load() < before + 3)
        std::this_thread::yield();
    stop.store(true);
    audio.join();

    EXPECT_EQ(badSamples.load(), 0);
    EXPECT_GT(renderedBlocks.load(), 0);
    EXPECT_EQ(host.close(), 1);
}

TEST(VstModuleThreads, InstancesOnTwoThreadsStayApart)
{
    PluginModule module(TB_TEST_VST_MODULE);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    VstTestHost first, second;
    ASSERT_NE(first.create(module), nullptr);
    ASSERT_NE(second.create(module), nullptr);
    first.start();
    second.start();
    first.setParameter(0, 0.25f);
    second.setParameter(0, 1.0f);

    auto run = [](VstTestHost& host, float expected, std::atomic<int>& bad) {
        std::vector<std::vector<float>> in(2, std::vector<float>(128, 1.0f));
        std::vector<std::vector<float>> out(2, std::vector<float>(128, 0.0f));
        for (int block = 0; block < 200; ++block) {
            host.processReplacing(in, out);
            if (std::fabs(out[0][127] - expected) > 1e-6f)
                bad.fetch_add(1);
        }
    };
    std::atomic<int> bad {0};
    std::thread t1([&] { run(first, 0.25f, bad); });
    std::thread t2([&] { run(second, 1.0f, bad); });
    t1.join();
    t2.join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace
