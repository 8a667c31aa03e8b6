// The host side through the real loader: the recording stub plug-in shows what
// the host sends, opcode by opcode; the built Tambrell.so shows that audio
// goes through a real plug-in.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/vst/host/HostedPlugin.h"
#include "tests/vstmodule/RecordingStub.h"

namespace {

struct Requests : HostedPlugin::Listener {
    void idleRequested(bool restart) override { idle.push_back(restart); }
    void editorSizeRequested(int width, int height) override { sizes.emplace_back(width, height); }
    std::vector<bool> idle;
    std::vector<std::pair<int, int>> sizes;
};

class StubHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        info = loadPluginModule(TB_RECORDING_VST_MODULE, 512, 48000.0, &error);
        ASSERT_TRUE(info) << error;
        auto find = reinterpret_cast<RecordingStubState* (*)()>(info->module->symbol("tbRecordingStub"));
        ASSERT_NE(find, nullptr);
        stub = find();
        *stub = RecordingStubState {};
    }
    void create()
    {
        plugin = HostedPlugin::create(*info, &requests);
        ASSERT_TRUE(plugin);
    }
    std::vector<VstInt32> opcodesSince(int from) const
    {
        std::vector<VstInt32> out;
        for (int i = from; i < stub->callCount; ++i)
            out.push_back(stub->calls[i].opcode);
        return out;
    }
    const RecordedCall* find(VstInt32 opcode, int from = 0) const
    {
        for (int i = from; i < stub->callCount; ++i)
            if (stub->calls[i].opcode == opcode)
                return &stub->calls[i];
        return nullptr;
    }
    // One block of two channels filled with value; returns the channels.
    std::vector<std::vector<float>> render(float value, int frames, int channels = 2)
    {
        std::vector<std::vector<float>> buffer(channels, std::vector<float>(frames, value));
        std::vector<float*> pointers;
        for (auto& c : buffer)
            pointers.push_back(c.data());
        plugin->render(pointers.data(), channels, 0, frames, frames);
        return buffer;
    }

    std::unique_ptr<PluginLoadInfo> info;
    RecordingStubState* stub = nullptr;
    Requests requests;
    std::unique_ptr<HostedPlugin> plugin;
};

TEST_F(StubHostTest, OpeningSequenceRunsOnceAndRestartsWithoutOpen)
{
    create();
    EXPECT_TRUE(opcodesSince(0).empty());
    plugin->prepareToPlay(512, 48000.0);
    const std::vector<VstInt32> first
        = {effIdentify, effSetSampleRate, effSetBlockSize, effOpen, effSetProgram, effConnectInput, effConnectInput,
            effConnectOutput, effConnectOutput, effGetProgramNameIndexed, effSetSampleRate, effSetBlockSize,
            effMainsChanged, kRecordedSetParameter, kRecordedSetParameter, effStartProcess};
    EXPECT_EQ(opcodesSince(0), first);
    EXPECT_EQ(stub->calls[1].opt, 48000.0f);
    EXPECT_EQ(stub->calls[2].value, 512);
    EXPECT_EQ(stub->calls[5].index, 1);  // inputs connected from the last down
    EXPECT_EQ(stub->calls[12].value, 1);
    // No editor: parameter 0 is nudged to 1 and back to 0.
    EXPECT_EQ(stub->calls[13].opt, 1.0f);
    EXPECT_EQ(stub->calls[14].opt, 0.0f);

    plugin->releaseResources();
    const int stopped = stub->callCount;
    EXPECT_EQ(opcodesSince(stopped - 2), (std::vector<VstInt32> {effStopProcess, effMainsChanged}));
    EXPECT_EQ(stub->calls[stopped - 1].value, 0);

    plugin->prepareToPlay(8, 44100.0);  // block size 8 is sent as 16
    EXPECT_EQ(opcodesSince(stopped),
        (std::vector<VstInt32> {effSetSampleRate, effSetBlockSize, effMainsChanged, kRecordedSetParameter,
            kRecordedSetParameter, effStartProcess}));
    EXPECT_EQ(stub->calls[stopped + 1].value, 16);

    plugin.reset();
    EXPECT_EQ(stub->calls[stub->callCount - 1].opcode, effClose);
}

