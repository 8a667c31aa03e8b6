// CVstWrapper in this process, under definitions the test module does not
// cover: no engine, an instrument, two output pairs, chunk sizes below two,
// and a program switch held open while the host asks for audio.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/engine/CFx.h"
#include "framework/vst/CVstWrapper.h"
#include "framework/vst/VstEntry.h"
#include "tests/support/TestPlugin.h"

namespace {

struct Calls {
    int automate = 0;
    int lastAutomateIndex = -1;
    int beginEdit = 0;
    int endEdit = 0;
};
Calls calls;

VstIntPtr countingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float)
{
    if (opcode == audioMasterAutomate) {
        ++calls.automate;
        calls.lastAutomateIndex = index;
    }
    calls.beginEdit += opcode == audioMasterBeginEdit;
    calls.endEdit += opcode == audioMasterEndEdit;
    return opcode == audioMasterVersion ? 2400 : 0;
}

bool engineAlive = false;
bool editorSawEngineAlive = false;

// Mixes a constant 1.0 so that a rendered block is told apart from silence.
class ConstantFx : public CFx {
public:
    void process(float*, float*, float* bufL, float* bufR, int32_t frames) override
    {
        for (int32_t i = 0; i < frames; ++i)
            bufL[i] = bufR[i] = 1.0f;
    }
};

class HoldableEngine : public TestEngine {
public:
    explicit HoldableEngine(CPluginWrapper* wrapper)
        : TestEngine(wrapper)
    {
        setEffectUnit(new ConstantFx);
        engineAlive = true;
    }
    ~HoldableEngine() override { engineAlive = false; }
    void hold() { beginProgramSwitch(); }
    void release() { endProgramSwitch(); }
    int32_t getProgramChunk(void* buffer) override
    {
        if (buffer)
            std::memset(buffer, 0xAB, static_cast<std::size_t>(chunkSize));
        return chunkSize;
    }
    int32_t chunkSize = 0;
};

class WatchingEditor : public RecordingEditor {
public:
    ~WatchingEditor() override { editorSawEngineAlive = engineAlive; }
};

class WrapperDefinition : public TestDefinition {
public:
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override
    {
        if (!makeEngine)
            return nullptr;
        lastEngine = new HoldableEngine(wrapper);
        return lastEngine;
    }
    EditorView* createEditor(CSynthesizer*) override { return makeEditor ? new WatchingEditor : nullptr; }

    bool makeEngine = true;
    HoldableEngine* lastEngine = nullptr;
};

class VstWrapperTest : public ::testing::Test {
protected:
    void SetUp() override { calls = Calls {}; }
    void TearDown() override
    {
        if (e)
            e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
    AEffect* create()
    {
        AudioEffect* fx = createVstInstance(&countingHost);
        e = fx ? fx->getAeffect() : nullptr;
        return e;
    }
    CVstWrapper* wrapper() { return static_cast<CVstWrapper*>(e->object); }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0)
    {
        return e->dispatcher(e, op, index, value, ptr, opt);
    }

    WrapperDefinition definition;
    ScopedDefinition installed {definition};
    AEffect* e = nullptr;
};

TEST_F(VstWrapperTest, CreationMarksTheHostFormatAsVst)
{
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(definition.formatId, 1);
    EXPECT_STREQ(definition.formatText, "VST");
    EXPECT_EQ(definition.lastEngine->getSampleRate(), 44100.0);
}

TEST_F(VstWrapperTest, PendingProgramSwitchGivesSilenceNotStaleMemory)
{
    ASSERT_NE(create(), nullptr);
    std::vector<float> inL(200, 0.3f), inR(200, 0.3f), outL(200, 7.0f), outR(200, 7.0f);
    float* in[] = {inL.data(), inR.data()};
    float* out[] = {outL.data(), outR.data()};

    definition.lastEngine->hold();
    e->processReplacing(e, in, out, 200);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(outL[i] == 0.0f && outR[i] == 0.0f) << i;

    definition.lastEngine->release();
    e->processReplacing(e, in, out, 200);
    EXPECT_NEAR(outL[199], 0.5f, 1e-6f);
    EXPECT_NEAR(outR[0], 0.5f, 1e-6f);
}

TEST_F(VstWrapperTest, WithoutAnEngineEveryCallAnswersNothing)
{
    definition.makeEngine = false;
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(e->getParameter(e, 0), 0.0f);
    e->setParameter(e, 0, 1.0f);
    void* data = nullptr;
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, &data), 0);
    EXPECT_EQ(data, nullptr);
    char chunk[16] = {};
    EXPECT_EQ(dispatch(effSetChunk, 1, sizeof chunk, chunk), 0);
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, chunk), 1);
    char name[32] = "junk";
    dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "");
    std::vector<float> l(16, 7.0f), r(16, 7.0f);
    float* out[] = {l.data(), r.data()};
    e->processReplacing(e, nullptr, out, 16);
    EXPECT_EQ(l[0], 7.0f);  // no engine: the host's buffers are not touched
    dispatch(effMainsChanged, 0, 1);
    dispatch(effMainsChanged, 0, 0);
}

TEST_F(VstWrapperTest, ChunkBelowTwoBytesIsNoChunk)
{
    ASSERT_NE(create(), nullptr);
    for (int32_t size : {0, 1}) {
        definition.lastEngine->chunkSize = size;
        void* data = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(dispatch(effGetChunk, 1, 0, &data), 0) << size;
        EXPECT_EQ(data, reinterpret_cast<void*>(0x1234));
    }
    definition.lastEngine->chunkSize = 2;
    void* data = nullptr;
    ASSERT_EQ(dispatch(effGetChunk, 1, 0, &data), 2);
    EXPECT_EQ(static_cast<unsigned char*>(data)[1], 0xAB);
    // The bank request asks the engine's bank chunk, which is empty here.
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, &data), 0);
}

