#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "effect/pedals/CPedal_Phaser.h"
#include "tests/effect/pedals/mod_pedal_rig.h"
#include "tests/support/SignalGenerators.h"

using modrig::make;

namespace {

constexpr double kPi = 3.141592653589793;

// Response of six identical first-order all-passes with coefficient k, one
// sample of feedback around them by fb, added to the dry signal.
double modelMagnitude(double f, double rate, double k, double fb)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * f / rate);
    const std::complex<double> a = (z1 - k) / (1.0 - k * z1);
    const std::complex<double> g = std::pow(a, 6);
    return std::abs(1.0 + g / (1.0 - fb * z1 * g));
}

double measuredMagnitude(const std::vector<float>& h, double f, double rate)
{
    std::complex<double> s = 0.0;
    for (size_t n = 0; n < h.size(); ++n)
        s += double(h[n]) * std::polar(1.0, -2.0 * kPi * f * double(n) / rate);
    return std::abs(s);
}

// Envelope period of a steady tone through the sweeping stages, by the
// autocorrelation of a sliding RMS, searched between lo and hi samples.
double envelopePeriod(const std::vector<float>& y, int from, int lo, int hi)
{
    const int window = 100, hop = 10;
    std::vector<double> env;
    for (int at = from; at + window <= static_cast<int>(y.size()); at += hop) {
        double s = 0.0;
        for (int i = 0; i < window; ++i)
            s += double(y[at + i]) * y[at + i];
        env.push_back(std::sqrt(s / window));
    }
    double m = 0.0;
    for (double e : env)
        m += e;
    m /= env.size();
    for (double& e : env)
        e -= m;
    auto corr = [&](int lag) {
        double s = 0.0;
        for (size_t i = 0; i + lag < env.size(); ++i)
            s += env[i] * env[i + lag];
        return s / double(env.size() - lag);
    };
    int best = lo / hop;
    for (int lag = lo / hop; lag <= hi / hop; ++lag)
        if (corr(lag) > corr(best))
            best = lag;
    const double a = corr(best - 1), b = corr(best), c = corr(best + 1);
    const double shift = 0.5 * (a - c) / (a - 2.0 * b + c);
    return (best + shift) * hop;
}

}  // namespace

TEST(Phaser, NotchesSitWhereTheStagesCancelTheDrySignal)
{
    for (double rate : {44100.0, 48000.0}) {
        // No rate and no depth: the stages stand still at the sweep base.
        const float baseKnob = 0.3f;
        auto phaser = make<CPedal_Phaser>(rate, {0.0f, baseKnob, 0.0f, 1.0f});
        std::vector<float> l(32768, 0.0f), r(32768, 0.0f);
        l[0] = r[0] = 1.0f;
        modrig::render(*phaser, l, r);

        const double c = 50.0 / rate;
        const double p = baseKnob * baseKnob * (20000.0 / rate - c) + c;
        const double k = (1.0 - p) / (1.0 + p);
        const double fb = std::cbrt(0.1) * 0.98;

        // Notches of the model, found on a 1 Hz grid.
        std::vector<double> notches;
        double prev2 = 10.0, prev1 = 10.0;
        for (double f = 20.0; f < 20000.0; f += 1.0) {
            const double m = modelMagnitude(f, rate, k, fb);
            if (prev1 < prev2 && prev1 < m && prev1 < 0.4)
                notches.push_back(f - 1.0);
            prev2 = prev1;
            prev1 = m;
        }
        ASSERT_EQ(notches.size(), 3u) << "six stages with feedback give three notches in the audio band";
        for (double f : notches) {
            EXPECT_NEAR(measuredMagnitude(l, f, rate), modelMagnitude(f, rate, k, fb), 0.01) << f << " Hz";
            EXPECT_LT(measuredMagnitude(l, f, rate), 0.4) << f << " Hz";
            EXPECT_GT(measuredMagnitude(l, f * 1.05, rate), measuredMagnitude(l, f, rate)) << f << " Hz";
            EXPECT_GT(measuredMagnitude(l, f / 1.05, rate), measuredMagnitude(l, f, rate)) << f << " Hz";
        }
        // Between the notches the stages add to the dry signal.
        EXPECT_GT(measuredMagnitude(l, std::sqrt(notches[0] * notches[1]), rate), 1.2);
    }
}

