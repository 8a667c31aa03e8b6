// The VST base classes driven through the AEffect record, as a host drives them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/vst/AudioEffectX.h"

namespace {

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

// One recording host for the whole file; tests reset it in SetUp.
struct RecordingHost {
    std::vector<HostCall> calls;
    VstIntPtr versionAnswer = 2400;
    VstIntPtr answer = 0;  // for every other opcode

    int count(VstInt32 opcode) const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.opcode == opcode;
        return n;
    }
    const HostCall* last(VstInt32 opcode) const
    {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->opcode == opcode)
                return &*it;
        return nullptr;
    }
};

RecordingHost host;

VstIntPtr recordingCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    host.calls.push_back({opcode, index, value, ptr, opt});
    return opcode == audioMasterVersion ? host.versionAnswer : host.answer;
}

bool destroyed = false;

class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback cb, VstInt32 programs = 3, VstInt32 params = 4)
        : AudioEffectX(cb, programs, params)
    {
    }
    ~PlainEffect() override { destroyed = true; }

    float sr() const { return sampleRate; }
    VstInt32 bs() const { return blockSize; }
    void setFlagForTest(VstInt32 f, bool on) { setFlag(f, on); }

    VstInt32 canDoAnswer = 0;
    VstInt32 canDo(char*) override { return canDoAnswer; }
    bool getEffectName(char* name) override
    {
        std::strcpy(name, "Plain");
        return true;
    }
};

class KeyEditor : public AEffEditor {
public:
    using AEffEditor::AEffEditor;
    VstKeyCode lastKey {};
    bool onKeyDown(VstKeyCode& key) override
    {
        lastKey = key;
        return true;
    }
    bool* deleted = nullptr;
    ~KeyEditor() override
    {
        if (deleted)
            *deleted = true;
    }
};

class AudioEffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = RecordingHost {};
        destroyed = false;
        fx = new PlainEffect(&recordingCallback);
        e = fx->getAeffect();
    }
    void TearDown() override
    {
        if (fx)
            e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0)
    {
        return e->dispatcher(e, op, index, value, ptr, opt);
    }

    PlainEffect* fx = nullptr;
    AEffect* e = nullptr;
};

TEST_F(AudioEffectTest, ConstructorFillsTheRecordWithTheDefaults)
{
    EXPECT_EQ(e->magic, vstFourCC('V', 's', 't', 'P'));
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 3);
    EXPECT_EQ(e->numParams, 4);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, fx);
    EXPECT_EQ(e->uniqueID, vstFourCC('N', 'o', 'E', 'f'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_EQ(fx->sr(), 44100.0f);
    EXPECT_EQ(fx->bs(), 1024);
    EXPECT_EQ(dispatch(effGetProgram), 0);
}

TEST_F(AudioEffectTest, DispatcherAnswersTheFixedIdentities)
{
    EXPECT_EQ(dispatch(effIdentify), vstFourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0);
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategUnknown);
    fx->isSynth(true);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategSynth);
    MidiProgramName mp {};
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram, 0, 0, &mp), -1);
    EXPECT_EQ(dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(dispatch(effCanBeAutomated, 2), 1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(dispatch(effConnectOutput, 1, 0), 1);
    EXPECT_EQ(dispatch(effGetTailSize), 0);
    EXPECT_EQ(dispatch(9999), 0);
}

TEST_F(AudioEffectTest, SetProgramActsOnlyInsideTheProgramRange)
{
    dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(dispatch(effGetProgram), 2);
    dispatch(effSetProgram, 0, 3);
    dispatch(effSetProgram, 0, -1);
    dispatch(effSetProgram, 0, VstIntPtr(1) << 40);
    EXPECT_EQ(dispatch(effGetProgram), 2);

    PlainEffect none(&recordingCallback, 0, 0);
    AEffect* n = none.getAeffect();
    n->dispatcher(n, effSetProgram, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(none.getProgram(), 0);
    n->dispatcher(n, effSetProgram, 0, 5, nullptr, 0.0f);
    EXPECT_EQ(none.getProgram(), 0);
}

TEST_F(AudioEffectTest, SampleRateAndBlockSizeIgnoreValuesThatAreNoRate)
{
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(fx->sr(), 48000.0f);
    for (float bad :
        {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        dispatch(effSetSampleRate, 0, 0, nullptr, bad);
        EXPECT_EQ(fx->sr(), 48000.0f);
    }
    dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(fx->bs(), 256);

    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);
    EXPECT_EQ(fx->bs(), 512);
    EXPECT_EQ(fx->sr(), 96000.0f);
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, -1.0f), 1);
    EXPECT_EQ(fx->bs(), 64);
    EXPECT_EQ(fx->sr(), 96000.0f);
}

