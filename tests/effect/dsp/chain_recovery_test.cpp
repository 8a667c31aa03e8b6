#include "tests/effect/dsp/chain_rig.h"

#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
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
// the heavy chain played 21 dB too quietly a second later). Non-finite input
// must play as silence, max-float as the input limit, and what that leaves
// behind must die away within the second.
TEST(ChainRecovery, EveryConfigurationRecoversWithinASecondOfABadBlock)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Config& config : kConfigs) {
        const std::vector<float> silent = renderAround(config, 0.0f);
        for (float burst : {inf, -inf, nan})
            EXPECT_TRUE(renderAround(config, burst) == silent) << config.name << " after " << burst;

        for (float sign : {1.0f, -1.0f}) {
            const std::vector<float> out = renderAround(config, sign * FLT_MAX);
            EXPECT_TRUE(out == renderAround(config, sign * 1e6f)) << config.name;
            ASSERT_TRUE(tbtest::allFinite(out)) << config.name << " after " << sign * FLT_MAX;
            // What the burst leaves behind: the difference to the silent run,
            // in the first and the last quarter of the second after it.
            std::vector<float> trace(out.size());
            for (size_t i = 0; i < out.size(); ++i)
                trace[i] = out[i] - silent[i];
            const double first = tbtest::rmsDb(trace.data() + kQuarter + 128, kQuarter);
            const double last = tbtest::rmsDb(trace.data() + trace.size() - kQuarter, kQuarter);
            EXPECT_TRUE(last < -40.0 || last < first - 12.0)
                << config.name << ": " << first << " dB then " << last << " dB after " << sign * FLT_MAX;
        }
    }
}
