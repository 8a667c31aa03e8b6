#include "host/app/ProgramFolder.h"

#include <unistd.h>

#include <array>
#include <string>
#include <vector>

namespace {

const char* const kLibraryName = "Tambrell.so";

}  // namespace

juce::File programFolder()
{
    std::vector<char> path(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0)
            break;
        if (static_cast<std::size_t>(n) < path.size())
            return juce::File(juce::String::fromUTF8(path.data(), static_cast<int>(n))).getParentDirectory();
        if (path.size() >= (1u << 20))
            break;
        path.resize(path.size() * 2);  // cut short: try again with more room
    }
    // No /proc (a chroot, say): JUCE's guess is all there is.
    return juce::File::getSpecialLocation(juce::File::currentExecutableFile).getParentDirectory();
}

std::array<juce::File, 3> pluginLibraryPlaces(const juce::File& folder)
{
    return {
        folder.getChildFile(kLibraryName),
        folder.getChildFile("../lib/lxvst/Tambrell").getChildFile(kLibraryName),
        folder.getChildFile("../Tambrell").getChildFile(kLibraryName),
    };
}

juce::File findPluginLibrary(const juce::File& folder)
{
    const std::array<juce::File, 3> places = pluginLibraryPlaces(folder);
    for (const juce::File& f : places)
        if (f.existsAsFile())
            return f;
    return places[0];
}

juce::File findProgramIcon(const juce::File& folder)
{
    const juce::String icon = "icons/hicolor/64x64/apps/kelbrin.png";
    for (const juce::File& f : {folder.getChildFile(icon), folder.getChildFile("../share").getChildFile(icon)})
        if (f.existsAsFile())
            return f;
    return {};
}

PluginStart loadPluginBeside(const juce::File& folder, int blockSize, double sampleRate)
{
    PluginStart start;
    const juce::File library = findPluginLibrary(folder);
    if (!library.existsAsFile()) {
        // The installed place is named as the one to fill: a library copied
        // beside the program loads, but without the pictures and presets that
        // lie beside it once installed.
        const std::array<juce::File, 3> places = pluginLibraryPlaces(folder);
        start.alert = "Can't find the plugin module!\n\nThe required file is:\n\n" + places[1].getFullPathName()
            + "\n\nwith its Gfx and Presets folders beside it. Looked for at:\n";
        for (const juce::File& f : places)
            start.alert << "\n" << f.getFullPathName();
        return start;
    }
    std::string reason;
    start.info = loadPluginModule(library.getFullPathName().toStdString(), blockSize, sampleRate, &reason);
    if (!start.info)
        start.alert
            = "An error occurred when trying to load the plugin module!\n\n" + juce::String::fromUTF8(reason.c_str());
    return start;
}
