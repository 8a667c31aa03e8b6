// The native adaptor linked in, driven by the test host: an instrument
// definition for the generator and voice paths, an editor that records its
// life, the host's menu through the popup service, and the state rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "framework/native/CMxsWrapper.h"
#include "framework/native/NativeStateStream.h"
#include "platform/headless/ScriptedPopupMenu.h"
#include "tests/support/NativeTestHost.h"
#include "tests/support/TestPlugin.h"

using tbtest::NativeTestHost;

namespace {

std::vector<std::string> gLog;

// Passes its input through and remembers the loudest input it saw.
struct PeakFx : CFx {
    void process(float* inL, float* inR, float* bufL, float* bufR, int32_t frames) override
    {
        for (int32_t i = 0; i < frames; ++i) {
            peak = std::max({peak, std::fabs(inL[i]), std::fabs(inR[i])});
            bufL[i] += inL[i] + offset;
            bufR[i] += inR[i] + offset;
        }
    }
    float peak = 0.0f;
    float offset = 0.0f;
};

struct LoggingEngine : TestEngine {
    explicit LoggingEngine(CPluginWrapper* wrapper)
        : TestEngine(wrapper)
    {
        setEffectUnit(fx = new PeakFx);
    }
    ~LoggingEngine() override { gLog.push_back("engine gone"); }
    void onController(int8_t controller) override
    {
        controllers.push_back(controller);
        TestEngine::onController(controller);
    }
    PeakFx* fx;
    std::vector<int> controllers;
};

struct OpeningEditor : RecordingEditor {
    bool openView(void* parent, ViewSize size) override
    {
        gLog.push_back("open " + std::to_string(size.width) + "x" + std::to_string(size.height));
        parent_ = reinterpret_cast<uintptr_t>(parent);
        return true;
    }
    void closeView() override
    {
        gLog.push_back("close");
        parent_ = 0;
    }
    void idleView() override { gLog.push_back("idle"); }
    uintptr_t viewHandle() const override { return parent_ != 0 ? parent_ + 1 : 0; }
    ~OpeningEditor() override { gLog.push_back("editor gone"); }
    uintptr_t parent_ = 0;
};

struct InstrumentDefinition : TestDefinition {
    InstrumentDefinition() { isEffect = false; }
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override { return engine = new LoggingEngine(wrapper); }
    EditorView* createEditor(CSynthesizer*) override { return new OpeningEditor; }
    LoggingEngine* engine = nullptr;
};

TOrvanePlug* entry(TOrvaneHost* host, int32_t tag) { return createPlugInstance(host, tag); }

struct NativeWrapper : ::testing::Test {
    InstrumentDefinition definition;
    ScopedDefinition scoped {definition};
    NativeTestHost host {entry};
    platform::ScriptedPopupMenu popup;

    void SetUp() override
    {
        gLog.clear();
        platform::setPopupMenu(&popup);
        ASSERT_NE(host.create(), nullptr);
    }
    void TearDown() override { platform::setPopupMenu(nullptr); }
    CMxsWrapper& wrapper() { return *CMxsWrapper::fromPlug(host.plug()); }
    CPluginWrapper& bridge() { return *wrapper().pluginWrapper(); }
};

TEST_F(NativeWrapper, InstrumentAnnouncesItselfAndFormatIsNative)
{
    EXPECT_EQ(host.plug()->info->flags, 0x200011);
    EXPECT_EQ(host.plug()->info->parameterCount, 4 + 129);
    ASSERT_EQ(host.callsOf(0, kOrvaneHostInstrument).size(), 1u);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostInstrument)[0].value, 1);
    EXPECT_EQ(definition.formatId, 3);
    EXPECT_STREQ(definition.formatText, "MX");
}

