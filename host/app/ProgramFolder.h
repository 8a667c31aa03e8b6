#pragma once
// Where Kelbrin finds what it ships with: the folder of the running program
// file, and the plug-in library looked up from it.
//
// Thread use: any thread.

#include <array>
#include <memory>

#include <juce_core/juce_core.h>

#include "framework/vst/host/PluginModule.h"

// The folder of the running program file (/proc/self/exe, links resolved),
// wherever the program was started from: by name through PATH, from a
// launcher, through a link. JUCE's currentExecutableFile is the current folder
// joined with argv[0], which is wrong for all three.
juce::File programFolder();

// The places Tambrell.so is looked for from the program's folder, in order:
// beside the program, the installed layout (<prefix>/bin and
// <prefix>/lib/lxvst/Tambrell), the build tree's plug-in folder.
std::array<juce::File, 3> pluginLibraryPlaces(const juce::File& folder);

// The first of those places that holds Tambrell.so; the first of them when
// none does.
juce::File findPluginLibrary(const juce::File& folder);

// The program's 64-pixel icon (drawn at build time into the icon theme's
// layout): beside the program in the build tree, else in
// <prefix>/share/icons once installed; no file when neither holds it.
juce::File findProgramIcon(const juce::File& folder);

// The plug-in library found from folder and loaded, or the text of the
// start-up alert that says why not: the installed place and every place
// looked at when there is no library, the loader's reason when it would not
// load.
struct PluginStart {
    std::unique_ptr<PluginLoadInfo> info;
    juce::String alert;
};
PluginStart loadPluginBeside(const juce::File& folder, int blockSize, double sampleRate);
