#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "framework/dsp/CTapeDelay.h"
#include "tests/effect/pedals/PedalHarness.h"
#include "tests/effect/pedals/PedalKinds.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

// Knobs are turned on the editor's or the host's thread while the audio
// thread processes; neither side takes a lock. These tests let the two race
// (ThreadSanitizer checks the accesses) and check the audio stays sound.

TEST(PedalKnobThreads, KnobsTurnedWhileTheAudioThreadProcesses)
{
    for (const tbtest::PedalKind& kind : tbtest::allPedals()) {
        std::unique_ptr<CPedalFX, tbtest::PedalDestroyer> pedal(kind.make());
        tbtest::preparePedal(*pedal, 48000.0, {});
        std::atomic<bool> done{false};
        std::thread knobs([&] {
            tbtest::NoiseSource values(9);
            int j = 0;
            while (!done.load(std::memory_order_acquire)) {
                pedal->setParameter(j, 0.5f + 0.6f * values.next()); // also beyond 0..1
                j = (j + 1) % 5;
            }
        });
        tbtest::NoiseSource noise(4);
        std::vector<float> l(256), r(256);
        bool finite = true;
        for (int b = 0; b < 800 && finite; ++b) {
            noise.fill(l.data(), 256, 0.5f);
            noise.fill(r.data(), 256, 0.5f);
            pedal->process(l.data(), r.data(), 256);
            finite = tbtest::allFinite(l.data(), 256) && tbtest::allFinite(r.data(), 256);
        }
        done.store(true, std::memory_order_release);
        knobs.join();
        EXPECT_TRUE(finite) << kind.name;
    }
}

TEST(PedalKnobThreads, TapeDelaySettingsWrittenWhileTheLineRuns)
{
    CTapeDelay line(4800, 0.25);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        tbtest::NoiseSource values(3);
        while (!done.load(std::memory_order_acquire)) {
            const float v = values.next();
            line.targetSpeed = 1.0 / (100.0 + 2000.0 * (v + 1.0));
            line.feedback = 0.5f * v;
            line.targetGain = v;
            line.lfoDepth = 0.5f + 0.5f * v;
            line.lfoIncrement = 1e-4 * (v + 1.0);
        }
    });
    tbtest::NoiseSource noise(6);
    bool finite = true;
    for (int n = 0; n < 400000 && finite; ++n)
        finite = std::isfinite(line.process(noise.next(0.5f)));
    done.store(true, std::memory_order_release);
    writer.join();
    EXPECT_TRUE(finite);
}
