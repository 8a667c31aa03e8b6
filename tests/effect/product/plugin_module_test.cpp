#include "tests/effect/product/plugin_host.h"
#include "tests/effect/product/product_rig.h"

#include "framework/vst/VstOpcodes.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <limits>
#include <random>

using namespace producttest;

namespace {

constexpr float kRate = 48000.0f;

// A plug-in whose configured root holds no presets: it starts on defaults.
struct BarePlugin : ::testing::Test {
    DataRoot root;
    PluginHost host;

    void SetUp() override { ASSERT_TRUE(host.loaded()) << PluginHost::moduleFolder(); }

    double settledLevelDb(float amplitude)
    {
        const int frames = static_cast<int>(kRate);
        std::vector<float> in = tbtest::makeSine(1000.0, kRate, frames, amplitude), ol, orr;
        host.process(in, in, ol, orr);
        return tbtest::levelDbAt(ol.data() + frames / 2, frames / 2, 1000.0, kRate);
    }
};

// A plug-in without configuration: its root is the library's own folder.
struct FactoryPlugin : ::testing::Test {
    tbtest::TempFolder none;
    ScopedEnv home {"XDG_CONFIG_HOME", none.path().c_str()};
    ScopedEnv dirs {"XDG_CONFIG_DIRS", none.path().c_str()};
    PluginHost host;

    void SetUp() override { ASSERT_TRUE(host.loaded()) << PluginHost::moduleFolder(); }
};

std::vector<std::string> factoryPresetFiles()
{
    std::vector<std::string> names;
    const std::string folder = PluginHost::moduleFolder() + "/Presets";
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 6 && n.compare(n.size() - 6, 6, ".tbprg") == 0)
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_F(BarePlugin, RecordDescribesTheEffect)
{
    const AEffect* e = host.effect;
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numParams, 44);
    EXPECT_EQ(e->numPrograms, 0);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_TRUE(e->flags & effFlagsProgramChunks);
    EXPECT_FALSE(e->flags & effFlagsIsSynth);
    EXPECT_EQ(e->uniqueID, vstFourCC('T', 'B', 'R', '1'));
    EXPECT_EQ(host.text(effGetEffectName), "Tambrell");
    EXPECT_EQ(host.text(effGetVendorString), "Ostravelin");
    EXPECT_EQ(host.text(effGetProductString), "Tambrell 1.1.3");
}