TEST_F(NativeWrapper, GeneratorRendersSilentInputsAndEndsHostVoices)
{
    // Leave loud input behind in the scratch buffers first.
    host.renderEffect(std::vector<float>(512, 0.9f));
    ASSERT_GT(definition.engine->fx->peak, 0.8f);
    definition.engine->fx->peak = 0.0f;

    TOrvaneVoiceRecord voice {};
    voice.pitch = 6050.0f;
    voice.level = 1.0f;
    voice.finePitch = 25.0f;
    voice.keyValues[1] = 0.75f;
    ASSERT_EQ(host.ops().startVoice(host.plug(), &voice, 41), 60);
    std::vector<float> buffer(2 * 300, 0.125f);
    int32_t frames = 300;
    host.ops().renderGenerator(host.plug(), buffer.data(), &frames);

    EXPECT_EQ(definition.engine->fx->peak, 0.0f);
    EXPECT_EQ(buffer, std::vector<float>(600, 0.125f));  // silence added
    const KeyRecord* key = definition.engine->getKeyRecord(60);
    EXPECT_EQ(key->velocity, 100);
    EXPECT_FLOAT_EQ(static_cast<float>(key->gain[0]), 0.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(key->gain[1]), 0.25f);
    EXPECT_DOUBLE_EQ(key->pitchOffset, 0.25);
    EXPECT_DOUBLE_EQ(key->extra[1], 0.75);
    // No voice sounds on this engine, so the host's voice ends at once.
    ASSERT_EQ(host.callsOf(5).size(), 1u);
    EXPECT_EQ(host.callsOf(5)[0].tag, 41);
    EXPECT_EQ(host.callsOf(34).size(), 1u);
    EXPECT_EQ(host.callsOf(35).size(), 1u);
}

TEST_F(NativeWrapper, StartVoiceTreatsBadLevelsAsSilence)
{
    for (float level : {std::nanf(""), -3.0f}) {
        TOrvaneVoiceRecord voice {};
        voice.pitch = 7000.0f;
        voice.level = level;
        EXPECT_EQ(host.ops().startVoice(host.plug(), &voice, 5), 70);
        host.renderEffect(std::vector<float>(64, 0.0f));
        EXPECT_EQ(definition.engine->getKeyRecord(70)->velocity, 0);
    }
    TOrvaneVoiceRecord loud {};
    loud.pitch = 99999.0f;
    loud.level = 2.0f;
    EXPECT_EQ(host.ops().startVoice(host.plug(), &loud, 6), 127);
    host.renderEffect(std::vector<float>(64, 0.0f));
    EXPECT_EQ(definition.engine->getKeyRecord(127)->velocity, 127);
}

TEST_F(NativeWrapper, ControllerParametersReachTheEngine)
{
    const int32_t n = 4;
    LoggingEngine& engine = *definition.engine;
    host.access(n + 64, 154, kOrvaneParamSet);  // 0.6: sustain on, exactly 1
    EXPECT_EQ(engine.getControllerValue(64), 1.0);
    host.access(n + 128, 256, kOrvaneParamSet);
    EXPECT_EQ(engine.getChannelPressure(), 1.0);
    host.access(n + 7, 64, kOrvaneParamSet);
    engine.controllers.clear();
    host.access(n + 121, 256, kOrvaneParamSet);
    EXPECT_EQ(engine.getControllerValue(7), 1.0);
    EXPECT_EQ(engine.getControllerValue(10), 0.5);
    EXPECT_EQ(engine.getControllerValue(64), 0.0);
    EXPECT_EQ(engine.controllers.size(), 129u);
    EXPECT_EQ(std::count(engine.controllers.begin(), engine.controllers.end(), 121), 2);
}

TEST_F(NativeWrapper, ParameterReportsCarryAHint)
{
    host.message(kOrvaneMsgSampleRate, 0, 44100);  // the silent first selection
    EXPECT_TRUE(host.callsOf(1).empty());
    host.access(1, 128, kOrvaneParamSet);  // not reported back
    bridge().parameterChanged(1, 0.5f);
    bridge().parameterChanged(4, 0.5f);  // stored, not published
    ASSERT_EQ(host.callsOf(1).size(), 1u);
    EXPECT_EQ(host.callsOf(1)[0].value, 128);
    ASSERT_EQ(host.callsOf(2).size(), 1u);
    EXPECT_EQ(host.callsOf(2)[0].text, "P1 50 ---");
}

TEST_F(NativeWrapper, HostItemNameIsBoundedAndTerminated)
{
    char text[kOrvaneNameCapacity + 8];
    std::memset(text, '#', sizeof text);
    host.itemNameAnswer.assign(400, 'x');
    bridge().getHostItemName(9, text);
    EXPECT_EQ(std::string(text), std::string(kOrvaneNameCapacity - 1, 'x'));
    EXPECT_EQ(text[kOrvaneNameCapacity], '#');
    ASSERT_EQ(host.callsOf(0, kOrvaneHostItemName).size(), 1u);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostItemName)[0].index, 9);
}

