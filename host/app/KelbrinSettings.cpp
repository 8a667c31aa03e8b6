#include "host/app/KelbrinSettings.h"

juce::PropertiesFile::Options kelbrinSettingsOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Tambrell";
    options.filenameSuffix = "settings";
    options.folderName = "";
    // On Linux JUCE puts it at ~/.<applicationName>/<name>.<suffix>.
    options.osxLibrarySubFolder = "Application Support";
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.millisecondsBeforeSaving = 1000;
    return options;
}

std::unique_ptr<juce::PropertiesFile> openKelbrinSettings(const juce::File& folder)
{
    const auto options = kelbrinSettingsOptions();
    if (folder == juce::File())
        return std::make_unique<juce::PropertiesFile>(options);
    return std::make_unique<juce::PropertiesFile>(folder.getChildFile("Tambrell.settings"), options);
}

WindowPosition readWindowPosition(const juce::PropertiesFile& settings)
{
    int x = settings.getIntValue(settingskey::kWindowX, 100);
    int y = settings.getIntValue(settingskey::kWindowY, 100);
    if (x < 0 || x > 924)
        x = 100;
    if (y < 0 || y > 668)
        y = 100;
    return {x, y};
}

bool restoreChannelMapping(
    const juce::PropertiesFile& settings, juce::ChannelRemappingAudioSource& remapper, const juce::String& deviceName)
{
    const std::unique_ptr<juce::XmlElement> saved = settings.getXmlValue(settingskey::kChannelMappingState);
    if (!saved || deviceName.isEmpty() || settings.getValue(settingskey::kChannelMappingDeviceName) != deviceName)
        return false;
    remapper.restoreFromXml(*saved);
    return true;
}

void saveChannelMapping(
    juce::PropertiesFile& settings, juce::ChannelRemappingAudioSource& remapper, const juce::String& deviceName)
{
    settings.setValue(settingskey::kChannelMappingDeviceName, deviceName);
    if (const std::unique_ptr<juce::XmlElement> xml = remapper.createXml())
        settings.setValue(settingskey::kChannelMappingState, xml.get());
}
