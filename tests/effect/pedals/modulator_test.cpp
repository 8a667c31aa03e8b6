#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effect/pedals/CPedal_Modulator.h"
#include "tests/effect/pedals/mod_pedal_rig.h"

using modrig::make;

namespace {

// Mean spacing of upward crossings of `level` in x[from..].
double crossingPeriod(const std::vector<float>& x, int from, float level)
{
    std::vector<double> ups;
    for (size_t i = from + 1; i < x.size(); ++i)
        if (x[i - 1] < level && x[i] >= level)
            ups.push_back(double(i - 1) + (level - x[i - 1]) / (x[i] - x[i - 1]));
    if (ups.size() < 2)
        return 0.0;
    return (ups.back() - ups.front()) / double(ups.size() - 1);
}

}  // namespace

TEST(Modulator, PanSwingsBetweenTheSidesAtTheLfoRate)
{
    // Knob 3 at 0.5: 30 * 0.25 = 7.5 Hz. DC at 0.5 per side makes a mono sum of 1.
    const double rate = 44100.0;
    auto mod = make<CPedal_Modulator>(rate, {0.5f, 0.0f, 1.0f, 0.5f});
    std::vector<float> l(88200, 0.5f), r(88200, 0.5f);
    modrig::render(*mod, l, r);
    const int from = 44100;
    EXPECT_NEAR(*std::max_element(l.begin() + from, l.end()), 2.0f, 0.01f);
    EXPECT_NEAR(*std::min_element(l.begin() + from, l.end()), 0.0f, 0.01f);
    for (int i = from; i < 88200; ++i)
        ASSERT_NEAR(l[i] + r[i], 2.0f, 1e-3f) << "the pan only moves the signal between sides";
    EXPECT_NEAR(crossingPeriod(l, from, 1.0f), rate / 7.5, 1.0);
}

TEST(Modulator, TremoloShapesBothSidesAlike)
{
    const double rate = 48000.0;
    auto mod = make<CPedal_Modulator>(rate, {0.5f, 1.0f, 0.0f, 1.0f});  // 30 Hz
    std::vector<float> l(96000, 0.5f), r(96000, 0.5f);
    modrig::render(*mod, l, r);
    const int from = 48000;
    for (int i = from; i < 96000; ++i)
        ASSERT_EQ(l[i], r[i]);
    EXPECT_NEAR(*std::max_element(l.begin() + from, l.end()), 2.0f, 0.01f);
    EXPECT_NEAR(*std::min_element(l.begin() + from, l.end()), 0.0f, 0.01f);
    EXPECT_NEAR(crossingPeriod(l, from, 1.0f), rate / 30.0, 0.5);
}

TEST(Modulator, OnlyTheDelayedMonoSumComesOut)
{
    // No rate, no tremolo, no pan: a 10 ms line at a quarter setting delays
    // by about 2 + 439 * 0.25 samples at 44.1 kHz; nothing dry is left.
    auto mod = make<CPedal_Modulator>(44100.0, {0.5f, 0.0f, 0.0f, 0.0f});
    const int at = 2000;
    std::vector<float> l(3000, 0.0f), r(3000, 0.0f);
    l[at] = 1.0f;
    modrig::render(*mod, l, r);
    EXPECT_EQ(l[at], 0.0f);
    EXPECT_NEAR(modrig::lobe(l, at + 112, 3), 1.0, 0.01);
    EXPECT_NEAR(modrig::lobe(r, at + 112, 3), 1.0, 0.01);
    double elsewhere = 0.0;
    for (int i = at; i < 3000; ++i)
        if (std::abs(i - at - 112) > 3)
            elsewhere += std::fabs(l[i]);
    EXPECT_LT(elsewhere, 1e-6);
}
