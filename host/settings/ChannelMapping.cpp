#include "host/settings/ChannelMapping.h"

#include "host/plugin/OVPlugin.h"

namespace {

juce::String currentDeviceName(juce::AudioDeviceManager& devices)
{
    juce::AudioIODevice* device = devices.getCurrentAudioDevice();
    return device ? device->getName() : juce::String();
}

}  // namespace

void resetChannelMapping(
    juce::AudioDeviceManager& devices, juce::ChannelRemappingAudioSource& remapper, OVPlugin* plugin)
{
    juce::AudioIODevice* device = devices.getCurrentAudioDevice();
    const int deviceInputs = device ? device->getInputChannelNames().size() : 0;
    const int deviceOutputs = device ? device->getOutputChannelNames().size() : 0;
    const int inputs = plugin ? plugin->host().getNumInputChannels() : 0;
    const int outputs = plugin ? plugin->host().getNumOutputChannels() : 0;
    remapper.setNumberOfChannelsToProduce(std::max(inputs, outputs));
    remapper.clearAllMappings();
    for (int i = 0; i < deviceInputs; ++i)
        remapper.setInputChannelMapping(i, i);
    for (int i = 0; i < deviceOutputs; ++i)
        remapper.setOutputChannelMapping(i, i);
}

ChannelRemappingComponent::ChannelRemappingComponent(juce::ChannelRemappingAudioSource& remapper, OVPlugin* plugin,
    juce::AudioDeviceManager& devices, const juce::StringArray& inputNames, const juce::StringArray& outputNames)
    : remapper_(remapper)
    , plugin_(plugin)
    , devices_(devices)
    // The mapping was set up for the device in use: a change message that
    // keeps the device keeps the mapping.
    , deviceName_(currentDeviceName(devices))
    , inputNames_(inputNames)
    , outputNames_(outputNames)
{
    devices_.addChangeListener(this);
    rebuildMappingRows();
}

ChannelRemappingComponent::~ChannelRemappingComponent()
{
    devices_.removeChangeListener(this);
    removeAllChildren();
    labels_.clear();
}

int ChannelRemappingComponent::getRequiredHeight() const
{
    const int in = inputBoxes_.isEmpty() ? 0 : inputBoxes_.getLast()->getBottom();
    const int out = outputBoxes_.isEmpty() ? 0 : outputBoxes_.getLast()->getBottom();
    return std::max(in, out) + 10;
}

void ChannelRemappingComponent::paint(juce::Graphics& g)
{
    g.setColour(findColour(juce::Label::textColourId));
    g.setFont(juce::Font(14.0f, juce::Font::bold));
    const int half = getWidth() / 2;
    g.drawText("Input channel mappings:", 0, 0, half, 18, juce::Justification::centred, true);
    g.drawText("Output channel mappings:", half, 0, half, 18, juce::Justification::centred, true);
}

void ChannelRemappingComponent::resized()
{
    const int w = getWidth();
    for (int i = 0; i < inputBoxes_.size(); ++i)
        inputBoxes_[i]->setBounds(juce::roundToInt(w * 0.2), 24 + 22 * i, juce::roundToInt(w * 0.28), 20);
    for (int i = 0; i < outputBoxes_.size(); ++i)
        outputBoxes_[i]->setBounds(juce::roundToInt(w * 0.7), 24 + 22 * i, juce::roundToInt(w * 0.28), 20);
}

void ChannelRemappingComponent::comboBoxChanged(juce::ComboBox* box)
{
    const int id = box->getSelectedId();
    const int channel = id >= 2 ? id - 2 : -1;
    if (const int i = inputBoxes_.indexOf(box); i >= 0)
        remapper_.setInputChannelMapping(i, channel);
    else if (const int o = outputBoxes_.indexOf(box); o >= 0)
        remapper_.setOutputChannelMapping(o, channel);
}

void ChannelRemappingComponent::changeListenerCallback(juce::ChangeBroadcaster*)
{
    const juce::String name = currentDeviceName(devices_);
    if (name != deviceName_) {
        deviceName_ = name;
        resetChannelMapping(devices_, remapper_, plugin_);
    }
    rebuildMappingRows();
}

juce::ComboBox* ChannelRemappingComponent::createMappingComboBox(
    const juce::String& name, const juce::StringArray& deviceChannels)
{
    auto* box = new juce::ComboBox(name);
    box->addItem("<< none >>", 1);
    box->addSeparator();
    for (int k = 0; k < deviceChannels.size(); ++k)
        box->addItem(deviceChannels[k], k + 2);
    box->addListener(this);
    addAndMakeVisible(box);
    auto* label = labels_.add(new juce::Label({}, name + ":"));
    addAndMakeVisible(label);
    label->attachToComponent(box, true);
    return box;
}

void ChannelRemappingComponent::rebuildMappingRows()
{
    removeAllChildren();
    labels_.clear();
    inputBoxes_.clear();
    outputBoxes_.clear();
    juce::AudioIODevice* device = devices_.getCurrentAudioDevice();
    const juce::StringArray deviceInputs = device ? device->getInputChannelNames() : juce::StringArray();
    const juce::StringArray deviceOutputs = device ? device->getOutputChannelNames() : juce::StringArray();
    auto select = [](juce::ComboBox* box, int channel, int available) {
        box->setSelectedId(channel >= 0 && channel < available ? channel + 2 : 1, juce::dontSendNotification);
    };
    for (int i = 0; i < inputNames_.size(); ++i) {
        auto* box = inputBoxes_.add(createMappingComboBox(inputNames_[i], deviceInputs));
        select(box, remapper_.getRemappedInputChannel(i), deviceInputs.size());
    }
    for (int o = 0; o < outputNames_.size(); ++o) {
        auto* box = outputBoxes_.add(createMappingComboBox(outputNames_[o], deviceOutputs));
        select(box, remapper_.getRemappedOutputChannel(o), deviceOutputs.size());
    }
    resized();
}

CombinedAudioPropertiesPage::CombinedAudioPropertiesPage(
    juce::AudioDeviceManager& devices, juce::ChannelRemappingAudioSource& remapper, OVPlugin* plugin)
{
    selector_
        = std::make_unique<juce::AudioDeviceSelectorComponent>(devices, 256, 256, 256, 256, true, true, false, false);
    addAndMakeVisible(*selector_);
    juce::StringArray inputs;
    juce::StringArray outputs;
    const int numInputs = plugin ? plugin->host().getNumInputChannels() : 0;
    const int numOutputs = plugin ? plugin->host().getNumOutputChannels() : 0;
    for (int i = 0; i < numInputs; ++i) {
        const juce::String name(plugin->host().getInputChannelName(i));
        inputs.add(name.isNotEmpty() ? name : "Input " + juce::String(i + 1));
    }
    for (int o = 0; o < numOutputs; ++o) {
        const juce::String name(plugin->host().getOutputChannelName(o));
        outputs.add(name.isNotEmpty() ? name : "Output " + juce::String(o + 1));
    }
    mapping_ = std::make_unique<ChannelRemappingComponent>(remapper, plugin, devices, inputs, outputs);
    addAndMakeVisible(*mapping_);
}

void CombinedAudioPropertiesPage::resized()
{
    const int required = mapping_->getRequiredHeight();
    mapping_->setBounds(0, getHeight() - required, getWidth(), required);
    selector_->setBounds(0, 0, getWidth(), mapping_->getY() - 8);
}
