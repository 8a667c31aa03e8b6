// The built Tambrell.so driven through its native-protocol entry, as that
// host drives it: information record, parameters, names, state stream and
// audio, checked against the VST path of the same module.
#include "tests/effect/product/plugin_host.h"
#include "tests/effect/product/product_rig.h"

#include "effect/product/ProgramChunk.h"
#include "tests/support/NativeTestHost.h"
#include "tests/support/SignalGenerators.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace producttest;
using tbtest::NativeTestHost;

namespace {

constexpr int32_t kN = 44;  // published parameters

struct NativePlugin : ::testing::Test {
    tbtest::TempFolder none;
    ScopedEnv home {"XDG_CONFIG_HOME", none.path().c_str()};
    ScopedEnv dirs {"XDG_CONFIG_DIRS", none.path().c_str()};
    tbtest::NativeModule module {PluginHost::moduleFolder() + "/Tambrell.so"};
    NativeTestHost host {module.entry()};

    void SetUp() override
    {
        ASSERT_NE(module.entry(), nullptr) << module.error();
        ASSERT_NE(host.create(), nullptr);
    }

    static std::vector<float> interleavedSine(int frames)
    {
        const std::vector<float> left = tbtest::makeSine(440.0, 44100.0, frames, 0.5f);
        const std::vector<float> right = tbtest::makeSine(660.0, 44100.0, frames, 0.3f);
        std::vector<float> out(2 * static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            out[2 * i] = left[i];
            out[2 * i + 1] = right[i];
        }
        return out;
    }
};

TEST_F(NativePlugin, InformationRecordAndPlugRecord)
{
    const TOrvanePlug* plug = host.plug();
    ASSERT_NE(plug->info, nullptr);
    EXPECT_EQ(plug->info->version, 1);
    EXPECT_STREQ(plug->info->longName, "Tambrell");
    EXPECT_STREQ(plug->info->shortName, "Tambrell");
    EXPECT_EQ(plug->info->flags, 0x200000);
    EXPECT_EQ(plug->info->parameterCount, 173);
    EXPECT_EQ(plug->info->reserved20, 0);
    EXPECT_EQ(plug->hostTag, 77);
    EXPECT_EQ(plug->sampleRate, 44100);
    EXPECT_EQ(plug->editorWindow, 0u);
    // An effect does not announce itself as an instrument.
    EXPECT_TRUE(host.callsOf(0, kOrvaneHostInstrument).empty());

    host.message(kOrvaneMsgSampleRate, 0, 48000);
    EXPECT_EQ(plug->sampleRate, 48000);
    EXPECT_FLOAT_EQ(plug->pitchStep, static_cast<float>(4294967296.0 * 523.2511306 / 48000));
}

TEST_F(NativePlugin, AccessParameterScalesAndClamps)
{
    EXPECT_EQ(host.access(0, 128, kOrvaneParamSet), 128);
    EXPECT_EQ(host.access(0, 0, kOrvaneParamGet), 128);
    EXPECT_EQ(host.itemName(kOrvaneItemValueText, 0), "50 %");
    EXPECT_EQ(host.access(0, 300, kOrvaneParamSet), 300);
    EXPECT_EQ(host.access(0, 0, kOrvaneParamGet), 256);
    // The 16-bit scale: 32768 is one half.
    EXPECT_EQ(host.access(0, 32768, kOrvaneParamWide | kOrvaneParamSet), 128);
    EXPECT_EQ(host.access(0, 0, kOrvaneParamGet), 128);
    // Regression: the reduction overflowed 32 bits for large values.
    EXPECT_EQ(host.access(0, 0x7fffffff, kOrvaneParamWide), 0x7fffffff >> 8);
    // Controllers and aftertouch keep their own values.
    EXPECT_EQ(host.access(kN + 127, 256, kOrvaneParamSet), 256);
    EXPECT_EQ(host.access(kN + 127, 0, kOrvaneParamGet), 256);
    EXPECT_EQ(host.itemName(kOrvaneItemValueText, kN + 127), "127");
    host.access(kN + 128, 64, kOrvaneParamSet);
    EXPECT_EQ(host.access(kN + 128, 0, kOrvaneParamGet), 64);
    // Outside the space the value comes back untouched.
    EXPECT_EQ(host.access(kN + 129, 55, kOrvaneParamGet), 55);
    EXPECT_EQ(host.access(-1, 55, kOrvaneParamSet), 55);
    // Host writes are not reported back to the host.
    EXPECT_TRUE(host.callsOf(1).empty());
}

TEST_F(NativePlugin, ItemNames)
{
    EXPECT_EQ(host.itemName(kOrvaneItemParameterName, 0), "Master IN Lvl");
    EXPECT_EQ(host.itemName(kOrvaneItemParameterName, kN + 5), "MIDI CC 5");
    EXPECT_EQ(host.itemName(kOrvaneItemParameterName, kN + 128), "Chn. Aftertouch");
    EXPECT_EQ(host.itemName(kOrvaneItemParameterName, kN + 129, "keep"), "keep");
    EXPECT_EQ(host.itemName(9, 0, "keep"), "keep");
    EXPECT_FALSE(host.itemName(kOrvaneItemProgramName, 5).empty());
}

// This host holds fractions too, as 0..256: the amp model's six positions
// are 0, 51 .. 256 there, a value read back selects the same model, and a
// restored program tells the host the fraction, not the list position.
TEST_F(NativePlugin, AmpModelIsAFractionForThisHostToo)
{
    host.message(kOrvaneMsgSampleRate, 0, 44100);
    auto stored = [&] { return programchunk::read(host.saveState().data() + 8, 460).values[11]; };
    const int32_t stops[] = {0, 51, 102, 153, 204, 256};
    for (int k = 0; k <= 5; ++k) {
        host.access(11, stops[k], kOrvaneParamSet);
        const int32_t read = host.access(11, 0, kOrvaneParamGet);
        EXPECT_EQ(read, stops[k]);
        host.access(11, read, kOrvaneParamSet);
        EXPECT_EQ(stored(), static_cast<float>(k));
    }
    EXPECT_EQ(host.itemName(kOrvaneItemValueText, 11), "Model E");

    host.access(11, 153, kOrvaneParamSet);
    host.clearCalls();
    host.restoreState(host.saveState());
    int told = 0;
    for (const NativeTestHost::Call& call : host.callsOf(1))
        if (call.message == 11)
            told += call.value == 153 ? 1 : 100;
    EXPECT_EQ(told, 2) << "the chunk's switch and the stream's";
}

TEST_F(NativePlugin, StateStreamRoundTripsBitForBit)
{
    host.message(kOrvaneMsgSampleRate, 0, 44100);
    host.access(3, 77, kOrvaneParamSet);
    const std::vector<uint8_t> saved = host.saveState();
    ASSERT_EQ(saved.size(), 472u);
    EXPECT_EQ(std::memcmp(saved.data(), "SSXM", 4), 0);
    EXPECT_EQ(saved[4] | (saved[5] << 8) | (saved[6] << 16) | (saved[7] << 24), 460);
    const programchunk::Parsed chunk = programchunk::read(saved.data() + 8, 460);
    EXPECT_EQ(chunk.consumed, 460);
    EXPECT_EQ(std::vector<uint8_t>(saved.end() - 4, saved.end()), std::vector<uint8_t>(4, 0));

    NativeTestHost second(module.entry(), 78);
    ASSERT_NE(second.create(), nullptr);
    second.message(kOrvaneMsgSampleRate, 0, 44100);
    second.clearCalls();
    second.restoreState(saved);
    EXPECT_EQ(second.saveState(), saved);
    // The chunk selects the program and the stream selects it once more: the
    // host hears every published parameter twice.
    EXPECT_EQ(second.callsOf(1).size(), 2u * kN);
}

TEST_F(NativePlugin, RefusedStreamsChangeNothing)
{
    host.message(kOrvaneMsgSampleRate, 0, 44100);
    const std::vector<uint8_t> before = host.saveState();
    std::vector<uint8_t> good = before;
    good[8 + 4] ^= 0x40;  // another first value, still a valid chunk

    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[0] = 'X';
    std::vector<uint8_t> huge = good;
    huge[6] = 0x10;  // size 0x100000 + 460
    std::vector<uint8_t> shortStream(good.begin(), good.begin() + 200);
    std::vector<uint8_t> empty = {'S', 'S', 'X', 'M', 0, 0, 0, 0};
    host.clearCalls();
    for (const auto& bad : {wrongMagic, huge, shortStream, empty, std::vector<uint8_t> {}}) {
        host.restoreState(bad);
        EXPECT_EQ(host.saveState(), before);
    }
    EXPECT_TRUE(host.callsOf(1).empty());
    host.restoreState(good);
    EXPECT_NE(host.saveState(), before);
}

TEST_F(NativePlugin, OnlyTheFirstSampleRateSelectsTheProgramSilently)
{
    host.message(kOrvaneMsgSampleRate, 0, 44100);
    host.message(kOrvaneMsgSampleRate, 0, 48000);
    host.message(kOrvaneMsgSampleRate, 0, 0);  // ignored
    EXPECT_EQ(host.plug()->sampleRate, 48000);
    EXPECT_TRUE(host.callsOf(1).empty());
    EXPECT_TRUE(host.callsOf(2).empty());
}

TEST_F(NativePlugin, RenderEffectMatchesTheVstPath)
{
    PluginHost vst;
    ASSERT_TRUE(vst.loaded());
    vst.start(44100.0f);
    host.message(kOrvaneMsgSampleRate, 0, 44100);
    // 70000 frames: one call longer than the scratch buffers, then 256 frames.
    for (int frames : {256, 70000}) {
        const std::vector<float> in = interleavedSine(frames);
        std::vector<float> left(frames), right(frames), outL, outR;
        for (int i = 0; i < frames; ++i) {
            left[i] = in[2 * i];
            right[i] = in[2 * i + 1];
        }
        vst.process(left, right, outL, outR, 512);
        const std::vector<float> out = host.renderEffect(in);
        int differ = 0;
        for (int i = 0; i < frames; ++i)
            differ += out[2 * i] != outL[i] || out[2 * i + 1] != outR[i];
        EXPECT_EQ(differ, 0) << frames << " frames";
    }
    // Nothing to read or write: the output stays as it was.
    std::vector<float> out(8, 3.0f);
    const std::vector<float> in(8, 0.5f);
    host.ops().renderEffect(host.plug(), in.data(), out.data(), -4);
    host.ops().renderEffect(host.plug(), nullptr, out.data(), 4);
    EXPECT_EQ(out, std::vector<float>(8, 3.0f));
}

TEST_F(NativePlugin, VoicesBecomeHostCalls)
{
    TOrvaneVoiceRecord voice {};
    voice.pitch = 6050.0f;
    voice.level = 1.0f;
    EXPECT_EQ(host.ops().startVoice(host.plug(), &voice, 900), 60);
    ASSERT_EQ(host.callsOf(6).size(), 1u);
    EXPECT_EQ(host.callsOf(6)[0].tag, 900);
    EXPECT_EQ(host.callsOf(6)[0].message, 6);
    // The same key again ends the old host voice first.
    EXPECT_EQ(host.ops().startVoice(host.plug(), &voice, 901), 60);
    ASSERT_EQ(host.callsOf(5).size(), 1u);
    EXPECT_EQ(host.callsOf(5)[0].tag, 900);
    EXPECT_EQ(host.ops().startVoice(host.plug(), nullptr, 902), -1);
    host.ops().releaseVoice(host.plug(), 200);
}

}  // namespace
