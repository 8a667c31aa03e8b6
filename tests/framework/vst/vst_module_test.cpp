// The test plug-in module loaded as a host loads it, driven only through
// AEffect. See tests/vstmodule/TestVstModule.cpp for what the plug-in does:
// its output is input x (2 x parameter 0) + held velocity / 128, times the
// engine's output gain 0.5.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/vst/FpuControl.h"
#include "tests/support/VstTestHost.h"

namespace {

using Channels = std::vector<std::vector<float>>;

Channels channels(int count, int frames, float value)
{
    return Channels(static_cast<std::size_t>(count), std::vector<float>(static_cast<std::size_t>(frames), value));
}

class VstModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.isLoaded()) << module.error();
        ASSERT_NE(host.create(module), nullptr);
        e = host.effect();
    }

    PluginModule module {TB_TEST_VST_MODULE};
    VstTestHost host;
    AEffect* e = nullptr;
};

TEST(VstModuleEntry, HostAnsweringVersionZeroGetsNoEffect)
{
    PluginModule module(TB_TEST_VST_MODULE);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    for (const char* entry : {"VSTPluginMain", "main"}) {
        VstTestHost host;
        host.versionAnswer = 0;
        EXPECT_EQ(host.create(module, entry), nullptr) << entry;
        ASSERT_EQ(host.count(audioMasterVersion), 1);
        EXPECT_FALSE(host.calls().front().effectKnown);  // asked with a null effect
    }
}

TEST(VstModuleEntry, OnlyTheEntryPointsAreExported)
{
    const std::string command = std::string("nm -D --defined-only '") + TB_TEST_VST_MODULE + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, kind, name) == 3)
            names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string> {"VSTPluginMain", "main", "CreatePlugInstance"}));
}

TEST(VstModuleEntry, OnlyMainSetsFlushToZeroInTheCaller)
{
    PluginModule module(TB_TEST_VST_MODULE);
    const unsigned saved = readMxcsr();
    const unsigned clear = saved & ~(kMxcsrFlushToZero | kMxcsrDenormalsAreZero);

    writeMxcsr(clear);
    VstTestHost viaPluginMain;
    ASSERT_NE(viaPluginMain.create(module, "VSTPluginMain"), nullptr);
    EXPECT_EQ(readMxcsr() & kMxcsrFlushToZero, 0u);

    VstTestHost viaMain;
    ASSERT_NE(viaMain.create(module, "main"), nullptr);
    const unsigned after = readMxcsr();
    writeMxcsr(saved);
    EXPECT_NE(after & kMxcsrFlushToZero, 0u);
    EXPECT_EQ((after & kMxcsrDenormalsAreZero) != 0, denormalsAreZeroSupported());
    // Both entries give the same kind of instance.
    EXPECT_EQ(viaMain.effect()->uniqueID, viaPluginMain.effect()->uniqueID);
    EXPECT_EQ(viaMain.effect()->flags, viaPluginMain.effect()->flags);
}

TEST_F(VstModuleTest, ModuleLoadHookRanInsideTheModule)
{
    const std::string file = module.path().substr(module.path().rfind('/') + 1);
    EXPECT_EQ(file, "TestVstPlugin.so");
    EXPECT_EQ(host.text(effGetParamDisplay, 3), file);
}

TEST_F(VstModuleTest, RecordCarriesTheDefinitionsValues)
{
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 0);
    EXPECT_EQ(e->numParams, 4);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsProgramChunks | effFlagsHasEditor);
    EXPECT_EQ(e->uniqueID, vstFourCC('T', 'V', 'S', 'T'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->object, nullptr);
}

TEST_F(VstModuleTest, CreationSelectsProgramZeroAndAutomatesBeforeTheHostHasTheEffect)
{
    // Quirk kept: the first program switch runs inside VSTPluginMain.
    std::vector<int> indices;
    for (const auto& c : host.calls())
        if (c.opcode == audioMasterAutomate) {
            EXPECT_FALSE(c.effectKnown);
            EXPECT_FLOAT_EQ(c.opt, 0.5f);
            indices.push_back(c.index);
        }
    EXPECT_EQ(indices, (std::vector<int> {0, 1, 2, 3}));  // published only
}

