#pragma once
// Where Kelbrin finds what it ships with: the folder of the running program
// file, and the plug-in library looked up from it.
//
// Thread use: any thread.

#include <memory>

#include <juce_core/juce_core.h>

#include "framework/vst/host/PluginModule.h"

// The folder of the running program file (/proc/self/exe, links resolved),
// wherever the program was started from: by name through PATH, from a
// launcher, through a link. JUCE's currentExecutableFile is the current folder
// joined with argv[0], which is wrong for all three.
juce::File programFolder();

// Tambrell.so beside the program, else in the installed layout
// (<prefix>/bin and <prefix>/lib/lxvst/Tambrell), else in the build tree's
// plug-in folder; the first of them when none exists.
juce::File findPluginLibrary(const juce::File& folder);

// The plug-in library found from folder and loaded, or the text of the
// start-up alert that says why not (the loader's reason under the sentence).
struct PluginStart {
    std::unique_ptr<PluginLoadInfo> info;
    juce::String alert;
};
PluginStart loadPluginBeside(const juce::File& folder, int blockSize, double sampleRate);
