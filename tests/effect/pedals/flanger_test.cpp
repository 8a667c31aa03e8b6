#include <gtest/gtest.h>

#include <vector>

#include "effect/pedals/CPedal_Flanger.h"
#include "tests/effect/pedals/mod_pedal_rig.h"

using modrig::make;

TEST(Flanger, DcSettlesWithTheNegativeFeedback)
{
    // The line records x - 0.1 * delayed, so DC settles at x / 1.1 inside it
    // and the output at x * (1 + level / 1.1); level 0 still gives -0.1.
    for (float knob : {0.0f, 1.0f, 0.5f}) {
        auto flanger = make<CPedal_Flanger>(44100.0, {0.5f, 0.5f, knob});
        std::vector<float> l(44100, 1.0f), r(44100, 1.0f);
        modrig::render(*flanger, l, r);
        const double level = -0.1 - 0.9 * knob;
        EXPECT_NEAR(modrig::mean(l, 40000, 44100), 1.0 + level / 1.1, 1e-3) << "knob " << knob;
        EXPECT_NEAR(modrig::mean(r, 40000, 44100), 1.0 + level / 1.1, 1e-3) << "knob " << knob;
    }
}

TEST(Flanger, DelayKnobSpansTheShortLine)
{
    // 5 ms of line at 48 kHz: 240 samples. The setting is knob^2 kept in
    // 0.01..1 and used up to 0.99 by the speed law.
    auto echoAt = [](float knob) {
        auto flanger = make<CPedal_Flanger>(48000.0, {knob, 0.0f, 1.0f});
        std::vector<float> l(2000, 0.0f), r(2000, 0.0f);
        l[600] = 1.0f;  // after the first, silent lap
        modrig::render(*flanger, l, r);
        int best = 601;
        for (int i = 601; i < 1000; ++i)
            if (std::fabs(l[i]) > std::fabs(l[best]))
                best = i;
        return best - 600;
    };
    EXPECT_NEAR(echoAt(1.0f), 2 + 238 * 0.99, 2.0);
    EXPECT_NEAR(echoAt(0.5f), 2 + 238 * 0.25, 2.0);
    EXPECT_NEAR(echoAt(0.0f), 2 + 238 * 0.01, 2.0);
}