// A root without Gfx/: the host is told of no editor (and shows its own
// controls), and its log says which picture is missing where.
TEST_F(BarePlugin, WithoutThePicturesNoEditorIsAdvertised)
{
    EXPECT_FALSE(host.effect->flags & effFlagsHasEditor);
    testing::internal::CaptureStderr();
    {
        PluginHost another;
        ASSERT_TRUE(another.loaded());
        EXPECT_FALSE(another.effect->flags & effFlagsHasEditor);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("\"bkg_main.tga\" in the folder \"" + root.path() + "/Gfx\""), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST_F(BarePlugin, ParameterNamesAndDisplayTexts)
{
    EXPECT_EQ(host.text(effGetParamName, 0), "Master IN Lvl");
    EXPECT_EQ(host.text(effGetParamName, 24), "Box3 - Param 2");
    EXPECT_EQ(host.text(effGetParamName, 41), "Box 3 Enable");
    EXPECT_EQ(host.text(effGetParamName, 11), "Amp Model");
    EXPECT_EQ(host.text(effGetParamName, 12), "unknown");
    host.effect->setParameter(host.effect, 5, 0.29f);
    EXPECT_EQ(host.effect->getParameter(host.effect, 5), 0.29f);
    EXPECT_EQ(host.text(effGetParamDisplay, 5), "29");
    EXPECT_EQ(host.text(effGetParamLabel, 5), "%");
    EXPECT_EQ(host.text(effGetParamDisplay, 40), "100");
}

// Hosts hold every parameter as a fraction. The amp model was published as
// its list position 0..5: a host that clamps what it stores brought every
// model above A back as A, and its slider reached only off and A.
TEST_F(BarePlugin, AmpModelReachesHostsAsAFraction)
{
    auto stored = [&] { return programchunk::read(host.chunk().data(), 460).values[11]; };
    auto set = [&](float v) { host.effect->setParameter(host.effect, 11, v); };
    EXPECT_EQ(stored(), 0.5f);
    EXPECT_EQ(host.effect->getParameter(host.effect, 11), 0.0f) << "a stored 0.5 is off";
    const char* const names[] = {"Off", "Model A", "Model B", "Model C", "Model D", "Model E"};
    for (int k = 0; k <= 5; ++k) {
        const float slider = static_cast<float>(k) / 5.0f;
        set(slider);
        EXPECT_EQ(stored(), static_cast<float>(k)) << slider;
        EXPECT_EQ(host.effect->getParameter(host.effect, 11), slider);
        EXPECT_EQ(host.text(effGetParamDisplay, 11), names[k]);
        EXPECT_EQ(host.text(effGetParamLabel, 11), "");
    }
    // Between the stops the nearest; outside them the end; not a number: off.
    const std::pair<float, float> others[] = {{0.29f, 1.0f}, {7.0f, 5.0f}, {std::nanf(""), 0.0f}};
    for (const auto& [value, position] : others) {
        set(0.6f);
        set(value);
        EXPECT_EQ(stored(), position) << value;
    }
}

TEST_F(BarePlugin, DefaultChunkAndRandomRoundTrip)
{
    float values[50];
    defaultValues(values);
    EXPECT_EQ(host.chunk(), makeChunk(values, "<noname>"));

    std::mt19937 random(17u);
    std::uniform_real_distribution<float> any(0.0f, 1.0f);
    for (float& v : values)
        v = any(random);
    const std::vector<uint8_t> in = makeChunk(values, "Random");
    EXPECT_EQ(host.setChunk(in), 460);
    EXPECT_EQ(host.chunk(), in);
    EXPECT_EQ(host.effect->getParameter(host.effect, 7), values[7]);
    EXPECT_GE(host.automations(), 44);
}

TEST_F(BarePlugin, RefusedChunksChangeNothing)
{
    const std::vector<uint8_t> before = host.chunk();
    float values[50];
    defaultValues(values);
    values[1] = 0.8f;
    std::vector<uint8_t> bad = makeChunk(values, "Bad");
    EXPECT_EQ(host.setChunk(bad.data(), 3), 0);
    bad[3] = 'X';
    EXPECT_EQ(host.setChunk(bad), 0);
    bad = makeChunk(values, "Bad");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&bad[4 + 4 * 30], &nan, 4);
    EXPECT_EQ(host.setChunk(bad), 0);
    EXPECT_EQ(host.setChunk(nullptr, 460), 0);
    EXPECT_EQ(host.chunk(), before);
}

// A host's NaN or inf used to be stored and written into the chunk, which the
// next load refused, so a saved session would not restore. Random automation,
// wild values included: a non-finite write keeps the old value, and whatever
// chunk the plug-in hands out, it takes back unchanged.
TEST_F(BarePlugin, ChunkReadBackIsAlwaysAcceptedAgain)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float wild[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf, FLT_MAX, -1e30f, -1.0f, 2.0f, 16.0f};
    std::mt19937 random(23u);
    std::uniform_int_distribution<int> index(0, 43), pick(0, 3), which(0, 7);
    std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
    for (int round = 0; round < 200; ++round) {
        for (int w = 0; w < 20; ++w) {
            const int i = index(random);
            const float before = host.effect->getParameter(host.effect, i);
            const float v = pick(random) == 0 ? wild[which(random)] : fraction(random);
            host.effect->setParameter(host.effect, i, v);
            const float after = host.effect->getParameter(host.effect, i);
            if (i == 11)  // the model: a fraction from 0 to 1 in fifths
                ASSERT_EQ(after, std::isfinite(v) ? std::round(std::clamp(v, 0.0f, 1.0f) * 5.0f) / 5.0f : 0.0f) << v;
            else if (std::isfinite(v))
                ASSERT_EQ(after, v) << "parameter " << i;
            else
                ASSERT_EQ(after, before) << "parameter " << i << " took " << v;
        }
        const std::vector<uint8_t> saved = host.chunk();
        ASSERT_EQ(host.setChunk(saved), 460) << "round " << round;
        ASSERT_EQ(host.chunk(), saved) << "round " << round;
    }
}

