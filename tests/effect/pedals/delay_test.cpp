#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_Delay.h"
#include "tests/effect/pedals/mod_pedal_rig.h"

using modrig::make;

namespace {

// Index and height of the largest magnitude in [from, to).
int peakIndex(const std::vector<float>& x, int from, int to)
{
    int best = from;
    for (int i = from; i < to; ++i)
        if (std::fabs(x[i]) > std::fabs(x[best]))
            best = i;
    return best;
}

}  // namespace

TEST(Delay, DcSettlesWithRepeatsAndLevel)
{
    struct Case {
        float repeats, level;
    };
    for (Case c : {Case {0.0f, 0.0f}, Case {1.0f, 1.0f}, Case {0.5f, 0.5f}}) {
        auto delay = make<CPedal_Delay>(8000.0, {0.1f, c.repeats, c.level});
        // Full repeats take about 135 laps of 800 samples to settle.
        std::vector<float> l(160000, 1.0f), r(160000, 1.0f);
        modrig::render(*delay, l, r);
        const double fb = -0.95 * c.repeats * c.repeats;
        const double level = -0.1 - 0.9 * c.level * c.level;
        const double expected = 1.0 + level / (1.0 - fb);
        EXPECT_NEAR(modrig::mean(l, 150000, 160000), expected, 1e-3);
        EXPECT_NEAR(modrig::mean(r, 150000, 160000), expected, 1e-3);
    }
}

TEST(Delay, TimeKnobSetsTheEchoInSamples)
{
    // One second of tape: the echo comes after about 2 + (rate - 2) * time
    // samples, time used up to 0.99 and not below 0.1. The 1 Hz wow only ever
    // speeds the tape up, by at most 1 %.
    const double rate = 44100.0;
    auto echo = [&](float knob) {
        auto delay = make<CPedal_Delay>(rate, {knob, 0.0f, 1.0f});
        std::vector<float> l(2 * 44100 + 1000, 0.0f), r(l.size(), 0.0f);
        const int at = 44100 + 10;  // after the first, silent lap of either line
        l[at] = 1.0f;
        modrig::render(*delay, l, r);
        return peakIndex(l, at + 1, static_cast<int>(l.size())) - at;
    };
    for (auto [knob, time] : {std::pair {0.5f, 0.5}, std::pair {1.0f, 0.99}, std::pair {0.05f, 0.1}}) {
        const double nominal = 2 + (rate - 2) * time;
        const int measured = echo(knob);
        EXPECT_LE(measured, nominal + 1) << "knob " << knob;
        EXPECT_GE(measured, nominal * 0.99 - 1) << "knob " << knob;
    }
}

TEST(Delay, RepeatsDecayByTheFeedbackWithAlternatingSign)
{
    auto delay = make<CPedal_Delay>(8000.0, {0.1f, 1.0f, 1.0f});
    std::vector<float> l(8000, 0.0f), r(8000, 0.0f);
    l[1000] = 1.0f;
    modrig::render(*delay, l, r);
    const int first = peakIndex(l, 1001, 3000);
    const int second = peakIndex(l, first + 10, 5000);
    const double a = modrig::lobe(l, first, 3);
    const double b = modrig::lobe(l, second, 3);
    EXPECT_NEAR(a, -1.0, 0.02);
    EXPECT_NEAR(b / a, -0.95, 0.02);
    EXPECT_NEAR(second - first, first - 1000, 8) << "the wow moves the echoes by at most 1 %";
    for (float x : r)
        ASSERT_EQ(x, 0.0f) << "each side has its own line";
}
