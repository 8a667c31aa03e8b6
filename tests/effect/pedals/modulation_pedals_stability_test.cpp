#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "effect/pedals/CPedal_Chorus.h"
#include "effect/pedals/CPedal_Delay.h"
#include "effect/pedals/CPedal_Flanger.h"
#include "effect/pedals/CPedal_Modulator.h"
#include "effect/pedals/CPedal_Phaser.h"
#include "effect/pedals/CPedal_Reverb.h"
#include "tests/effect/pedals/mod_pedal_rig.h"
#include "tests/support/SignalGenerators.h"

namespace {

struct Kind {
    const char* name;
    std::function<CPedalFX*()> make;
};

const Kind kKinds[] = {
    {"Chorus", [] { return new CPedal_Chorus; }},   {"Flanger", [] { return new CPedal_Flanger; }},
    {"Phaser", [] { return new CPedal_Phaser; }},   {"Reverb", [] { return new CPedal_Reverb; }},
    {"Delay", [] { return new CPedal_Delay; }},     {"Modulator", [] { return new CPedal_Modulator; }},
};

class ModulationPedalStability : public ::testing::TestWithParam<int> {};

} // namespace

// Every knob at 0, 0.5, 1 and outside the range (negative, above 1, NaN,
// infinite) over 10 s of noise at 44.1, 48 and 96 kHz: the output stays finite
// and bounded. Guards against knob values that index past a line or drive a
// feedback loop above unity.
TEST_P(ModulationPedalStability, TenSecondsOfNoiseAtEveryKnobExtreme)
{
    const Kind& kind = kKinds[GetParam()];
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        for (float v : {0.0f, 0.5f, 1.0f, -0.5f, 3.0f, nan, inf, -inf}) {
            modrig::PedalPtr<CPedalFX> pedal(kind.make());
            modrig::prepare(*pedal, rate, {v, v, v, v, v});
            tbtest::NoiseSource noise(17);
            const int block = 128;
            std::vector<float> l(block), r(block);
            float peak = 0.0f;
            bool finite = true;
            for (int done = 0; done < static_cast<int>(rate * 10); done += block) {
                noise.fill(l.data(), block, 0.5f);
                noise.fill(r.data(), block, 0.5f);
                pedal->process(l.data(), r.data(), block);
                for (int i = 0; i < block; ++i) {
                    finite = finite && std::isfinite(l[i]) && std::isfinite(r[i]);
                    peak = std::max(peak, std::max(std::fabs(l[i]), std::fabs(r[i])));
                }
            }
            EXPECT_TRUE(finite) << kind.name << " at " << rate << " Hz, knobs " << v;
            EXPECT_LT(peak, 100.0f) << kind.name << " at " << rate << " Hz, knobs " << v;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SixPedals, ModulationPedalStability, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(kKinds[info.param].name); });