TEST_F(StubHostTest, AnswersDuringTheEntryAndAfterwards)
{
    create();
    EXPECT_EQ(stub->versionInMain, 4096);
    EXPECT_EQ(stub->canDoInMain, 1);
    EXPECT_EQ(stub->canDoWrongInMain, 0);
    plugin->prepareToPlay(512, 48000.0);
    EXPECT_EQ(stub->versionAfter, 4096);
    EXPECT_EQ(stub->canDoAfter, 1);
    ASSERT_NE(stub->directoryAfter, nullptr);
    EXPECT_EQ(std::string(stub->directoryAfter), info->libraryFolder);

    AEffect* e = plugin->effect();
    auto* time = reinterpret_cast<VstTimeInfo*>(HostedPlugin::hostCallback(e, audioMasterGetTime, 0, 0, nullptr, 0));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->flags, kVstNanosValid);
    EXPECT_EQ(time->sampleRate, 48000.0);
    EXPECT_EQ(HostedPlugin::hostCallback(e, audioMasterGetSampleRate, 0, 0, nullptr, 0), 48000);
    EXPECT_EQ(HostedPlugin::hostCallback(e, audioMasterSizeWindow, 300, 200, nullptr, 0), 1);
    HostedPlugin::hostCallback(e, audioMasterNeedIdle, 0, 0, nullptr, 0);
    EXPECT_EQ(requests.sizes, (std::vector<std::pair<int, int>> {{300, 200}}));
    EXPECT_EQ(requests.idle, std::vector<bool> {true});
    char product[128] = {};
    HostedPlugin::hostCallback(e, audioMasterGetProductString, 0, 0, product, 0);
    EXPECT_STREQ(product, "Tambrell");
}

TEST_F(StubHostTest, UniqueIdComesFromTheFileNameWhenThePluginHasNone)
{
    create();
    EXPECT_EQ(info->uniqueId, 1286128593);  // h = 31h + c over "RecordingVstPlugin.so"
    plugin.reset();
    stub->uniqueID = 1234;
    create();
    EXPECT_EQ(info->uniqueId, 1234);
}

TEST_F(StubHostTest, BlockMidiIsClampedCountedAndShortMessagesKeepTheirLength)
{
    create();
    plugin->prepareToPlay(256, 48000.0);
    render(0.0f, 256);
    EXPECT_EQ(stub->lastNumEvents, 0);  // sent even with nothing in it

    const unsigned char note[] = {0x90, 60, 100};
    const unsigned char program[] = {0xC0, 5, 0x7f};  // only two bytes are the message
    const unsigned char sysex[] = {0xF0, 1, 2, 3, 0xF7};
    plugin->beginBlockMidi();
    plugin->addBlockMidi(400, note, 3, 256);
    plugin->addBlockMidi(-3, note, 3, 256);
    plugin->addBlockMidi(10, sysex, 5, 256);
    plugin->addBlockMidi(20, program, 2, 256);
    render(0.0f, 256);
    ASSERT_EQ(stub->lastNumEvents, 3);
    EXPECT_EQ(stub->deltas[0], 255);
    EXPECT_EQ(stub->deltas[1], 0);
    EXPECT_EQ(stub->deltas[2], 20);
    EXPECT_EQ(stub->bytes[2][0], 0xC0);
    EXPECT_EQ(stub->bytes[2][1], 5);
    EXPECT_EQ(stub->bytes[2][2], 0);

    plugin->beginBlockMidi();
    for (int i = 0; i < 300; ++i)
        plugin->addBlockMidi(i % 256, note, 3, 256);
    render(0.0f, 256);
    ASSERT_EQ(stub->lastNumEvents, 300);
    EXPECT_EQ(stub->deltas[299], 299 % 256);
    // Regression: byteSize counts the event without its type and byteSize
    // fields (24), for the prepared entries and for those grown later.
    EXPECT_EQ(stub->byteSizes[0], 24);
    EXPECT_EQ(stub->byteSizes[299], 24);
}

TEST_F(StubHostTest, ParametersVolumeAndSilenceWhileStopped)
{
    create();
    // Before prepareToPlay a block is silence and never reaches the plug-in.
    EXPECT_EQ(render(0.5f, 64)[0][10], 0.0f);
    EXPECT_EQ(stub->processCalls, 0);

    plugin->prepareToPlay(64, 48000.0);
    const int before = stub->callCount;
    plugin->setParameter(2, 0.0f);  // the value it already has
    EXPECT_EQ(stub->callCount, before);
    plugin->setParameter(2, 0.75f);
    EXPECT_EQ(opcodesSince(before), std::vector<VstInt32> {kRecordedSetParameter});
    EXPECT_EQ(plugin->getParameter(2), 0.75f);
    EXPECT_EQ(plugin->getParameter(99), 0.0f);

    EXPECT_EQ(render(0.25f, 64)[1][63], 0.25f);
    plugin->setVolume(0);
    EXPECT_EQ(render(0.25f, 64)[0][5], 0.0f);
    plugin->setVolume(125);
    EXPECT_FLOAT_EQ(render(0.25f, 64)[1][5], 0.3125f);

    plugin->releaseResources();
    const int calls = stub->processCalls;
    EXPECT_EQ(render(0.5f, 64)[0][0], 0.0f);
    EXPECT_EQ(stub->processCalls, calls);
    // A negative count from a device is an empty block, not a fill that runs
    // past the channel's end.
    std::vector<float> channel(8, 0.5f);
    float* pointers[1] = {channel.data()};
    plugin->render(pointers, 1, 0, -4, 8);
    EXPECT_EQ(channel[0], 0.5f);
}

