#include "framework/engine/CPluginDefinition.h"

#include <cstdio>

#include "framework/engine/ModuleLoad.h"
#include "framework/util/TextCopy.h"

namespace {
// Constant-initialised, so reading it is safe from any static initialiser.
CPluginDefinition* gDefinition = nullptr;
}

CPluginDefinition::CPluginDefinition()
{
    copyText(name, "Unknown");
    copyText(vendor, "Unknown");
    copyText(version, "Unknown");
    formatText[0] = '\0';
    modulePath[0] = '\0';
}

EditorView* CPluginDefinition::createEditor(CSynthesizer* engine)
{
    (void)engine;
    return nullptr;
}

CSynthesizer* CPluginDefinition::createEngine(CPluginWrapper* wrapper)
{
    (void)wrapper;
    return nullptr;
}

int32_t CPluginDefinition::getOutputName(int32_t pairIndex, char* text)
{
    if (text == nullptr)
        return 0;
    int n = std::snprintf(text, kOutputNameCapacity, "%s %d", name, static_cast<int>(pairIndex));
    if (n < 0) {
        text[0] = '\0';
        return 0;
    }
    return n < kOutputNameCapacity ? n : kOutputNameCapacity - 1;
}

int32_t CPluginDefinition::getExtraInfo(int32_t value)
{
    (void)value;
    return 0;
}

void CPluginDefinition::setName(const char* text) { copyText(name, text); }
void CPluginDefinition::setVendor(const char* text) { copyText(vendor, text); }
void CPluginDefinition::setVersion(const char* text) { copyText(version, text); }
void CPluginDefinition::setFormatText(const char* text) { copyText(formatText, text); }

CPluginDefinition* pluginDefinition() noexcept { return gDefinition; }

CPluginDefinition* installPluginDefinition(CPluginDefinition* definition) noexcept
{
    gDefinition = definition;
    if (definition != nullptr && moduleHandle() != nullptr) {
        definition->moduleHandle = moduleHandle();
        copyText(definition->modulePath, modulePath());
    }
    return definition;
}

bool processorHasSse2() noexcept
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("sse2") != 0;
#else
    return false;
#endif
}
