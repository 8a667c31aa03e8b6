#pragma once
// Loading a VST 2.4 plug-in module, the one way every host in this project
// does it (the standalone program and the tests alike): dlopen with
// RTLD_NOW | RTLD_LOCAL, the entry "main" or else "VSTPluginMain", and the
// process's current folder set to the library's folder around the entry call.
//
// Thread use: a module is loaded, asked and unloaded on one thread.

#include <memory>
#include <string>

#include "framework/vst/VstTypes.h"

using VstPluginEntry = AEffect* (*)(audioMasterCallback);

// One loaded library; unloads it when destroyed.
class PluginModule {
public:
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool isLoaded() const { return handle_ != nullptr; }
    const std::string& path() const { return path_; }
    // dlerror's text when loading failed (or the entry is missing).
    const std::string& error() const { return error_; }
    // "main", else "VSTPluginMain"; null when the library has neither.
    VstPluginEntry mainEntry() const { return entry_; }
    // The named export of the library, or null.
    VstPluginEntry entry(const char* name) const;
    void* symbol(const char* name) const;

private:
    std::string path_;
    std::string error_;
    void* handle_ = nullptr;
    VstPluginEntry entry_ = nullptr;
};

// What the loader hands to the instance: the module and the device's figures.
struct PluginLoadInfo {
    std::unique_ptr<PluginModule> module;
    int blockSize = 2048;
    double sampleRate = 44100.0;
    VstPluginEntry entry = nullptr;
    // The plug-in's uniqueID, or the id made from the file name when that is 0.
    VstInt32 uniqueId = 0;
    std::string libraryFolder;
};

// Loads the library and finds its entry; null (with dlerror's text in *error)
// when either is missing. blockSize <= 0 and sampleRate <= 0 mean no device.
std::unique_ptr<PluginLoadInfo> loadPluginModule(
    const std::string& path, int blockSize, double sampleRate, std::string* error = nullptr);

// Sets the process's current folder for the lifetime of the object and puts
// the previous one back afterwards (also when the folder could not be set).
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder);
    ~ScopedCurrentFolder();
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    std::string previous_;
    bool restore_ = false;
};

// The folder part of a path (without the last '/'), "." when there is none.
std::string folderOfPath(const std::string& path);
// The text after the last '/'.
std::string fileNameOfPath(const std::string& path);

// The id hosts give a plug-in whose uniqueID is 0: h = h * 31 + c over the
// characters of the library's file name with its extension, modulo 2^32.
VstInt32 uniqueIdFromFileName(const std::string& fileName);