TEST_F(AudioEffectTest, CloseDeletesTheObjectAndItsEditor)
{
    bool editorDeleted = false;
    auto* ed = new KeyEditor(fx);
    ed->deleted = &editorDeleted;
    fx->setEditor(ed);
    EXPECT_TRUE(e->flags & effFlagsHasEditor);
    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(editorDeleted);
    fx = nullptr;
}

TEST_F(AudioEffectTest, NullPointersFromTheHostAreAnsweredWithZero)
{
    // Every opcode, with every pointer argument null: nothing may be dereferenced.
    for (VstInt32 op = 2; op < 90; ++op) {
        if (op == effClose || op == effMainsChanged)
            continue;
        const VstIntPtr r = dispatch(op, 0, 0, nullptr, 0.0f);
        if (op == effGetEffectName || op == effCanDo || op == effGetChunk || op == effSetChunk || op == effProcessEvents
            || op == effGetSpeakerArrangement || op == effSetSpeakerArrangement) {
            EXPECT_EQ(r, 0) << "opcode " << op;
        }
    }
    char name[64] = "x";
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, name), 1);
    EXPECT_STREQ(name, "Plain");
    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(0x10);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), nullptr), 0);
    EXPECT_EQ(in, reinterpret_cast<VstSpeakerArrangement*>(0x10));
}

TEST_F(AudioEffectTest, CanDoAnswerIsSignExtended)
{
    fx->canDoAnswer = -1;
    char query[] = "sendVstEvents";
    EXPECT_EQ(dispatch(effCanDo, 0, 0, query), VstIntPtr(-1));
}

TEST_F(AudioEffectTest, EditorKeysCarryCharacterVirtualKeyAndModifiers)
{
    char text[8] = "";
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', VKEY_RETURN, text, 8.0f), 0);  // no editor yet
    auto* ed = new KeyEditor(fx);
    fx->setEditor(ed);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', VKEY_RETURN, nullptr, 9.0f), 1);
    EXPECT_EQ(ed->lastKey.character, 'a');
    EXPECT_EQ(ed->lastKey.virt, VKEY_RETURN);
    EXPECT_EQ(ed->lastKey.modifier, MODIFIER_SHIFT | MODIFIER_CONTROL);
    for (float wild : {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f, -1.0f}) {
        dispatch(effEditKeyDown, 'b', 0, nullptr, wild);
        EXPECT_EQ(ed->lastKey.modifier, wild == -1.0f ? 0xFF : 0) << wild;
    }
    EXPECT_EQ(dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 1), 0);
}

