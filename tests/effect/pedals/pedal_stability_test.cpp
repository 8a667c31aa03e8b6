#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/effect/pedals/PedalHarness.h"
#include "tests/effect/pedals/PedalKinds.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

namespace {

using Pedal = std::unique_ptr<CPedalFX, tbtest::PedalDestroyer>;

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Ten seconds of full-scale noise in 256-frame blocks; returns the peak,
// or NaN when any sample was not finite.
float tenSecondsOfNoise(CPedalFX& pedal, double rate, uint32_t seed)
{
    tbtest::NoiseSource noise(seed);
    std::vector<float> l(256), r(256);
    float peak = 0.0f;
    const int blocks = static_cast<int>(rate * 10.0) / 256;
    for (int b = 0; b < blocks; ++b) {
        noise.fill(l.data(), 256);
        noise.fill(r.data(), 256);
        pedal.process(l.data(), r.data(), 256);
        if (!tbtest::allFinite(l.data(), 256) || !tbtest::allFinite(r.data(), 256))
            return kNan;
        peak = std::fmax(peak, std::fmax(tbtest::peakAbs(l.data(), 256), tbtest::peakAbs(r.data(), 256)));
    }
    return peak;
}

class PedalStability : public ::testing::TestWithParam<size_t> {
protected:
    const tbtest::PedalKind& kind() const { return tbtest::allPedals()[GetParam()]; }
};

}  // namespace

// Every knob at 0, 0.5 and 1, and outside the range (negative, above 1, not a
// number, infinite) alike or mixed, over 10 s of noise at 44.1, 48 and 96 kHz:
// the output stays finite and bounded. Guards against knob values that index
// past a line or ring or drive a feedback loop above unity.
TEST_P(PedalStability, TenSecondsOfNoiseAtEveryKnobSetting)
{
    std::vector<std::vector<float>> settings = {
        {-1.0f, 2.0f, kNan, 1e30f, -kInf},
        {kInf, kNan, -1e30f, 7.0f, kNan},
    };
    for (float v : {0.0f, 0.5f, 1.0f, -0.5f, 3.0f, kNan, kInf, -kInf})
        settings.push_back(std::vector<float>(5, v));
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        for (size_t s = 0; s < settings.size(); ++s) {
            Pedal pedal(kind().make());
            pedal->setSampleRate(rate);
            for (int j = 0; j < 5; ++j)
                pedal->setParameter(j, settings[s][static_cast<size_t>(j)]);
            pedal->reset();
            const float peak = tenSecondsOfNoise(*pedal, rate, static_cast<uint32_t>(s + 1));
            EXPECT_TRUE(std::isfinite(peak)) << kind().name << " at " << rate << ", setting " << s;
            EXPECT_LT(peak, 100.0f) << kind().name << " at " << rate << ", setting " << s;
        }
    }
}

TEST_P(PedalStability, KnobsTurnedEveryBlockAtTheRateExtremes)
{
    for (double rate : {8000.0, 384000.0}) {
        Pedal pedal(kind().make());
        tbtest::preparePedal(*pedal, rate, {});
        tbtest::NoiseSource noise(77), knobs(78);
        std::vector<float> l(256), r(256);
        for (int b = 0; b < 2000; ++b) {
            pedal->setParameter(b % 5, 0.5f + 0.75f * knobs.next());  // also beyond 0..1
            if (b % 500 == 499)
                pedal->reset();
            noise.fill(l.data(), 256);
            noise.fill(r.data(), 256);
            const int frames = 1 + (b * 53) % 256;
            pedal->process(l.data(), r.data(), frames);
            ASSERT_TRUE(tbtest::allFinite(l.data(), frames) && tbtest::allFinite(r.data(), frames))
                << kind().name << " at " << rate << ", block " << b;
        }
    }
}

TEST_P(PedalStability, EmptyBlocksAndRepeatedRateChangesAreHarmless)
{
    Pedal pedal(kind().make());
    // Knobs before any rate, as a host may send them.
    for (int j = 0; j < 5; ++j)
        pedal->setParameter(j, 0.7f);
    float l = 0.3f, r = -0.3f;
    pedal->process(&l, &r, 0);
    EXPECT_EQ(l, 0.3f) << kind().name;
    for (double rate : {44100.0, 96000.0, 8000.0, 192000.0, 1.0, -5.0, std::nan("")}) {
        pedal->setSampleRate(rate);
        pedal->reset();
        std::vector<float> a = tbtest::makeNoise(1000, 2), b = tbtest::makeNoise(1000, 3);
        pedal->process(a.data(), b.data(), 1000);
        EXPECT_TRUE(tbtest::allFinite(a) && tbtest::allFinite(b)) << kind().name << " at " << rate;
    }
}

INSTANTIATE_TEST_SUITE_P(TenPedals, PedalStability, ::testing::Range<size_t>(0, 10),
    [](const ::testing::TestParamInfo<size_t>& info) { return std::string(tbtest::allPedals()[info.param].name); });
