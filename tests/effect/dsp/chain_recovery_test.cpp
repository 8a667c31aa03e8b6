#include "tests/effect/dsp/chain_rig.h"

#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

using chaintest::ChainRig;

namespace {

constexpr double kRate = 48000.0;
constexpr int kSecond = 48000;
constexpr int kQuarter = kSecond / 4;
constexpr double kTone = 997.0;

struct Config {
    const char* name;
    float types[5];
};

const Config kConfigs[] = {
    {"empty", {0, 0, 0, 0, 0}},
    {"distortion", {1, 0, 0, 0, 0}},
    {"chorus", {2, 0, 0, 0, 0}},
    {"flanger", {3, 0, 0, 0, 0}},
    {"phaser", {4, 0, 0, 0, 0}},
    {"reverb", {5, 0, 0, 0, 0}},
    {"delay", {6, 0, 0, 0, 0}},
    {"noise gate", {7, 0, 0, 0, 0}},
    {"equaliser", {8, 0, 0, 0, 0}},
    {"compressor", {9, 0, 0, 0, 0}},
    {"modulator", {10, 0, 0, 0, 0}},
    {"heavy", {1, 2, 4, 6, 5}},
};

// A quarter second of tone, one 128-frame block of 'burst' on both sides,
// then a second of tone; returns the left output.
std::vector<float> renderAround(const Config& config, float burst)
{
    ChainRig rig(kRate);
    for (int b = 0; b < 5; ++b)
        rig.set(45 + b, config.types[b]);
    const int frames = kQuarter + 128 + kSecond;
    std::vector<float> l = tbtest::makeSine(kTone, kRate, frames, 0.1f);
    std::fill(l.begin() + kQuarter, l.begin() + kQuarter + 128, burst);
    std::vector<float> r = l, ol, orr;
    rig.render(l, r, ol, orr);
    return ol;
}

}  // namespace

// Guards the fault where one infinite or max-float input sample left the
// chain broken until a reset: the input high-pass and the feedback lines kept
// it (an empty chain stayed silent after -inf, a delay played inf for ever,
// the heavy chain played 21 dB too quietly a second later), and max-float,
// once limited to 1e6, left a delay echoing at +120 dBFS. Input that is not
// finite or lies beyond +-1e6 must play as silence, and what the loudest
// input taken leaves behind must die away within the second.
TEST(ChainRecovery, EveryConfigurationRecoversWithinASecondOfABadBlock)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Config& config : kConfigs) {
        const std::vector<float> silent = renderAround(config, 0.0f);
        for (float burst : {inf, -inf, nan, FLT_MAX, -FLT_MAX, 1.0001e6f})
            EXPECT_TRUE(renderAround(config, burst) == silent) << config.name << " after " << burst;

        for (float sign : {1.0f, -1.0f}) {
            const std::vector<float> out = renderAround(config, sign * 1e6f);
            ASSERT_TRUE(tbtest::allFinite(out)) << config.name << " after " << sign * 1e6f;
            EXPECT_FALSE(out == silent) << config.name << ": the limit itself still plays";
            // What the burst leaves behind: the difference to the silent run,
            // in the first and the last quarter of the second after it.
            std::vector<float> trace(out.size());
            for (size_t i = 0; i < out.size(); ++i)
                trace[i] = out[i] - silent[i];
            const double first = tbtest::rmsDb(trace.data() + kQuarter + 128, kQuarter);
            const double last = tbtest::rmsDb(trace.data() + trace.size() - kQuarter, kQuarter);
            EXPECT_TRUE(last < -40.0 || last < first - 12.0)
                << config.name << ": " << first << " dB then " << last << " dB after " << sign * 1e6f;
        }
    }
}

// Finite values outside 0..1 from a chunk or a host used to reach the gain
// laws and bands unclamped: an output level of 16 played at 8.6e36, a band at
// 4 or more rendered NaN and stayed NaN after it went back to 0.5. Every slot
// with every wild value must render finite, bounded output and play as before
// once the slot has its value back. The boxes hold pedals without tails or
// oscillators, whose state would rightly differ afterwards (the pedals' own
// knob ranges are tested with each pedal).
TEST(ChainRecovery, EverySlotSurvivesWildValuesAndRecovers)
{
    const float boxTypes[5] = {1, 8, 9, 7, 1};  // distortion, equaliser, compressor, noise gate, distortion
    auto makeRig = [&] {
        auto rig = std::make_unique<ChainRig>(kRate);
        for (int b = 0; b < 5; ++b)
            rig->set(45 + b, boxTypes[b]);
        return rig;
    };
    constexpr int kShort = kSecond / 16;
    const std::vector<float> tone = tbtest::makeSine(kTone, kRate, 3 * kShort, 0.1f);
    auto play = [&](ChainRig& rig, int frames) {
        std::vector<float> l(tone.begin(), tone.begin() + frames), r = l, ol, orr;
        rig.render(l, r, ol, orr);
        return ol;
    };
    auto reference = makeRig();
    play(*reference, kShort);
    const double expected = tbtest::levelDbAt(play(*reference, 3 * kShort).data() + 2 * kShort, kShort, kTone, kRate);

    // One chain per slot takes every wild value in turn, each followed by the
    // slot's own value.
    for (int slot = 0; slot < 50; ++slot) {
        auto rig = makeRig();
        for (float wild : {-1e30f, -1.0f, 0.0f, 0.5f, 1.0f, 2.0f, 16.0f, 1e30f}) {
            const float keep = rig->program.values[slot];
            rig->set(slot, wild);
            const std::vector<float> during = play(*rig, kShort);
            ASSERT_TRUE(tbtest::allFinite(during)) << "slot " << slot << " at " << wild;
            // Both gains and the centre band at their tops give about +84 dB.
            ASSERT_LT(tbtest::peakAbs(during.data(), kShort), 1e4f) << "slot " << slot << " at " << wild;
            rig->set(slot, keep);
            const std::vector<float> after = play(*rig, 3 * kShort);
            ASSERT_TRUE(tbtest::allFinite(after)) << "slot " << slot << " back from " << wild;
            EXPECT_NEAR(tbtest::levelDbAt(after.data() + 2 * kShort, kShort, kTone, kRate), expected, 1.0)
                << "slot " << slot << " back from " << wild;
        }
    }
}
