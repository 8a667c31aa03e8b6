// The settings page's channel mapping on a device manager with two made-up
// sound cards, so the combo boxes can be read and chosen without hardware.

#include <gtest/gtest.h>

#include <juce_audio_utils/juce_audio_utils.h>

#include "host/settings/ChannelMapping.h"

namespace {

class FakeCard : public juce::AudioIODevice {
public:
    FakeCard(const juce::String& name, juce::StringArray ins, juce::StringArray outs)
        : AudioIODevice(name, "Fake")
        , ins_(std::move(ins))
        , outs_(std::move(outs))
    {
    }
    juce::StringArray getOutputChannelNames() override { return outs_; }
    juce::StringArray getInputChannelNames() override { return ins_; }
    juce::Array<double> getAvailableSampleRates() override { return {48000.0}; }
    juce::Array<int> getAvailableBufferSizes() override { return {256}; }
    int getDefaultBufferSize() override { return 256; }
    juce::String open(const juce::BigInteger&, const juce::BigInteger&, double, int) override
    {
        open_ = true;
        return {};
    }
    void close() override { open_ = false; }
    bool isOpen() override { return open_; }
    void start(juce::AudioIODeviceCallback*) override { }
    void stop() override { }
    bool isPlaying() override { return false; }
    juce::String getLastError() override { return {}; }
    int getCurrentBufferSizeSamples() override { return 256; }
    double getCurrentSampleRate() override { return 48000.0; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return 3; }
    juce::BigInteger getActiveInputChannels() const override { return 3; }
    int getOutputLatencyInSamples() override { return 0; }
    int getInputLatencyInSamples() override { return 0; }

private:
    juce::StringArray ins_, outs_;
    bool open_ = false;
};

class FakeCards : public juce::AudioIODeviceType {
public:
    FakeCards()
        : AudioIODeviceType("Fake")
    {
    }
    void scanForDevices() override { }
    juce::StringArray getDeviceNames(bool) const override { return {"Card A", "Card B"}; }
    int getDefaultDeviceIndex(bool) const override { return 0; }
    int getIndexOfDevice(juce::AudioIODevice* d, bool) const override
    {
        return getDeviceNames(false).indexOf(d->getName());
    }
    bool hasSeparateInputsAndOutputs() const override { return false; }
    juce::AudioIODevice* createDevice(const juce::String& out, const juce::String&) override
    {
        if (out == "Card B")
            return new FakeCard(out, {"B in"}, {"B out 1", "B out 2"});
        return new FakeCard(out, {"A in 1", "A in 2", "A in 3"}, {"A out 1", "A out 2"});
    }
};

juce::StringArray itemsOf(const juce::ComboBox& box)
{
    juce::StringArray items;
    for (int i = 0; i < box.getNumItems(); ++i)
        items.add(box.getItemText(i));
    return items;
}

TEST(ChannelMapping, CombosOfferNoneAndTheDeviceChannelsAndFollowTheCard)
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::AudioDeviceManager devices;
    devices.addAudioDeviceType(std::make_unique<FakeCards>());
    devices.setCurrentAudioDeviceType("Fake", true);
    ASSERT_EQ(devices.initialise(2, 2, nullptr, true, "Card A"), "");
    ASSERT_NE(devices.getCurrentAudioDevice(), nullptr);

    juce::ToneGeneratorAudioSource tone;
    juce::ChannelRemappingAudioSource remapper(&tone, false);
    remapper.setNumberOfChannelsToProduce(2);
    remapper.setInputChannelMapping(0, 2);
    remapper.setInputChannelMapping(1, 7);  // beyond the card: shown as none
    remapper.setOutputChannelMapping(0, 1);
    ChannelRemappingComponent page(remapper, nullptr, devices, {"Left In", "Right In"}, {"Left Out", "Right Out"});

    ASSERT_EQ(page.inputBoxes().size(), 2);
    ASSERT_EQ(page.outputBoxes().size(), 2);
    EXPECT_EQ(itemsOf(*page.inputBoxes()[0]), juce::StringArray({"<< none >>", "A in 1", "A in 2", "A in 3"}));
    EXPECT_EQ(page.inputBoxes()[0]->getText(), "A in 3");
    EXPECT_EQ(page.inputBoxes()[1]->getText(), "<< none >>");
    EXPECT_EQ(page.outputBoxes()[0]->getText(), "A out 2");

    // Choosing sets the remapper, "<< none >>" unmaps.
    page.inputBoxes()[1]->setSelectedItemIndex(1, juce::sendNotificationSync);
    EXPECT_EQ(remapper.getRemappedInputChannel(1), 0);
    page.outputBoxes()[0]->setSelectedItemIndex(0, juce::sendNotificationSync);
    EXPECT_EQ(remapper.getRemappedOutputChannel(0), -1);

    // A change message that keeps the card keeps the mapping; another card
    // starts again from channel i to channel i with its own names.
    page.changeListenerCallback(&devices);
    EXPECT_EQ(remapper.getRemappedInputChannel(0), 2);
    juce::AudioDeviceManager::AudioDeviceSetup setup = devices.getAudioDeviceSetup();
    setup.outputDeviceName = setup.inputDeviceName = "Card B";
    ASSERT_EQ(devices.setAudioDeviceSetup(setup, true), "");
    page.changeListenerCallback(&devices);
    EXPECT_EQ(remapper.getRemappedInputChannel(0), 0);
    EXPECT_EQ(remapper.getRemappedOutputChannel(1), 1);
    EXPECT_EQ(itemsOf(*page.outputBoxes()[1]), juce::StringArray({"<< none >>", "B out 1", "B out 2"}));
    EXPECT_EQ(page.inputBoxes()[1]->getText(), "<< none >>");
}

}  // namespace