TEST_F(VstWrapperTest, InstrumentDefinitionIsASynth)
{
    definition.isEffect = false;
    ASSERT_NE(create(), nullptr);
    EXPECT_TRUE(e->flags & effFlagsIsSynth);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategSynth);
}

TEST_F(VstWrapperTest, EachOutputPairNamesBothItsPins)
{
    definition.outputPairs = 2;
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(e->numOutputs, 4);
    const char* expected[] = {"TestPlug 0", "TestPlug 0", "TestPlug 1", "TestPlug 1"};
    for (int pin = 0; pin < 4; ++pin) {
        VstPinProperties p {};
        ASSERT_EQ(dispatch(effGetOutputProperties, pin, 0, &p), 1);
        EXPECT_STREQ(p.label, expected[pin]);
    }
    VstPinProperties p {};
    EXPECT_EQ(dispatch(effGetOutputProperties, 4, 0, &p), 0);

    // Two pairs take the engine's multi-channel path, which clears the outputs.
    std::vector<std::vector<float>> buffers(4, std::vector<float>(150, 7.0f));
    std::vector<float> inL(150, 0.1f), inR(150, 0.1f);
    float* in[] = {inL.data(), inR.data()};
    float* out[] = {buffers[0].data(), buffers[1].data(), buffers[2].data(), buffers[3].data()};
    e->processReplacing(e, in, out, 150);
    for (const auto& b : buffers)
        EXPECT_EQ(b[149], 0.0f);
    EXPECT_EQ(inL[0], 0.1f);
}

TEST_F(VstWrapperTest, EditorNeedsTheFlagAndAnEngine)
{
    definition.hasEditor = false;
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(wrapper()->pluginWrapper()->getEditor(), nullptr);
}

// Regression: a definition whose createEditor made nothing still set the
// has-editor flag, and Ardour showed an editor button that could not open.
TEST_F(VstWrapperTest, NoEditorMadeMeansNoEditorFlag)
{
    definition.makeEditor = false;
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    int parent = 0;
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &parent), 0);
}

TEST_F(VstWrapperTest, EditorIsDeletedBeforeTheEngine)
{
    ASSERT_NE(create(), nullptr);
    editorSawEngineAlive = false;
    EXPECT_EQ(dispatch(effClose), 1);
    e = nullptr;
    EXPECT_TRUE(editorSawEngineAlive);
    EXPECT_FALSE(engineAlive);
}

TEST_F(VstWrapperTest, SampleRateReachesTheEngineOnlyWhenItIsARate)
{
    ASSERT_NE(create(), nullptr);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(definition.lastEngine->getSampleRate(), 48000.0);
    dispatch(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    dispatch(effSetSampleRate, 0, 0, nullptr, -1.0f);
    wrapper()->setSampleRate(0.0f);
    EXPECT_EQ(definition.lastEngine->getSampleRate(), 48000.0);
}

TEST_F(VstWrapperTest, EngineAndEditorReachTheHostOnlyForPublishedParameters)
{
    ASSERT_NE(create(), nullptr);
    CPluginWrapper* bridge = wrapper()->pluginWrapper();
    calls = Calls {};
    bridge->parameterChanged(3, 0.5f);
    bridge->parameterChanged(4, 0.5f);  // stored but not published
    bridge->parameterChanged(-1, 0.5f);
    EXPECT_EQ(calls.automate, 1);
    EXPECT_EQ(calls.lastAutomateIndex, 3);
    bridge->beginEdit(0);
    bridge->endEdit(0);
    bridge->beginEdit(4);
    bridge->endEdit(-2);
    EXPECT_EQ(calls.beginEdit, 1);
    EXPECT_EQ(calls.endEdit, 1);

    EXPECT_NE(dynamic_cast<WatchingEditor*>(bridge->getEditor()), nullptr);
    bridge->setCurrentProgram(7);
    EXPECT_EQ(dispatch(effGetProgram), 7);
    EXPECT_EQ(bridge->showParameterMenu(0), 0);
    EXPECT_EQ(bridge->hostCommand50(), 0);
    char text[8] = "junk";
    bridge->getHostItemName(0, text);
    EXPECT_STREQ(text, "");

    // A host write reaches the engine and the editor.
    e->setParameter(e, 1, 0.25f);
    auto* editor = static_cast<WatchingEditor*>(bridge->getEditor());
    ASSERT_EQ(editor->shown.size(), 1u);
    EXPECT_EQ(editor->shown[0], (std::pair<int32_t, float> {1, 0.25f}));
}

TEST_F(VstWrapperTest, PublishedProgramsSwitchThroughTheEngine)
{
    definition.programCount = 2;
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(e->numPrograms, 2);
    calls = Calls {};
    dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(dispatch(effGetProgram), 1);
    // The engine's switch tells the host every published value.
    EXPECT_EQ(calls.automate, 4);
    dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(dispatch(effGetProgram), 1);
    EXPECT_EQ(calls.automate, 4);
}

TEST(VstEntryInProcess, HostWithoutCallbackOrVersionGetsNothing)
{
    EXPECT_EQ(vstPluginMain(nullptr), nullptr);
    auto versionZero = [](AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return 0; };
    EXPECT_EQ(vstPluginMain(versionZero), nullptr);
}

}  // namespace
