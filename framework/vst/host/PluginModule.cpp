#include "framework/vst/host/PluginModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

PluginModule::PluginModule(const std::string& path)
    : path_(path)
{
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* text = dlerror();
        error_ = text != nullptr ? text : "The library could not be loaded.";
        return;
    }
    entry_ = entry("main");
    if (entry_ == nullptr)
        entry_ = entry("VSTPluginMain");
    if (entry_ == nullptr)
        error_ = path + ": the library has no VST entry (main or VSTPluginMain).";
}

PluginModule::~PluginModule()
{
    if (handle_ != nullptr)
        dlclose(handle_);
}

void* PluginModule::symbol(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }

VstPluginEntry PluginModule::entry(const char* name) const { return reinterpret_cast<VstPluginEntry>(symbol(name)); }

std::unique_ptr<PluginLoadInfo> loadPluginModule(
    const std::string& path, int blockSize, double sampleRate, std::string* error)
{
    auto module = std::make_unique<PluginModule>(path);
    if (!module->isLoaded() || module->mainEntry() == nullptr) {
        if (error != nullptr)
            *error = module->error();
        return nullptr;
    }
    auto info = std::make_unique<PluginLoadInfo>();
    info->entry = module->mainEntry();
    info->module = std::move(module);
    if (blockSize > 0)
        info->blockSize = blockSize;
    if (sampleRate > 0.0)
        info->sampleRate = sampleRate;
    info->libraryFolder = folderOfPath(path);
    return info;
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::string& folder)
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return;  // no folder to go back to: leave the current one alone
        buffer.resize(buffer.size() * 2);
    }
    previous_ = buffer.data();
    restore_ = true;
    if (chdir(folder.c_str()) != 0) {
        // Running the entry in the wrong folder is better than not at all.
    }
}

ScopedCurrentFolder::~ScopedCurrentFolder()
{
    if (restore_ && chdir(previous_.c_str()) != 0) {
        // The old folder vanished meanwhile; nothing sensible to go back to.
    }
}

std::string folderOfPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOfPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

VstInt32 uniqueIdFromFileName(const std::string& fileName)
{
    std::uint32_t h = 0;
    for (unsigned char c : fileName)
        h = h * 31u + c;
    return static_cast<VstInt32>(h);
}