TEST_F(VstModuleTest, DispatcherAnswersHostsRelyOn)
{
    EXPECT_EQ(host.dispatch(effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(host.dispatch(effKeysRequired), 1);
    EXPECT_EQ(host.dispatch(effGetTailSize), 0);
    EXPECT_EQ(host.dispatch(effVendorSpecific, 1, 2, nullptr, 3.0f), 0);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
    host.dispatch(effSetProgram, 0, 0);  // no programs published: ignored
    EXPECT_EQ(host.dispatch(effGetProgram), 0);

    EXPECT_EQ(host.canDo("receiveVstEvents"), 1);
    EXPECT_EQ(host.canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(host.canDo("receiveVstTimeInfo"), 1);
    // -1 must arrive sign-extended in the pointer-sized result.
    EXPECT_EQ(host.canDo("sendVstEvents"), VstIntPtr(-1));
    EXPECT_EQ(host.canDo("receiveVstEventsX"), VstIntPtr(-1));
    EXPECT_EQ(host.canDo("receiveVst"), VstIntPtr(-1));
    EXPECT_EQ(host.canDo(""), VstIntPtr(-1));
    EXPECT_EQ(host.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(VstModuleTest, TextsAreBoundedToTheHostsBuffers)
{
    std::size_t beyond = 0;
    EXPECT_EQ(host.text(effGetEffectName, 0, 32, &beyond), "TestVst");
    EXPECT_EQ(beyond, 0u);
    const std::string vendor = host.text(effGetVendorString, 0, 64, &beyond);
    EXPECT_EQ(vendor.size(), 63u);
    EXPECT_EQ(vendor.rfind("Tambrell Tests", 0), 0u);
    EXPECT_EQ(beyond, 0u);
    EXPECT_EQ(host.text(effGetProductString, 0, 64, &beyond).rfind("TestVst 0.9", 0), 0u);
    EXPECT_EQ(beyond, 0u);

    // The program's own name is longer than hosts can take.
    EXPECT_EQ(host.text(effGetProgramName, 0, 25, &beyond), "Init-program-with-a-very");
    EXPECT_EQ(beyond, 0u);
    char name[32];
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "Init-program-with-a-very");

    std::string renamed(40, 'r');
    host.dispatch(effSetProgramName, 0, 0, renamed.data());
    EXPECT_EQ(host.text(effGetProgramName), std::string(24, 'r'));

    EXPECT_EQ(host.text(effGetParamName, 1, 64, &beyond).rfind("Parameter1", 0), 0u);
    EXPECT_EQ(beyond, 0u);
    EXPECT_EQ(host.text(effGetParamDisplay, 0), "50");
    EXPECT_EQ(host.text(effGetParamName, 4), "");  // not published
    EXPECT_EQ(host.text(effGetParamName, -1), "");
}

TEST_F(VstModuleTest, OutputPinsShareTheirPairsLabel)
{
    for (int pin : {0, 1}) {
        VstPinProperties p {};
        ASSERT_EQ(host.dispatch(effGetOutputProperties, pin, 0, &p), 1);
        EXPECT_STREQ(p.label, "TestVst 0");
        EXPECT_EQ(p.flags, kVstPinIsActive | kVstPinIsStereo);
    }
    VstPinProperties p {};
    EXPECT_EQ(host.dispatch(effGetOutputProperties, 2, 0, &p), 0);
    EXPECT_EQ(host.dispatch(effGetOutputProperties, -1, 0, &p), 0);
    EXPECT_EQ(host.dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
    EXPECT_EQ(host.dispatch(effGetInputProperties, 0, 0, &p), 0);
}

TEST_F(VstModuleTest, ParametersStayInsideThePublishedRange)
{
    host.setParameter(0, 0.8f);
    EXPECT_FLOAT_EQ(host.getParameter(0), 0.8f);
    host.setParameter(3, 0.1f);
    EXPECT_FLOAT_EQ(host.getParameter(3), 0.1f);
    host.setParameter(4, 0.9f);
    host.setParameter(-1, 0.9f);
    host.setParameter(1 << 30, 0.9f);
    EXPECT_EQ(host.getParameter(4), 0.0f);
    EXPECT_EQ(host.getParameter(-1), 0.0f);
    EXPECT_EQ(host.getParameter(1 << 30), 0.0f);
    // The editor heard about the two valid writes only.
    EXPECT_EQ(host.text(effGetParamLabel, 0), "shown 1");
    EXPECT_EQ(host.text(effGetParamLabel, 3), "shown 1");
    EXPECT_EQ(host.text(effGetParamLabel, 1), "shown 0");
}

TEST_F(VstModuleTest, ChunksTravelThroughTheRecord)
{
    for (bool preset : {true, false}) {
        host.setParameter(2, 0.125f);
        std::vector<unsigned char> chunk = host.getChunk(preset);
        ASSERT_EQ(chunk.size(), 28u);
        float stored = 0.0f;
        std::memcpy(&stored, chunk.data() + 4 + 4 * 2, 4);
        EXPECT_EQ(stored, 0.125f);

        const float wanted = 0.75f;
        std::memcpy(chunk.data() + 4 + 4 * 2, &wanted, 4);
        host.clearCalls();
        EXPECT_EQ(host.setChunk(chunk, preset), 1);
        EXPECT_FLOAT_EQ(host.getParameter(2), 0.75f);
        // The switch tells the host every published value.
        EXPECT_EQ(host.automations().size(), 4u);
        EXPECT_FLOAT_EQ(host.automations()[2].second, 0.75f);
    }
    // A second request frees the first buffer (the sanitizer build would see a leak).
    EXPECT_EQ(host.getChunk(true).size(), 28u);
    EXPECT_EQ(host.getChunk(true).size(), 28u);

    std::vector<unsigned char> shortChunk(10, 0);
    EXPECT_EQ(host.setChunk(shortChunk, true), 0);
    EXPECT_EQ(host.dispatch(effSetChunk, 1, -5, shortChunk.data()), 0);
    EXPECT_EQ(host.dispatch(effSetChunk, 1, 28, nullptr), 0);
    EXPECT_EQ(host.dispatch(effGetChunk, 1, 0, nullptr), 0);
}

TEST_F(VstModuleTest, RendersFromCopiesAndLeavesTheHostsInputsAlone)
{
    host.start();
    const int frames = 300;  // more than two engine pieces
    Channels in = channels(2, frames, 0.0f);
    for (int i = 0; i < frames; ++i) {
        in[0][i] = std::sin(0.05f * static_cast<float>(i));
        in[1][i] = 0.25f;
    }
    const Channels original = in;
    Channels out = channels(2, frames, 7.0f);
    host.processReplacing(in, out);
    EXPECT_EQ(in, original);
    for (int i = 0; i < frames; ++i) {
        ASSERT_NEAR(out[0][i], 0.5f * original[0][i], 1e-6f) << i;
        ASSERT_NEAR(out[1][i], 0.125f, 1e-6f) << i;
    }

    // In place, as many hosts call it: the result is the same.
    Channels shared = original;
    std::vector<float*> io = {shared[0].data(), shared[1].data()};
    e->processReplacing(e, io.data(), io.data(), frames);
    for (int i = 0; i < frames; ++i)
        ASSERT_NEAR(shared[0][i], 0.5f * original[0][i], 1e-6f) << i;

    // Gain follows parameter 0.
    host.setParameter(0, 1.0f);
    in = original;
    host.processReplacing(in, out);
    EXPECT_NEAR(out[1][frames - 1], 0.25f, 1e-6f);
}

TEST_F(VstModuleTest, AccumulatingProcessAddsToTheOutputs)
{
    host.start();
    Channels in = channels(2, 200, 0.5f);
    Channels out = channels(2, 200, 1.0f);
    host.process(in, out);
    EXPECT_NEAR(out[0][150], 1.25f, 1e-6f);
    EXPECT_EQ(in[0][150], 0.5f);
}

TEST_F(VstModuleTest, MidiTakesEffectAtItsFrameWhateverTheChannel)
{
    host.start();
    // Note-on on channel 5 at frame 100, note-off at frame 200.
    EXPECT_EQ(host.sendMidi({VstTestHost::midi(0x94, 60, 64, 100), VstTestHost::midi(0x84, 60, 0, 200)}), 1);
    Channels in = channels(2, 256, 0.0f);
    Channels out = channels(2, 256, 7.0f);
    host.processReplacing(in, out);
    for (int i = 0; i < 256; ++i) {
        const float expected = (i >= 100 && i < 200) ? 0.25f : 0.0f;
        ASSERT_NEAR(out[0][i], expected, 1e-6f) << i;
        ASSERT_NEAR(out[1][i], expected, 1e-6f) << i;
    }

    // An event past the block end is never applied.
    host.sendMidi({VstTestHost::midi(0x90, 61, 127, 300)});
    host.processReplacing(in, out);
    EXPECT_EQ(out[0][255], 0.0f);
    host.processReplacing(in, out);
    EXPECT_EQ(out[0][0], 0.0f);

    // Offsets out of order: the late-queued earlier event takes effect where
    // the engine stands (frame 150), not before.
    host.sendMidi({VstTestHost::midi(0x90, 62, 64, 150), VstTestHost::midi(0x80, 62, 0, 20)});
    host.processReplacing(in, out);
    EXPECT_EQ(out[0][149], 0.0f);
    EXPECT_EQ(out[0][151], 0.0f);
}

TEST_F(VstModuleTest, MidiIntakeSkipsWhatIsNotMidiAndStopsAtTheQueueSize)
{
    host.start();
    Channels in = channels(2, 64, 0.0f);
    Channels out = channels(2, 64, 0.0f);

    // 1024 controller messages fill the queue; the note-on after them is dropped.
    std::vector<VstMidiEvent> flood(1024, VstTestHost::midi(0xB0, 20, 1, 0));
    flood.push_back(VstTestHost::midi(0x90, 60, 64, 10));
    host.sendMidi(flood);
    host.processReplacing(in, out);
    EXPECT_EQ(out[0][20], 0.0f);

    flood.erase(flood.begin());  // 1023 + the note: all fit
    host.sendMidi(flood);
    host.processReplacing(in, out);
    EXPECT_NEAR(out[0][20], 0.25f, 1e-6f);

    // A sysex event and a null slot are skipped; a negative count is ignored.
    VstMidiEvent off = VstTestHost::midi(0x80, 60, 0, 5);
    VstEvent sysex {};
    sysex.type = kVstSysExType;
    VstEvents list {};
    list.numEvents = 2;
    list.events[0] = &sysex;
    list.events[1] = reinterpret_cast<VstEvent*>(&off);
    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, &list), 1);
    list.numEvents = -3;
    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, nullptr), 0);
    host.processReplacing(in, out);
    EXPECT_NEAR(out[0][4], 0.25f, 1e-6f);
    EXPECT_EQ(out[0][5], 0.0f);
}

TEST_F(VstModuleTest, ProcessingFlushesDenormalsAndRestoresTheCallersControlWord)
{
    host.start();
    const unsigned saved = readMxcsr();
    const unsigned clear = saved & ~(kMxcsrFlushToZero | kMxcsrDenormalsAreZero);
    writeMxcsr(clear);
    Channels in = channels(2, 32, 1.0e-39f);  // denormal input
    Channels out = channels(2, 32, 1.0f);
    host.processReplacing(in, out);
    const unsigned after = readMxcsr();
    writeMxcsr(saved);
    EXPECT_EQ(after, clear);
    EXPECT_EQ(out[0][31], 0.0f);  // 5e-40 without the flush
}

TEST_F(VstModuleTest, AsksTheHostForTransportEachBlock)
{
    host.start();
    VstTimeInfo t {};
    t.tempo = 90.0;
    t.ppqPos = 4.0;
    t.flags = kVstTempoValid | kVstPpqPosValid | kVstTransportChanged | kVstTransportPlaying;
    host.setTimeInfo(t);
    host.clearCalls();
    Channels in = channels(2, 16, 0.0f);
    Channels out = channels(2, 16, 0.0f);
    host.processReplacing(in, out);
    std::vector<VstIntPtr> filters;
    for (const auto& c : host.calls())
        if (c.opcode == audioMasterGetTime)
            filters.push_back(c.value);
    EXPECT_EQ(filters, (std::vector<VstIntPtr> {kVstTempoValid, kVstPpqPosValid}));
}

TEST_F(VstModuleTest, ResumeAsksForMidi)
{
    host.clearCalls();
    host.dispatch(effMainsChanged, 0, 1);
    ASSERT_EQ(host.count(audioMasterWantMidi), 1);
    EXPECT_EQ(host.calls().back().value, 1);
}

TEST_F(VstModuleTest, StoppingAndRestartingAudioEndsHeldNotes)
{
    host.start();
    Channels in = channels(2, 64, 0.0f);
    Channels out = channels(2, 64, 0.0f);
    for (VstIntPtr mains : {0, 1}) {
        host.sendMidi({VstTestHost::midi(0x90, 60, 64, 0)});
        host.processReplacing(in, out);
        ASSERT_NEAR(out[0][63], 0.25f, 1e-6f);
        host.dispatch(effMainsChanged, 0, mains);
        host.processReplacing(in, out);
        EXPECT_EQ(out[0][0], 0.0f) << "mains " << mains;
    }
}

TEST_F(VstModuleTest, EditorOpensInTheHostsWindowAndConsumesNoKeys)
{
    ERect* rect = nullptr;
    ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 120);
    EXPECT_EQ(rect->right, 200);
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, nullptr), 0);

    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, nullptr), 0);
    int parentWindow = 0;
    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, &parentWindow), 1);
    EXPECT_EQ(host.text(effGetParamLabel, 0), "shown 0 open");
    EXPECT_EQ(host.dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    host.dispatch(effEditIdle);
    host.dispatch(effEditClose);
    EXPECT_EQ(host.text(effGetParamLabel, 0), "shown 0");
    // Closing the instance with the editor open must close and free it first.
    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, &parentWindow), 1);
    EXPECT_EQ(host.close(), 1);
}

TEST(VstModuleWithoutEditor, HasNoEditorFlagAndNoRectangle)
{
    PluginModule module(TB_TEST_VST_MODULE_PLAIN);
    ASSERT_TRUE(module.isLoaded()) << module.error();
    VstTestHost host;
    AEffect* e = host.create(module);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, &rect), 0);
    EXPECT_EQ(host.text(effGetParamLabel, 0), "no editor");
    EXPECT_EQ(host.close(), 1);
}

}  // namespace