TEST_F(NativeWrapper, ParameterMenuComesFromTheHost)
{
    host.menuEntries = {{"Learn", 0}, {"-", 0}, {nullptr, 0}, {"Off", 1}, {"On", 2}};
    popup.pushChoice(1024 + 4);
    EXPECT_EQ(bridge().showParameterMenu(2), 1);
    ASSERT_EQ(popup.requests.size(), 1u);
    const auto& items = popup.requests[0].items;
    ASSERT_EQ(items.size(), 4u);  // the entry without a text is skipped
    EXPECT_EQ(items[1].id, 1025);
    EXPECT_TRUE(items[1].separator);
    EXPECT_TRUE(items[2].disabled);
    EXPECT_TRUE(items[3].checked);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostMenuEntry).size(), 6u);
    // The answer is carried out on the idle calls that follow, not inside the click.
    EXPECT_TRUE(host.callsOf(0, kOrvaneHostMenuChoice).empty());
    host.message(kOrvaneMsgEditorIdle);
    host.message(kOrvaneMsgEditorIdle);
    ASSERT_EQ(host.callsOf(0, kOrvaneHostMenuChoice).size(), 1u);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostMenuChoice)[0].index, 2);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostMenuChoice)[0].value, 4);
    EXPECT_EQ(popup.liveMenus(), 0);

    // Dismissed: the click is still taken, nothing is chosen.
    host.clearCalls();
    EXPECT_EQ(bridge().showParameterMenu(2), 1);
    host.message(kOrvaneMsgEditorIdle);
    host.message(kOrvaneMsgEditorIdle);
    EXPECT_TRUE(host.callsOf(0, kOrvaneHostMenuChoice).empty());
    EXPECT_EQ(bridge().showParameterMenu(4), 0);  // not a published parameter

    // A host that never ends its list is read up to the limit.
    host.menuEntries.assign(5000, {"x", 0});
    host.clearCalls();
    bridge().showParameterMenu(0);
    EXPECT_EQ(host.callsOf(0, kOrvaneHostMenuEntry).size(), 1024u);
}

TEST_F(NativeWrapper, EditorOpensClosesAndGoesBeforeTheEngine)
{
    host.message(kOrvaneMsgEditorIdle);  // closed: no idle
    host.message(kOrvaneMsgEditor, 0, 0x5000);
    EXPECT_EQ(host.plug()->editorWindow, 0x5001u);
    host.message(kOrvaneMsgEditorIdle);
    host.message(kOrvaneMsgEditor, 0, 0);
    EXPECT_EQ(host.plug()->editorWindow, 0u);
    host.message(kOrvaneMsgEditor, 0, 0x6000);
    host.destroy();
    EXPECT_EQ(gLog,
        (std::vector<std::string> {
            "open 200x120", "idle", "close", "open 200x120", "close", "editor gone", "engine gone"}));
}

TEST_F(NativeWrapper, ChannelFlagSilencesTheMainPair)
{
    definition.engine->fx->offset = 0.5f;
    std::vector<float> buffer(64, 0.0f);
    int32_t frames = 32;
    host.ops().renderGenerator(host.plug(), buffer.data(), &frames);
    EXPECT_GT(buffer[62], 0.0f);
    bridge().setChannelFlag(0, 0);
    EXPECT_EQ(wrapper().getChannelEnable(0), 0);
    buffer.assign(64, 0.0f);
    host.ops().renderGenerator(host.plug(), buffer.data(), &frames);
    EXPECT_EQ(buffer, std::vector<float>(64, 0.0f));
}

TEST(NativeEntry, NoDefinitionNoInstance)
{
    CPluginDefinition* previous = pluginDefinition();
    installPluginDefinition(nullptr);
    NativeTestHost host(entry);
    EXPECT_EQ(host.create(), nullptr);
    installPluginDefinition(previous);
}

}  // namespace

