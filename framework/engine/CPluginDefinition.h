#pragma once
#include <cstdint>

class EditorView;
class CPluginWrapper;
class CSynthesizer;

// Capacity of the text that getOutputName writes (the host's pin label).
inline constexpr int32_t kOutputNameCapacity = 64;
// Capacity of the library's own path.
inline constexpr int32_t kModulePathCapacity = 4096;

// The static description of the plug-in and the factory of its engine and
// editor. One instance of the product's subclass exists per process; it is
// built during static initialisation, installed with installPluginDefinition,
// and never freed. Nothing but static initialisation, the module-load hook and
// the adaptors' creation entries (format text and id) writes it.
class CPluginDefinition {
public:
    CPluginDefinition();
    CPluginDefinition(const CPluginDefinition&) = delete;
    CPluginDefinition& operator=(const CPluginDefinition&) = delete;
    virtual ~CPluginDefinition() = default;

    // Adaptor creation entry (host thread). Null: no editor.
    virtual EditorView* createEditor(CSynthesizer* engine);
    // Adaptor creation entry (host thread). Null: no engine.
    virtual CSynthesizer* createEngine(CPluginWrapper* wrapper);
    // Host thread. Writes "<name> <pair>" into text (at most
    // kOutputNameCapacity characters with the terminator) and returns the number
    // of characters written.
    virtual int32_t getOutputName(int32_t pairIndex, char* text);
    // Never called by the framework.
    virtual int32_t getExtraInfo(int32_t value);

    // Bounded setters for the texts (the product installs its values with them).
    void setName(const char* text);
    void setVendor(const char* text);
    void setVersion(const char* text);
    void setFormatText(const char* text);

    void* moduleHandle = nullptr;  // base address of this library, set at load
    bool hasSse2 = false;
    char name[512];
    char vendor[512];
    char version[512];
    char formatText[64];
    bool isEffect = false;
    bool nativeSwitch = false;
    bool hasEditor = true;
    int32_t formatId = 0;  // 1 = VST, 3 = native
    int32_t programCount = 0;
    int32_t publishedParameterCount = 0;
    int32_t storedParameterCount = 0;
    int32_t inputChannels = 0;
    int32_t outputPairs = 1;
    int32_t uniqueId = 0;
    // Full path of this library, empty until the module-load hook ran.
    char modulePath[kModulePathCapacity];
};

// The process-wide definition, or null before one is installed. Written only
// during static initialisation (and by tests), read from every thread.
CPluginDefinition* pluginDefinition() noexcept;

// Makes definition the process-wide one and returns it. The product calls this
// once from a namespace-scope initialiser of a single translation unit, e.g.
//   static CPluginDefinition* const theDefinition = installPluginDefinition(new CDriveDef);
// The module handle and path are copied in when the module-load hook already ran.
CPluginDefinition* installPluginDefinition(CPluginDefinition* definition) noexcept;

// True when the processor offers SSE2.
bool processorHasSse2() noexcept;
