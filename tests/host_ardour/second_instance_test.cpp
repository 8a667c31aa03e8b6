// A host that puts Tambrell on two tracks holds two instances of one loaded
// library. Guards against state shared between instances: static buffers,
// a definition changed by one instance, or a release in one that the other
// still uses.

#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VstTestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 256;
constexpr int kBlocks = 375;  // two seconds
constexpr int kOutputLevel = 1;
constexpr int kBox1Type = 45;
constexpr float kDelayPedal = 6.0f;

// No configured data folder: each instance starts the same way, from the
// presets beside the library.
class ClearConfig {
public:
    ClearConfig()
    {
        remember("XDG_CONFIG_HOME");
        remember("XDG_CONFIG_DIRS");
        setenv("XDG_CONFIG_HOME", empty.path().c_str(), 1);
        setenv("XDG_CONFIG_DIRS", empty.path().c_str(), 1);
    }
    ~ClearConfig()
    {
        for (const auto& [name, value] : saved)
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
    }
    ClearConfig(const ClearConfig&) = delete;
    ClearConfig& operator=(const ClearConfig&) = delete;

private:
    void remember(const char* name)
    {
        const char* v = std::getenv(name);
        saved.emplace_back(name, v ? v : "");
    }
    tbtest::TempFolder empty;
    std::vector<std::pair<std::string, std::string>> saved;
};

std::string modulePath() { return std::string(TB_MODULE_DIR) + "/Tambrell.so"; }

// Renders block 'b' of a steady 220 Hz tone and appends the left output.
void renderBlock(VstTestHost& host, const std::vector<float>& tone, int b, std::vector<float>& out)
{
    std::vector<std::vector<float>> in(
        2, std::vector<float>(tone.begin() + b * kBlock, tone.begin() + (b + 1) * kBlock));
    std::vector<std::vector<float>> result(2, std::vector<float>(kBlock, 0.0f));
    host.processReplacing(in, result);
    out.insert(out.end(), result[0].begin(), result[0].end());
}

}  // namespace

TEST(SecondInstance, RendersBesideTheFirstWithItsOwnParametersAndOutput)
{
    ClearConfig config;
    PluginModule module(modulePath());
    ASSERT_TRUE(module.isLoaded()) << module.error();
    const std::vector<float> tone = tbtest::makeSine(220.0, kRate, kBlock * kBlocks, 0.25f);

    // Reference: one instance alone at +12 dB output.
    std::vector<float> alone;
    {
        VstTestHost solo;
        ASSERT_NE(solo.create(module), nullptr);
        solo.start(kRate, kBlock);
        solo.setParameter(kOutputLevel, 0.75f);
        for (int b = 0; b < kBlocks; ++b)
            renderBlock(solo, tone, b, alone);
    }

    // The same instance settings beside a second one at -12 dB with a delay
    // pedal in its first box, blocks interleaved as a host's tracks run.
    VstTestHost first, second;
    ASSERT_NE(first.create(module), nullptr);
    ASSERT_NE(second.create(module), nullptr);
    ASSERT_NE(first.effect(), second.effect());
    first.start(kRate, kBlock);
    second.start(kRate, kBlock);
    first.setParameter(kOutputLevel, 0.75f);
    second.setParameter(kOutputLevel, 0.25f);
    std::vector<unsigned char> chunk = second.getChunk(false);
    ASSERT_EQ(chunk.size(), 460u);
    std::memcpy(&chunk[4 + 4 * kBox1Type], &kDelayPedal, 4);
    ASSERT_EQ(second.setChunk(chunk, false), 460);

    std::vector<float> outFirst, outSecond;
    for (int b = 0; b < kBlocks; ++b) {
        renderBlock(first, tone, b, outFirst);
        renderBlock(second, tone, b, outSecond);
    }
    EXPECT_EQ(first.getParameter(kOutputLevel), 0.75f);
    EXPECT_EQ(second.getParameter(kOutputLevel), 0.25f);
    // Bit for bit what the first instance gives on its own.
    ASSERT_EQ(outFirst.size(), alone.size());
    EXPECT_TRUE(outFirst == alone) << "the second instance changed the first one's output";
    EXPECT_EQ(first.getChunk(false)[4 + 4 * kBox1Type], 0) << "the pedal leaked into the first instance";

    const int half = static_cast<int>(outSecond.size()) / 2;
    ASSERT_TRUE(tbtest::allFinite(outSecond));
    const double firstDb = tbtest::rmsDb(outFirst.data() + half, half);
    const double secondDb = tbtest::rmsDb(outSecond.data() + half, half);
    EXPECT_GT(secondDb, -60.0);
    EXPECT_LT(secondDb, firstDb - 12.0) << "24 dB less output gain, a delay adds at most a few dB";

    // The second instance outlives the first and keeps playing.
    EXPECT_EQ(first.close(), 1);
    std::vector<float> after;
    for (int b = 0; b < kBlocks; ++b)
        renderBlock(second, tone, b, after);
    ASSERT_TRUE(tbtest::allFinite(after));
    EXPECT_NEAR(tbtest::rmsDb(after.data() + half, half), secondDb, 3.0);
}