TEST_F(AudioEffectTest, HostCallsSendTheirOpcodesAndArguments)
{
    host.versionAnswer = 0;
    EXPECT_EQ(fx->getMasterVersion(), 1);
    host.versionAnswer = 2400;
    EXPECT_EQ(fx->getMasterVersion(), 2400);

    fx->setParameterAutomated(3, 0.25f);
    ASSERT_NE(host.last(audioMasterAutomate), nullptr);
    EXPECT_EQ(host.last(audioMasterAutomate)->index, 3);
    EXPECT_EQ(host.last(audioMasterAutomate)->opt, 0.25f);

    host.answer = 0;
    EXPECT_TRUE(fx->isInputConnected(1));
    EXPECT_EQ(host.last(audioMasterPinConnected)->value, 1);
    host.answer = 1;
    EXPECT_FALSE(fx->isOutputConnected(0));
    EXPECT_EQ(host.last(audioMasterPinConnected)->value, 0);

    host.answer = 48000;
    EXPECT_EQ(fx->updateSampleRate(), 48000.0);
    host.answer = -5;
    EXPECT_EQ(fx->updateSampleRate(), 48000.0);
    EXPECT_EQ(fx->updateBlockSize(), 1024);
    host.answer = 0;

    EXPECT_EQ(fx->getTimeInfo(kVstTempoValid), nullptr);
    EXPECT_EQ(host.last(audioMasterGetTime)->value, kVstTempoValid);
    fx->beginEdit(7);
    fx->endEdit(8);
    EXPECT_EQ(host.last(audioMasterBeginEdit)->index, 7);
    EXPECT_EQ(host.last(audioMasterEndEdit)->index, 8);
    fx->sizeWindow(300, 200);
    EXPECT_EQ(host.last(audioMasterSizeWindow)->index, 300);
    EXPECT_EQ(host.last(audioMasterSizeWindow)->value, 200);

    const auto before = host.calls.size();
    EXPECT_FALSE(fx->openFileSelector(nullptr));
    EXPECT_FALSE(fx->closeFileSelector(nullptr));
    EXPECT_EQ(host.calls.size(), before);
}

TEST_F(AudioEffectTest, NoHostMeansFallbackAnswers)
{
    PlainEffect alone(nullptr);
    EXPECT_EQ(alone.getMasterVersion(), 1);
    EXPECT_TRUE(alone.isInputConnected(0));
    EXPECT_EQ(alone.getTimeInfo(0), nullptr);
    EXPECT_EQ(alone.wantEvents(1), 0);
    EXPECT_EQ(alone.updateSampleRate(), 44100.0);
    EXPECT_EQ(alone.setParameterAutomated(0, 0.5f), 0);
}

TEST_F(AudioEffectTest, ResumeAsksForMidiOnlyWhenTheEffectReceivesIt)
{
    dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(host.count(audioMasterWantMidi), 0);
    fx->canDoAnswer = 1;
    dispatch(effMainsChanged, 0, 1);
    ASSERT_EQ(host.count(audioMasterWantMidi), 1);
    EXPECT_EQ(host.last(audioMasterWantMidi)->value, 1);
    fx->canDoAnswer = 0;
    fx->isSynth(true);
    dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(host.count(audioMasterWantMidi), 2);
}

TEST_F(AudioEffectTest, FlagSettersSetAndClearTheirBits)
{
    struct Case {
        void (*set)(PlainEffect&, bool);
        VstInt32 bit;
    };
    const Case cases[] = {
        {[](PlainEffect& f, bool s) { f.canProcessReplacing(s); }, effFlagsCanReplacing},
        {[](PlainEffect& f, bool s) { f.canDoubleReplacing(s); }, effFlagsCanDoubleReplacing},
        {[](PlainEffect& f, bool s) { f.programsAreChunks(s); }, effFlagsProgramChunks},
        {[](PlainEffect& f, bool s) { f.hasVu(s); }, effFlagsHasVu},
        {[](PlainEffect& f, bool s) { f.hasClip(s); }, effFlagsHasClip},
        {[](PlainEffect& f, bool s) { f.canMono(s); }, effFlagsCanMono},
        {[](PlainEffect& f, bool s) { f.isSynth(s); }, effFlagsIsSynth},
        {[](PlainEffect& f, bool s) { f.noTail(s); }, effFlagsNoSoundInStop},
        {[](PlainEffect& f, bool s) { f.hasExternalBuffer(s); }, effFlagsExtHasBuffer},
        {[](PlainEffect& f, bool s) { f.wantAsyncOperation(s); }, effFlagsExtIsAsync},
    };
    for (const auto& c : cases) {
        c.set(*fx, true);
        EXPECT_TRUE(e->flags & c.bit) << c.bit;
        c.set(*fx, false);
        EXPECT_FALSE(e->flags & c.bit) << c.bit;
    }
    fx->setUniqueID(vstFourCC('T', 'E', 'S', 'T'));
    fx->setNumInputs(2);
    fx->setInitialDelay(64);
    EXPECT_EQ(e->uniqueID, 0x54455354);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->initialDelay, 64);
}

