#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "effect/pedals/CPedal_Reverb.h"
#include "effect/reverb/PlateEffect.h"
#include "tests/effect/pedals/mod_pedal_rig.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

using modrig::make;
using namespace plate;

namespace {

std::string display(const CPedal_Reverb& pedal, int index)
{
    char text[64];
    pedal.reverb()->getParameterDisplay(index, text);
    return text;
}

}  // namespace

TEST(ReverbPedal, KnobsReachDecayDampingAndLevel)
{
    auto pedal = make<CPedal_Reverb>(44100.0, {1.0f, 1.0f, 1.0f});
    ASSERT_NE(pedal->reverb(), nullptr);
    EXPECT_EQ(pedal->reverb()->naturalValue(kDecay), 120);
    EXPECT_EQ(display(*pedal, kDecay), "12.0");
    EXPECT_EQ(pedal->reverb()->naturalValue(kHighDamping), 5);
    EXPECT_EQ(pedal->reverb()->naturalValue(kReverb), 60);

    pedal->setParameter(0, 0.0f);
    pedal->setParameter(1, 0.0f);
    pedal->setParameter(2, 0.0f);
    EXPECT_EQ(pedal->reverb()->naturalValue(kDecay), 1);
    EXPECT_EQ(display(*pedal, kHighDamping), "OFF");
    EXPECT_EQ(display(*pedal, kReverb), "-Inf") << "0.001 still lands on the silent level";
}

TEST(ReverbPedal, ResetSwitchesTheHighCutOffWithFullDiffusion)
{
    auto pedal = make<CPedal_Reverb>(48000.0, {0.5f, 0.5f, 0.5f});
    EXPECT_EQ(display(*pedal, kHighCut), "OFF");
    EXPECT_EQ(pedal->reverb()->naturalValue(kDiffusion), 100);
    EXPECT_EQ(pedal->reverb()->plate().memory().line(5).allocated, 48000 * 4453 / 20000);
}

TEST(ReverbPedal, DecayKnobLengthensTheTail)
{
    auto tail = [](float decay) {
        auto pedal = make<CPedal_Reverb>(44100.0, {decay, 0.5f, 1.0f});
        std::vector<float> l = tbtest::makeNoise(44100, 3), r = tbtest::makeNoise(44100, 4);
        l.resize(3 * 44100, 0.0f);
        r.resize(3 * 44100, 0.0f);
        modrig::render(*pedal, l, r);
        return tbtest::rmsDb(l.data() + 2 * 44100, 44100);
    };
    const double shortTail = tail(0.3f);
    const double longTail = tail(1.0f);
    EXPECT_GT(longTail, shortTail + 20.0);
    EXPECT_GT(longTail, -40.0);
}

TEST(ReverbPedal, DampKnobTurnedUpDarkensTheTail)
{
    // The tail's brightness: the rms of its sample-to-sample steps over its rms.
    auto brightness = [](float damp) {
        auto pedal = make<CPedal_Reverb>(48000.0, {0.7f, damp, 1.0f});
        std::vector<float> l = tbtest::makeNoise(24000, 3), r = tbtest::makeNoise(24000, 4);
        l.resize(96000, 0.0f);
        r.resize(96000, 0.0f);
        modrig::render(*pedal, l, r);
        double steps = 0.0, level = 0.0;
        for (size_t i = 48001; i < l.size(); ++i) {
            steps += (l[i] - l[i - 1]) * (l[i] - l[i - 1]);
            level += l[i] * l[i];
        }
        return std::sqrt(steps / level);
    };
    const double open = brightness(0.0f), half = brightness(0.5f), shut = brightness(1.0f);
    EXPECT_GT(open, 1.0);
    EXPECT_LT(half, open);
    EXPECT_LT(shut, half);
    EXPECT_LT(shut, 0.2);
}

TEST(ReverbPedal, ProcessesInPlaceWithTheDrySignalKept)
{
    // With the reverb level at its floor only dry and early reflections remain;
    // the reflections start 1102 * 1.5 * room / 44100 samples late, so the
    // first samples are the dry input alone.
    auto pedal = make<CPedal_Reverb>(44100.0, {0.5f, 0.5f, 0.0f});
    std::vector<float> l = tbtest::makeNoise(256, 1), r = tbtest::makeNoise(256, 2);
    const std::vector<float> inL = l, inR = r;
    modrig::render(*pedal, l, r);
    for (int i = 0; i < 256; ++i) {
        ASSERT_NEAR(l[i], inL[i], 1e-6f);
        ASSERT_NEAR(r[i], inR[i], 1e-6f);
    }
}