TEST(Phaser, LfoPeriodIsTheSameAtEveryRate)
{
    // 2 v^2 * 0.0005 radians per sample at 44.1 kHz: 7.02 Hz at full rate
    // and a quarter of that at half rate, whatever the sample rate.
    for (double rate : {44100.0, 48000.0}) {
        for (float knob : {1.0f, 0.5f}) {
            const double hz = 2.0 * knob * knob * 44100.0 * 0.0005 / (2.0 * kPi);
            const double expected = rate / hz;
            auto phaser = make<CPedal_Phaser>(rate, {knob, 0.2f, 1.0f, 1.0f});
            const int frames = static_cast<int>(expected * 6);
            std::vector<float> l = tbtest::makeSine(rate / 100.0, rate, frames), r = l;
            modrig::render(*phaser, l, r);
            const double period
                = envelopePeriod(l, 1000, static_cast<int>(expected * 0.6), static_cast<int>(expected * 1.6));
            EXPECT_NEAR(period / expected, 1.0, 0.01) << "rate " << rate << " knob " << knob;
        }
    }
}

TEST(Phaser, MixAtZeroStillLetsAHundredThousandthThrough)
{
    auto phaser = make<CPedal_Phaser>(48000.0, {0.7f, 0.5f, 1.0f, 0.0f});
    std::vector<float> l = tbtest::makeNoise(48000, 4), r = tbtest::makeNoise(48000, 5);
    const std::vector<float> inL = l, inR = r;
    modrig::render(*phaser, l, r);
    double wet = 0.0;
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_NEAR(l[i], inL[i], 1e-4f);
        ASSERT_NEAR(r[i], inR[i], 1e-4f);
        wet += std::fabs(l[i] - inL[i]);
    }
    EXPECT_GT(wet, 0.0) << "the mix floor is not 0";
}

// Regression: the stage coefficient must stay below 1 however the knobs and
// rate combine; p is kept at or above its 50 Hz floor.
TEST(Phaser, StagesStayStableAtTheExtremes)
{
    for (double rate : {8000.0, 384000.0}) {
        auto phaser = make<CPedal_Phaser>(rate, {1.0f, 1.0f, 1.0f, 1.0f});
        std::vector<float> l = tbtest::makeNoise(static_cast<int>(rate), 9), r = l;
        modrig::render(*phaser, l, r);
        for (float x : l)
            ASSERT_TRUE(std::isfinite(x) && std::fabs(x) < 50.0f);
    }
}

// The stages keep their state in SSE2 lanes between blocks; a reset must
// clear it there: a used phaser then sounds as a new one.
TEST(Phaser, ResetClearsTheStages)
{
    auto used = make<CPedal_Phaser>(48000.0, {0.6f, 0.5f, 0.8f, 1.0f});
    auto fresh = make<CPedal_Phaser>(48000.0, {0.6f, 0.5f, 0.8f, 1.0f});
    std::vector<float> l = tbtest::makeNoise(4000, 4), r = tbtest::makeNoise(4000, 5);
    modrig::render(*used, l, r);
    used->reset();
    std::vector<float> l1 = tbtest::makeNoise(4000, 6), r1 = tbtest::makeNoise(4000, 7);
    std::vector<float> l2 = l1, r2 = r1;
    modrig::render(*used, l1, r1);
    modrig::render(*fresh, l2, r2);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);
}

// The phaser works its knobs out again only after a change; a knob turned
// between two blocks must still count from the very next block.
TEST(Phaser, KnobTurnedBetweenBlocksCountsFromTheNextBlock)
{
    for (int knob : {0, 1, 2, 3}) {
        auto turned = make<CPedal_Phaser>(48000.0, {0.3f, 0.4f, 0.8f, 0.6f});
        auto kept = make<CPedal_Phaser>(48000.0, {0.3f, 0.4f, 0.8f, 0.6f});
        std::vector<float> l1 = tbtest::makeNoise(512, 8), r1 = tbtest::makeNoise(512, 9);
        std::vector<float> l2 = l1, r2 = r1;
        turned->process(l1.data(), r1.data(), 256);
        kept->process(l2.data(), r2.data(), 256);
        turned->setParameter(knob, 0.95f);
        turned->process(l1.data() + 256, r1.data() + 256, 16);
        kept->process(l2.data() + 256, r2.data() + 256, 16);
        EXPECT_NE(l1, l2) << "knob " << knob;
    }
}