TEST_F(StubHostTest, MonoDeviceGetsTheFirstOutputAndASilentSecondInput)
{
    create();
    plugin->prepareToPlay(64, 48000.0);
    EXPECT_EQ(render(0.5f, 64, 1)[0][3], 0.5f);
    EXPECT_EQ(stub->processCalls, 1);
    EXPECT_TRUE(stub->spareInputsSilent);
}

// Regression: a plug-in without replacing and without a process entry was
// called through a null pointer, and counts grown past the pointer arrays
// after creation had the accumulating path write past their end.
TEST_F(StubHostTest, AccumulatingPathRefusesANullEntryAndClampsTheCounts)
{
    stub->flags = 0;
    stub->nullProcess = true;
    std::string error;
    EXPECT_FALSE(HostedPlugin::create(*info, nullptr, &error));
    EXPECT_NE(error.find("process"), std::string::npos) << error;

    stub->nullProcess = false;
    create();
    plugin->prepareToPlay(64, 48000.0);
    EXPECT_EQ(render(0.5f, 64)[1][3], 0.5f);
    plugin->effect()->numInputs = plugin->effect()->numOutputs = 200;
    EXPECT_EQ(render(0.5f, 64)[0][3], 0.5f);
    EXPECT_EQ(stub->processCalls, 2);
    plugin->effect()->numInputs = plugin->effect()->numOutputs = 2;
    plugin->effect()->process = nullptr;
    EXPECT_EQ(render(0.5f, 64)[0][3], 0.0f);
    EXPECT_EQ(stub->processCalls, 2);
}

// Regression: every short message the plug-in sent went out as three bytes.
TEST_F(StubHostTest, OutgoingMidiKeepsEachMessagesLength)
{
    create();
    VstMidiEvent events[4] {};
    const unsigned char data[4][3] = {{0xC3, 7, 0}, {0x93, 60, 90}, {0xD0, 40, 0}, {0xF8, 0, 0}};
    for (int pair = 0; pair < 2; ++pair) {
        VstEvents list {};  // room for two
        list.numEvents = 2;
        for (int i = 0; i < 2; ++i) {
            VstMidiEvent& event = events[2 * pair + i];
            event.type = kVstMidiType;
            std::memcpy(event.midiData, data[2 * pair + i], 3);
            list.events[i] = reinterpret_cast<VstEvent*>(&event);
        }
        HostedPlugin::hostCallback(plugin->effect(), audioMasterProcessEvents, 0, 0, &list, 0.0f);
    }
    std::vector<int> sizes;
    plugin->takeOutgoingMidi([&](const unsigned char*, int size, int) { sizes.push_back(size); });
    EXPECT_EQ(sizes, (std::vector<int> {2, 3, 2, 1}));
}

TEST_F(StubHostTest, RefusedShapesAndEmptyChunks)
{
    stub->numInputs = 65;  // more than the pointer arrays hold
    std::string error;
    EXPECT_FALSE(HostedPlugin::create(*info, nullptr, &error));
    EXPECT_NE(error.find("64"), std::string::npos) << error;
    EXPECT_EQ(stub->calls[stub->callCount - 1].opcode, effClose);

    stub->numInputs = 2;
    create();
    EXPECT_EQ(plugin->getChunk(false).size(), 8u);
    stub->chunkNull = true;
    EXPECT_TRUE(plugin->getChunk(false).empty());
    stub->chunkNull = false;
    stub->chunkSize = -4;
    EXPECT_TRUE(plugin->getChunk(true).empty());
}

TEST(LoaderTest, MissingLibraryReportsTheLoadersText)
{
    std::string error;
    EXPECT_FALSE(loadPluginModule("/nonexistent/Tambrell.so", 0, 0.0, &error));
    EXPECT_NE(error.find("/nonexistent/Tambrell.so"), std::string::npos) << error;
}

TEST(TambrellHostTest, DefaultProgramHalvesASine)
{
    std::string error;
    auto info = loadPluginModule(std::string(TB_MODULE_DIR) + "/Tambrell.so", 0, 0.0, &error);
    ASSERT_TRUE(info) << error;
    auto plugin = HostedPlugin::create(*info, nullptr, &error);
    ASSERT_TRUE(plugin) << error;
    EXPECT_EQ(info->uniqueId, vstFourCC('T', 'B', 'R', '1'));
    plugin->prepareToPlay(512, 44100.0);
    std::vector<float> left(512), right(512);
    float peak = 0.0f;
    for (int block = 0; block < 40; ++block) {
        for (int i = 0; i < 512; ++i)
            left[i] = right[i] = 0.25f * std::sin(2.0f * 3.14159265f * 441.0f * (block * 512 + i) / 44100.0f);
        float* channels[2] = {left.data(), right.data()};
        plugin->render(channels, 2, 0, 512, 512);
        if (block >= 30)
            for (float v : left)
                peak = std::max(peak, std::fabs(v));
    }
    EXPECT_NEAR(peak, 0.125f, 0.01f);
    plugin->releaseResources();
}

}  // namespace
