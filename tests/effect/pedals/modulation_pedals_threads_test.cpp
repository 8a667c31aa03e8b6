#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "effect/pedals/CPedal_Chorus.h"
#include "effect/pedals/CPedal_Delay.h"
#include "effect/pedals/CPedal_Flanger.h"
#include "effect/pedals/CPedal_Modulator.h"
#include "effect/pedals/CPedal_Phaser.h"
#include "effect/pedals/CPedal_Reverb.h"
#include "tests/effect/pedals/mod_pedal_rig.h"
#include "tests/support/SignalGenerators.h"

// The editor or the host turns knobs while the audio thread processes, with
// no lock on either side; ThreadSanitizer checks every shared access.
namespace {

template <class T>
bool raceKnobs()
{
    modrig::PedalPtr<CPedalFX> pedal(new T);
    modrig::prepare(*pedal, 48000.0, {});
    std::atomic<bool> done{false};
    std::thread knobs([&] {
        tbtest::NoiseSource values(11);
        int j = 0;
        while (!done.load(std::memory_order_acquire)) {
            pedal->setParameter(j, 0.5f + 0.6f * values.next());
            j = (j + 1) % 5;
        }
    });
    tbtest::NoiseSource noise(3);
    std::vector<float> l(256), r(256);
    bool finite = true;
    for (int b = 0; b < 600; ++b) {
        noise.fill(l.data(), 256, 0.5f);
        noise.fill(r.data(), 256, 0.5f);
        pedal->process(l.data(), r.data(), 256);
        for (int i = 0; i < 256; ++i)
            finite = finite && std::isfinite(l[i]) && std::isfinite(r[i]);
    }
    done.store(true, std::memory_order_release);
    knobs.join();
    return finite;
}

} // namespace

TEST(ModulationPedalThreads, KnobsTurnedWhileTheAudioThreadProcesses)
{
    EXPECT_TRUE(raceKnobs<CPedal_Chorus>());
    EXPECT_TRUE(raceKnobs<CPedal_Flanger>());
    EXPECT_TRUE(raceKnobs<CPedal_Phaser>());
    EXPECT_TRUE(raceKnobs<CPedal_Reverb>());
    EXPECT_TRUE(raceKnobs<CPedal_Delay>());
    EXPECT_TRUE(raceKnobs<CPedal_Modulator>());
}
