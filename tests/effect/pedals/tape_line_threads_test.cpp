#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "framework/dsp/CTapeDelay.h"
#include "tests/support/SignalGenerators.h"

// Pedals themselves are audio-thread objects: the chain hands them knob
// values at their box's turn (see the chain's threads test), so a pedal's
// setParameter never races its process. A tape line's public settings are the
// exception worth guarding: pedals write them field by field, and a line must
// stay sound whatever mix of old and new settings it meets mid-block.

TEST(TapeLineThreads, SettingsWrittenWhileTheLineRuns)
{
    CTapeDelay line(4800, 0.25);
    std::atomic<bool> done {false};
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
