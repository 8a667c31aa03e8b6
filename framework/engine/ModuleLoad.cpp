#include "framework/engine/ModuleLoad.h"

#include <dlfcn.h>

#include "framework/engine/CPluginDefinition.h"
#include "framework/util/TextCopy.h"

namespace {
// Written only on the loader's thread, before any entry point can run.
void* gModuleHandle = nullptr;
char gModulePath[kModulePathCapacity] = {};
}

bool moduleAttach() noexcept
{
    if (gModuleHandle == nullptr) {
        Dl_info info {};
        if (dladdr(reinterpret_cast<void*>(&moduleAttach), &info) != 0 && info.dli_fbase != nullptr) {
            gModuleHandle = info.dli_fbase;
            copyText(gModulePath, info.dli_fname);
        }
    }
    if (CPluginDefinition* definition = pluginDefinition(); definition != nullptr && gModuleHandle != nullptr) {
        definition->moduleHandle = gModuleHandle;
        copyText(definition->modulePath, gModulePath);
    }
    return true;
}

void* moduleHandle() noexcept { return gModuleHandle; }

const char* modulePath() noexcept { return gModulePath; }