TEST_F(NativeWrapper, SmallMessagesAndHostCommands)
{
    definition.nativeSwitch = true;
    host.message(kOrvaneMsgSwitch);
    bridge().hostCommand50();
    bridge().hostCommand3();
    const auto calls = host.callsOf(0);
    ASSERT_EQ(calls.size(), 4u);  // the instrument's announcement first
    EXPECT_EQ((std::vector<intptr_t> {calls[1].message, calls[1].index, calls[1].value}),
        (std::vector<intptr_t> {kOrvaneHostSwitchAnswer, 0, 1}));
    EXPECT_EQ((std::vector<intptr_t> {calls[2].message, calls[2].index, calls[2].value}),
        (std::vector<intptr_t> {kOrvaneHostCommand50, 1, 0}));
    EXPECT_EQ((std::vector<intptr_t> {calls[3].message, calls[3].index, calls[3].value}),
        (std::vector<intptr_t> {kOrvaneHostCommand3, 0, 2}));
    host.ops().receiveEvent(host.plug(), 0, 93.0f, 0);
    EXPECT_EQ(definition.engine->getTempo(), 93.0);
    host.ops().killAllVoices(host.plug());
    EXPECT_EQ(definition.engine->getQueueCount(), 128);
    const uint8_t note[4] = {0x91, 60, 100, 0};
    host.ops().receiveMidi(host.plug(), note);  // no MIDI port: nothing queued
    EXPECT_EQ(definition.engine->getQueueCount(), 128);
}

namespace {

// Two output pairs and four inputs: the engine's multi-channel path, whose hook
// writes a constant into each output.
struct MultiEngine : TestEngine {
    using TestEngine::TestEngine;
    void renderMultiOutput(float**, float** outputs, int32_t frames) override
    {
        for (int32_t c = 0; c < 4; ++c)
            std::fill(outputs[c], outputs[c] + frames, kLevels[c]);
    }
    int32_t getOutputDestination(int32_t pairIndex) override { return 7 + pairIndex; }
    void hold(bool on) { on ? beginProgramSwitch() : endProgramSwitch(); }
    static constexpr float kLevels[4] = {0.25f, 0.5f, 1.0f, 2.0f};
};

struct MultiDefinition : TestDefinition {
    MultiDefinition()
    {
        isEffect = false;
        outputPairs = 2;
        inputChannels = 4;
    }
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override { return engine = new MultiEngine(wrapper); }
    MultiEngine* engine = nullptr;
};

struct NativeMultiChannel : ::testing::Test {
    MultiDefinition definition;
    ScopedDefinition scoped {definition};
    NativeTestHost host {entry};
    void SetUp() override { ASSERT_NE(host.create(), nullptr); }

    // Every frame of an interleaved buffer holds (left, right).
    static bool holds(const std::vector<float>& interleaved, float left, float right)
    {
        for (size_t i = 0; i < interleaved.size(); i += 2)
            if (interleaved[i] != left || interleaved[i + 1] != right)
                return false;
        return true;
    }
};

// Regression: the adaptor handed the engine two-slot arrays, and the engine
// read four inputs and four outputs from them (stack-buffer-overflow).
TEST_F(NativeMultiChannel, EveryChannelTheDefinitionNamesHasASlot)
{
    EXPECT_TRUE(holds(host.renderEffect(std::vector<float>(2 * 64, 0.125f)), 0.25f, 0.5f));
}

// Regression: past the scratch capacity every piece was added at the start of
// the host's extra buffer, and the host was asked for its buffers once a piece
// (and, as in the effect, the inputs overran).
TEST_F(NativeMultiChannel, LongGeneratorCallsAddEachPieceAtItsOwnFrames)
{
    const int32_t total = 2 * CMxsWrapper::kScratchFrames + 100;
    std::vector<float> main(2 * static_cast<size_t>(total), 0.0f);
    std::vector<float> extra(main.size(), 0.0f);
    host.extraOutput = extra.data();
    int32_t frames = total;
    host.ops().renderGenerator(host.plug(), main.data(), &frames);
    EXPECT_TRUE(holds(main, 0.25f, 0.5f));
    EXPECT_TRUE(holds(extra, 1.0f, 2.0f));
    ASSERT_EQ(host.callsOf(26).size(), 1u);
    EXPECT_EQ(host.callsOf(26)[0].index, 7);
    EXPECT_EQ(host.callsOf(34).size(), 1u);
    EXPECT_EQ(host.callsOf(35).size(), 1u);

    // A block skipped for a program switch adds silence, not the last block.
    definition.engine->hold(true);
    std::fill(extra.begin(), extra.end(), 0.0f);
    frames = 64;
    host.ops().renderGenerator(host.plug(), main.data(), &frames);
    definition.engine->hold(false);
    EXPECT_TRUE(holds(extra, 0.0f, 0.0f));
}

}  // namespace
