#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "framework/dsp/Biquad.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

using tbtest::levelDbAt;
using tbtest::makeSine;

enum class Form { Low, High };

// Gain in dB of a section at one frequency, measured on a rendered sine after
// the filter has settled.
double measuredGainDb(BiquadSection s, Form form, double frequency, double rate)
{
    s.clearState();
    const int settle = static_cast<int>(rate);  // one second
    const int measure = static_cast<int>(rate);
    std::vector<float> x = makeSine(frequency, rate, settle + measure, 0.5f);
    for (float& v : x)
        v = (form == Form::Low) ? s.lowPass(v) : s.highPass(v);
    return levelDbAt(x.data() + settle, measure, frequency, rate) - tbtest::toDb(0.5);
}

}  // namespace

TEST(Biquad, SettersGiveTheProductsCoefficientForm)
{
    // Reference values worked out by hand in double precision from the
    // product's form: b0 = (1 -/+ cos w) / (2 + sin w / q).
    BiquadSection hp;
    setHighPass(hp, 30.0, 1.0, 48000.0);
    EXPECT_FLOAT_EQ(hp.b0, 0.9980365096232626f);
    EXPECT_FLOAT_EQ(hp.a1, -1.9921613993489873f);
    EXPECT_FLOAT_EQ(hp.a2, 0.9921767602640288f);

    BiquadSection lp;
    setLowPass(lp, 500.0, 4.0, 44100.0);
    EXPECT_FLOAT_EQ(lp.b0, 0.0012569904585174778f);
    EXPECT_FLOAT_EQ(lp.a1, -1.9600493567583055f);
    EXPECT_FLOAT_EQ(lp.a2, 0.9650333658669036f);

    setLowPass(lp, 7230.0, 4.0, 48000.0);
    EXPECT_FLOAT_EQ(lp.b0, 0.1885739354520708f);
    EXPECT_FLOAT_EQ(lp.a1, -0.9720473386544702f);
    EXPECT_FLOAT_EQ(lp.a2, 0.6627457121559075f);
}

TEST(Biquad, SettersLeaveStatesAndStoreTinyCoefficientsAsZero)
{
    BiquadSection s;
    s.x1 = 0.25f;
    s.y2 = -0.5f;
    // At a millihertz, 1 - cos w is of the order of 1e-14: flushed to 0.
    setLowPass(s, 0.001, 1.0, 48000.0);
    EXPECT_EQ(s.b0, 0.0f);
    EXPECT_EQ(s.x1, 0.25f);
    EXPECT_EQ(s.y2, -0.5f);
}

TEST(Biquad, HighPassAt30HzIsSixDbDownAtItsCorner)
{
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        BiquadSection hp;
        setHighPass(hp, 30.0, 1.0, rate);
        EXPECT_NEAR(measuredGainDb(hp, Form::High, 30.0, rate), -6.02, 0.15) << rate;
        EXPECT_NEAR(measuredGainDb(hp, Form::High, 1000.0, rate), 0.0, 0.05) << rate;
        EXPECT_LT(measuredGainDb(hp, Form::High, 8.0, rate), -20.0) << rate;
    }
}

TEST(Biquad, LowPassResonatesAtItsCornerAndPassesLowFrequencies)
{
    // q = 4 is a quality factor of 2: +6 dB at the corner.
    const double rate = 48000.0;
    BiquadSection lp;
    setLowPass(lp, 500.0, 4.0, rate);
    EXPECT_NEAR(measuredGainDb(lp, Form::Low, 40.0, rate), 0.0, 0.15);
    EXPECT_NEAR(measuredGainDb(lp, Form::Low, 500.0, rate), 6.0, 0.3);
    EXPECT_LT(measuredGainDb(lp, Form::Low, 8000.0, rate), -35.0);
}

TEST(Biquad, OutOfRangeSettingsStillGiveStableSections)
{
    // Corner above Nyquist, q of zero, negative or not a number, at the lowest
    // rate: each must keep ten seconds of noise finite and bounded.
    struct Case {
        double f, q;
    };
    const double nan = std::nan("");
    for (const Case c : {Case {30000.0, 1.0}, Case {4000.0, 0.0}, Case {1000.0, -3.0}, Case {1000.0, nan},
             Case {nan, 1.0}, Case {-50.0, 1.0}}) {
        for (Form form : {Form::Low, Form::High}) {
            BiquadSection s;
            if (form == Form::Low)
                setLowPass(s, c.f, c.q, 8000.0);
            else
                setHighPass(s, c.f, c.q, 8000.0);
            tbtest::NoiseSource noise(7);
            float peak = 0.0f;
            for (int n = 0; n < 80000; ++n) {
                const float x = noise.next();
                const float y = (form == Form::Low) ? s.lowPass(x) : s.highPass(x);
                ASSERT_TRUE(std::isfinite(y)) << c.f << " " << c.q;
                peak = std::fmax(peak, std::fabs(y));
            }
            EXPECT_LT(peak, 1e4f) << c.f << " " << c.q;
        }
    }
}

TEST(Biquad, UnusableRateLeavesTheSectionUnchanged)
{
    BiquadSection s;
    setLowPass(s, 500.0, 4.0, 44100.0);
    const float b0 = s.b0, a1 = s.a1, a2 = s.a2;
    for (double rate : {0.0, -44100.0, std::nan(""), double(INFINITY)}) {
        setLowPass(s, 500.0, 4.0, rate);
        setHighPass(s, 500.0, 4.0, rate);
        EXPECT_EQ(s.b0, b0);
        EXPECT_EQ(s.a1, a1);
        EXPECT_EQ(s.a2, a2);
    }
}

TEST(Biquad, DecayingStatesReachExactZero)
{
    BiquadSection s;
    setLowPass(s, 500.0, 4.0, 48000.0);
    s.lowPass(1.0f);
    for (int n = 0; n < 48000; ++n)
        s.lowPass(0.0f);
    EXPECT_EQ(s.y1, 0.0f);
    EXPECT_EQ(s.y2, 0.0f);
    EXPECT_EQ(s.x1, 0.0f);
    // A NaN sample enters as 0 instead of poisoning the states.
    EXPECT_EQ(s.lowPass(std::nanf("")), 0.0f);
    EXPECT_EQ(s.highPass(1e-10f), 0.0f);
}