TEST_F(BarePlugin, GainLawsOnASine)
{
    host.start(kRate);
    // The engine's own output gain halves the default program's level.
    EXPECT_NEAR(settledLevelDb(0.25f), tbtest::toDb(0.125), 0.05);

    host.effect->setParameter(host.effect, 0, 0.75f);
    EXPECT_NEAR(settledLevelDb(0.01f), tbtest::toDb(0.005) + 12.0, 0.05);
    host.effect->setParameter(host.effect, 0, 0.5f);
    host.effect->setParameter(host.effect, 1, 0.75f);
    EXPECT_NEAR(settledLevelDb(0.01f), tbtest::toDb(0.005) + 12.0, 0.05);
    host.effect->setParameter(host.effect, 1, 0.5f);
    host.effect->setParameter(host.effect, 6, 1.0f);
    EXPECT_NEAR(settledLevelDb(0.001f), tbtest::toDb(0.0005) + 36.0, 0.3);
}

TEST_F(FactoryPlugin, StartsOnTheFirstFactoryPreset)
{
    const std::vector<std::string> files = factoryPresetFiles();
    ASSERT_GE(files.size(), 6u);
    ASSERT_LE(files.size(), 10u);
    EXPECT_EQ(host.text(effGetProgramName), "01 Clean");
    EXPECT_TRUE(host.effect->flags & effFlagsHasEditor);  // its pictures are beside it
    const std::vector<uint8_t> chunk = host.chunk();
    ASSERT_EQ(chunk.size(), 460u);
    const programchunk::Parsed p = programchunk::read(chunk.data(), 460);
    ASSERT_EQ(p.consumed, 460);
    // Neutral: levels, switch and bands at their defaults, no model, no pedals.
    for (int i = 0; i <= 10; ++i)
        EXPECT_EQ(p.values[i], 0.5f) << i;
    EXPECT_EQ(p.values[11], 0.0f);
    for (int b = 0; b < 5; ++b) {
        EXPECT_EQ(p.values[45 + b], 0.0f);
        EXPECT_EQ(p.values[39 + b], 1.0f);
    }
}

TEST_F(FactoryPlugin, EveryFactoryPresetLoadsAndPlays)
{
    host.start(kRate);
    const std::vector<float> guitar = tbtest::makeSine(196.0, kRate, static_cast<int>(kRate), 0.3f);
    for (const std::string& file : factoryPresetFiles()) {
        const std::vector<uint8_t> bytes = tbtest::readAll(PluginHost::moduleFolder() + "/Presets/" + file);
        ASSERT_EQ(bytes.size(), 460u) << file;
        const programchunk::Parsed p = programchunk::read(bytes.data(), 460);
        ASSERT_EQ(p.consumed, 460) << file;
        EXPECT_EQ(std::string(p.name) + ".tbprg", file);
        for (float v : p.values)
            EXPECT_TRUE(v >= 0.0f && v <= 10.0f) << file;

        ASSERT_EQ(host.setChunk(bytes), 460) << file;
        std::vector<float> ol, orr;
        host.process(guitar, guitar, ol, orr);
        const int tail = static_cast<int>(kRate) / 2;
        EXPECT_TRUE(tbtest::allFinite(ol) && tbtest::allFinite(orr)) << file;
        const double level = tbtest::rmsDb(ol.data() + tail, tail);
        EXPECT_GT(level, -30.0) << file;
        EXPECT_LT(tbtest::peakAbs(ol.data() + tail, tail), 1.5f) << file;
    }
}

// A session as Qtractor restores it: the chunk, then the 44 values it stored,
// each clamped to 0..1. Every factory program comes back whole: the amp model
// of "03 Lead Delay" came back as Model A.
TEST_F(FactoryPlugin, HostsRestoringClampedValuesAfterTheChunkKeepEveryProgram)
{
    for (const std::string& file : factoryPresetFiles()) {
        const std::vector<uint8_t> bytes = tbtest::readAll(PluginHost::moduleFolder() + "/Presets/" + file);
        host.clearCalls();
        ASSERT_EQ(host.setChunk(bytes), 460) << file;
        for (const auto& [index, value] : host.automated())
            EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << file << " told the host " << index << " = " << value;
        float session[44];
        for (int i = 0; i < 44; ++i) {
            session[i] = host.effect->getParameter(host.effect, i);
            EXPECT_TRUE(session[i] >= 0.0f && session[i] <= 1.0f) << file << " parameter " << i << " = " << session[i];
        }
        ASSERT_EQ(host.setChunk(bytes), 460) << file;
        for (int i = 0; i < 44; ++i)
            host.effect->setParameter(host.effect, i, std::clamp(session[i], 0.0f, 1.0f));
        EXPECT_EQ(host.chunk(), bytes) << file;
    }
}
