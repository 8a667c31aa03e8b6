#include "effect/dsp/ModelStage.h"
#include "tests/support/SignalGenerators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Runs left and right through two stages either one channel after the other
// or both at once, in blocks of the given size.
void render(int model, double rate, int block, bool pair, std::vector<float>& l, std::vector<float>& r)
{
    ModelStage left, right;
    left.setSampleRate(rate);
    right.setSampleRate(rate);
    left.setModel(model);
    right.setModel(model);
    const int frames = static_cast<int>(l.size());
    for (int at = 0; at < frames; at += block) {
        const int n = std::min(block, frames - at);
        if (pair) {
            ModelStage::processPair(left, l.data() + at, right, r.data() + at, n);
        } else {
            left.processModelStage(l.data() + at, n);
            right.processModelStage(r.data() + at, n);
        }
    }
}

}  // namespace

// Guards the lane version against mixing the channels or reordering any
// operation: different signals on each side must come out bit for bit as the
// one-channel code renders them.
TEST(ModelStagePair, BothChannelsAtOnceKeepEachChannelsBits)
{
    for (double rate : {44100.0, 96000.0}) {
        std::vector<float> inL = tbtest::makeSine(97.0, rate, 6000, 0.6f);
        const std::vector<float> inR = tbtest::makeNoise(6000, 5u, 0.4f);
        inL[3000] = 1.0e-20f;  // a value the flush removes
        for (int model = 1; model <= ModelStage::kModels; ++model) {
            for (int block : {1, 37, 256}) {
                std::vector<float> l1 = inL, r1 = inR, l2 = inL, r2 = inR;
                render(model, rate, block, false, l1, r1);
                render(model, rate, block, true, l2, r2);
                EXPECT_EQ(0, std::memcmp(l1.data(), l2.data(), l1.size() * sizeof(float)))
                    << "left, model " << model << " at " << rate << " in blocks of " << block;
                EXPECT_EQ(0, std::memcmp(r1.data(), r2.data(), r1.size() * sizeof(float)))
                    << "right, model " << model << " at " << rate << " in blocks of " << block;
            }
        }
    }
}

// Stages whose rings are not in step (here: different voicings) are run one
// after the other instead.
TEST(ModelStagePair, StagesOutOfStepRunOneAfterTheOther)
{
    ModelStage a, b, c, d;
    for (ModelStage* s : {&a, &b, &c, &d})
        s->setSampleRate(48000.0);
    a.setModel(2);
    c.setModel(2);
    b.setModel(4);
    d.setModel(4);
    std::vector<float> l1 = tbtest::makeNoise(2000, 3u, 0.5f), r1 = tbtest::makeNoise(2000, 4u, 0.5f);
    std::vector<float> l2 = l1, r2 = r1;
    ModelStage::processPair(a, l1.data(), b, r1.data(), 2000);
    c.processModelStage(l2.data(), 2000);
    d.processModelStage(r2.data(), 2000);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);
}
