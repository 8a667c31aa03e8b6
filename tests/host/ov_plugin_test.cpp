// Kelbrin's JUCE side of the plug-in: the audio source the device pulls from
// and the idle timer, with the recording stub plug-in behind them.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/plugin/OVPlugin.h"
#include "host/plugin/OVPluginWindow.h"
#include "tests/vstmodule/RecordingStub.h"

namespace {

class OVPluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        info = loadPluginModule(TB_RECORDING_VST_MODULE, 256, 48000.0);
        ASSERT_TRUE(info);
        stub = reinterpret_cast<RecordingStubState* (*)()>(info->module->symbol("tbRecordingStub"))();
        *stub = RecordingStubState {};
        plugin = OVPlugin::createPluginInstance(*info);
        ASSERT_TRUE(plugin);
    }
    int count(VstInt32 opcode) const
    {
        int n = 0;
        for (int i = 0; i < stub->callCount; ++i)
            n += stub->calls[i].opcode == opcode ? 1 : 0;
        return n;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    std::unique_ptr<PluginLoadInfo> info;
    RecordingStubState* stub = nullptr;
    std::unique_ptr<OVPlugin> plugin;
};

TEST_F(OVPluginTest, DeviceBlocksGoThroughThePluginWithTheVolume)
{
    juce::AudioBuffer<float> buffer(2, 256);
    const juce::AudioSourceChannelInfo block(&buffer, 0, 256);
    buffer.clear();
    buffer.setSample(0, 10, 0.5f);
    plugin->getNextAudioBlock(block);  // not prepared: silence, no call
    EXPECT_EQ(buffer.getSample(0, 10), 0.0f);
    EXPECT_EQ(stub->processCalls, 0);

    plugin->prepareToPlay(256, 48000.0);
    plugin->setVolume(50);
    buffer.setSample(0, 10, 0.5f);
    plugin->getNextAudioBlock(block);
    EXPECT_EQ(buffer.getSample(0, 10), 0.25f);
    EXPECT_EQ(stub->lastNumEvents, 0);
    plugin->releaseResources();
    EXPECT_EQ(count(effStopProcess), 1);
}

// Regression: a refused plug-in crashed the program in the half-built
// instance's destructor instead of leaving the window without a plug-in.
TEST_F(OVPluginTest, RefusedPluginGivesNoInstanceAndAReason)
{
    plugin.reset();
    stub->numInputs = 65;
    juce::String error;
    EXPECT_EQ(OVPlugin::createPluginInstance(*info, &error), nullptr);
    EXPECT_TRUE(error.contains("64")) << error;
    stub->numInputs = 2;
}

TEST_F(OVPluginTest, IdleAskedFromAnotherThreadStartsTheTimerOnTheMessageThread)
{
    AEffect* e = plugin->host().effect();
    std::thread audio([e] { HostedPlugin::hostCallback(e, audioMasterNeedIdle, 0, 0, nullptr, 0.0f); });
    audio.join();
    EXPECT_FALSE(plugin->isTimerRunning());  // posted, not started on that thread
    auto* messages = juce::MessageManager::getInstance();
    messages->runDispatchLoopUntil(50);
    EXPECT_TRUE(plugin->isTimerRunning());
    // The stub answers effIdle with 0, so the first tick stops the timer.
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         plugin->isTimerRunning() && std::chrono::steady_clock::now() < until;)
        messages->runDispatchLoopUntil(20);
    EXPECT_FALSE(plugin->isTimerRunning());
    EXPECT_GE(count(effIdle), 1);
}

// Regression: each request from the audio thread posted a message of its
// own, so a plug-in that asked every block flooded the message queue.
TEST_F(OVPluginTest, RequestsFromAnotherThreadWaitOneOfEachKindAtATime)
{
    struct Resizes : juce::ComponentListener {
        void componentMovedOrResized(juce::Component&, bool, bool resized) override { count += resized ? 1 : 0; }
        int count = 0;
    } resizes;
    OVPluginWindow* window = plugin->createEditorWindow();
    window->addComponentListener(&resizes);
    AEffect* e = plugin->host().effect();
    std::thread audio([e] {
        for (int i = 0; i < 1000; ++i) {
            HostedPlugin::hostCallback(e, audioMasterSizeWindow, 400 + i % 2 * 100, 300, nullptr, 0.0f);
            HostedPlugin::hostCallback(e, audioMasterNeedIdle, 0, 0, nullptr, 0.0f);
        }
    });
    audio.join();
    juce::MessageManager::getInstance()->runDispatchLoopUntil(50);
    EXPECT_EQ(resizes.count, 1);
    EXPECT_EQ(window->getWidth(), 500);  // the latest request
    window->removeComponentListener(&resizes);
}

}  // namespace