TEST_F(AudioEffectTest, DefaultProcessingWritesSilenceAndDefaultTextsAreEmpty)
{
    std::vector<float> l(64, 3.0f), r(64, 3.0f);
    float* outs[] = {l.data(), r.data()};
    e->processReplacing(e, nullptr, outs, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(l[i] == 0.0f && r[i] == 0.0f);
    e->process(e, nullptr, outs, 64);  // accumulating default adds nothing
    EXPECT_EQ(l[10], 0.0f);

    char text[16] = "junk";
    dispatch(effGetParamDisplay, 1, 0, text);
    EXPECT_STREQ(text, "");
    std::strcpy(text, "junk");
    dispatch(effGetProgramName, 0, 0, text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(e->getParameter(e, 2), 0.0f);
    EXPECT_EQ(dispatch(effGetVu), 0);
}

TEST(AudioEffectText, FormattersKeepTheirRangesAndBounds)
{
    PlainEffect fx(nullptr);
    char t[32];
    fx.dB2string(0.0f, t, 8);
    EXPECT_STREQ(t, "-oo");
    fx.dB2string(1.0f, t, 8);
    EXPECT_EQ(std::stof(t), 0.0f);
    fx.dB2string(10.0f, t, 8);
    EXPECT_NEAR(std::stof(t), 20.0f, 1e-4f);
    fx.int2string(100000000, t, 8);
    EXPECT_STREQ(t, "Huge!");
    fx.int2string(-42, t, 8);
    EXPECT_STREQ(t, "-42");
    fx.int2string(99999999, t, 8);
    EXPECT_STREQ(t, "99999999");
    fx.float2string(1.0e9f, t, 8);
    EXPECT_STREQ(t, "Huge!");
    fx.float2string(-1.0e8f, t, 8);
    EXPECT_STREQ(t, "Huge!");
    fx.float2string(3.14159265f, t, 8);
    EXPECT_LE(std::strlen(t), 8u);
    EXPECT_NEAR(std::stof(t), 3.14159f, 1e-4f);
    fx.float2string(-1234567.0f, t, 4);
    EXPECT_LE(std::strlen(t), 4u);
    fx.Hz2string(0.0f, t, 8);
    EXPECT_EQ(std::stof(t), 0.0f);
    fx.Hz2string(441.0f, t, 8);
    EXPECT_NEAR(std::stof(t), 100.0f, 1e-3f);
    fx.ms2string(44100.0f, t, 8);
    EXPECT_NEAR(std::stof(t), 1000.0f, 1e-3f);
}

TEST(SpeakerArrangements, AllocateMatchAndFreeBeyondEightSpeakers)
{
    PlainEffect fx(nullptr);
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(fx.allocateArrangement(&from, 12));
    from->type = kSpeakerArrUserDefined;
    VstSpeakerProperties* speakers = from->speakers;
    for (int i = 0; i < 12; ++i) {
        speakers[i].type = i;
        speakers[i].azimuth = static_cast<float>(i) * 0.5f;
        std::memset(speakers[i].name, 'n', sizeof speakers[i].name);  // no terminator
    }
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(fx.matchArrangement(&to, from));
    ASSERT_NE(to, nullptr);
    EXPECT_EQ(to->numChannels, 12);
    EXPECT_EQ(to->type, kSpeakerArrUserDefined);
    VstSpeakerProperties* copied = to->speakers;
    EXPECT_EQ(copied[11].type, 11);
    EXPECT_EQ(copied[11].azimuth, 5.5f);
    EXPECT_EQ(std::strlen(copied[11].name), 63u);
    EXPECT_TRUE(fx.deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    EXPECT_TRUE(fx.deallocateArrangement(&from));
    EXPECT_FALSE(fx.allocateArrangement(nullptr, 2));
    EXPECT_FALSE(fx.matchArrangement(&to, nullptr));
}

}  // namespace
