// The plug-in inside the test module: four published and six stored
// parameters, one program, a chunk of the stored values, an effect unit whose
// output shows gain and note state, and an editor that counts what it is told.
//
// Tests see it only through the VST interface, so the effect makes its state
// audible: output = input x (2 x parameter 0) + (velocity of the held note) / 128,
// times the engine's output gain (0.5 per side). It also scribbles over the
// input buffers it is handed, as the product's chain does.

#include <atomic>
#include <cstdio>
#include <cstring>

#include "framework/engine/CFx.h"
#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CProgram.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/engine/EditorView.h"
#ifdef TB_TEST_MODULE_FRAME_EDITOR
#include "TestVstEditor.h"
#endif

namespace {

constexpr int32_t kPublished = 4;
constexpr int32_t kStored = 6;
constexpr uint32_t kChunkMagic = 0x54564d43;  // "TVMC"
constexpr int32_t kChunkSize = 4 + 4 * kStored;

class ModuleProgram : public CProgram {
public:
    ModuleProgram()
    {
        for (auto& v : values)
            v.store(0.5f);
    }
    void setParameter(int32_t index, float value) override
    {
        if (index >= 0 && index < kStored)
            values[index].store(value);
    }
    float getParameter(int32_t index) override { return index >= 0 && index < kStored ? values[index].load() : 0.0f; }
    float getParameterDefault(int32_t) override { return 0.5f; }
    void getParameterName(int32_t index, char* text) override
    {
        // Deliberately longer than any host buffer for parameter texts.
        std::snprintf(text, kParameterTextCapacity, "Parameter%d-with-a-name-much-longer-than-eight-characters-xx",
            static_cast<int>(index));
    }

private:
    std::atomic<float> values[kStored];
};

class ModuleFx : public CFx {
public:
    void process(float* inL, float* inR, float* bufL, float* bufR, int32_t frames) override
    {
        const float g = gain.load(std::memory_order_relaxed);
        const float dc = level.load(std::memory_order_relaxed);
        for (int32_t i = 0; i < frames; ++i) {
            bufL[i] = (inL ? inL[i] : 0.0f) * g + dc;
            bufR[i] = (inR ? inR[i] : 0.0f) * g + dc;
            if (inL)
                inL[i] = -999.0f;
            if (inR)
                inR[i] = -999.0f;
        }
    }
    std::atomic<float> gain {1.0f};
    std::atomic<float> level {0.0f};
};

class ModuleEditor : public EditorView {
public:
    explicit ModuleEditor(CSynthesizer* engine)
        : engine(engine)
    {
    }
    ~ModuleEditor() override
    {
        // Reads the engine on the way out: deleting the engine first would
        // be a use after free.
        lastSeen = engine->getParameter(0);
    }
    ViewSize viewSize() override { return {200, 120}; }
    bool openView(void* parent, ViewSize size) override
    {
        isOpen = parent != nullptr && size.height == 120 && size.width == 200;
        return isOpen;
    }
    void closeView() override { isOpen = false; }
    void requestParameterValue(int32_t id, float) override
    {
        if (id >= 0 && id < kStored)
            ++shown[id];
    }
    void requestAllValues() override { ++updates; }

    int shown[kStored] = {};
    int updates = 0;
    bool isOpen = false;
    float lastSeen = 0.0f;

private:
    CSynthesizer* engine;
};

class ModuleEngine : public CSynthesizer {
public:
    explicit ModuleEngine(CPluginWrapper* wrapper)
        : CSynthesizer(wrapper)
    {
        addProgram(new ModuleProgram);
        fx = new ModuleFx;
        setEffectUnit(fx);
        setProgramName(0, "Init-program-with-a-very-long-name-hosts-cannot-show");
    }

    void onParameterChanged(int32_t index, float value) override
    {
        if (index == 0)
            fx->gain.store(2.0f * value, std::memory_order_relaxed);
    }
    void onNote(int8_t note, int8_t velocity) override
    {
        CSynthesizer::onNote(note, velocity);
        fx->level.store(static_cast<float>(velocity) / 128.0f, std::memory_order_relaxed);
    }
    // The test's window into the editor: the label tells how often the editor
    // was told about this parameter and whether it is open.
    void getParameterLabel(int32_t index, char* text) override
    {
#ifdef TB_TEST_MODULE_FRAME_EDITOR
        // The frame editor counts nothing.
        CSynthesizer::getParameterLabel(index, text);
        return;
#endif
        auto* editor = static_cast<ModuleEditor*>(getWrapper()->getEditor());
        if (!editor)
            std::snprintf(text, kParameterTextCapacity, "no editor");
        else
            std::snprintf(text, kParameterTextCapacity, "shown %d%s", editor->shown[index % kStored],
                editor->isOpen ? " open" : "");
    }

    // Parameter 3 displays the file name of the library the load hook found,
    // which shows that the hook ran inside this module.
    void getParameterDisplay(int32_t index, char* text) override
    {
        if (index != 3) {
            CSynthesizer::getParameterDisplay(index, text);
            return;
        }
        const char* path = pluginDefinition()->modulePath;
        const char* slash = std::strrchr(path, '/');
        std::snprintf(text, kParameterTextCapacity, "%.60s", slash ? slash + 1 : path);
    }

    int32_t getProgramChunk(void* buffer) override
    {
        if (buffer) {
            auto* bytes = static_cast<unsigned char*>(buffer);
            std::memcpy(bytes, &kChunkMagic, 4);
            for (int32_t i = 0; i < kStored; ++i) {
                const float v = getParameter(i);
                std::memcpy(bytes + 4 + 4 * i, &v, 4);
            }
        }
        return kChunkSize;
    }
    int32_t getBankChunk(void* buffer) override { return getProgramChunk(buffer); }
    int32_t setProgramChunk(const void* data, int32_t size) override
    {
        if (!data || size != kChunkSize)
            return 0;
        const auto* bytes = static_cast<const unsigned char*>(data);
        uint32_t magic = 0;
        std::memcpy(&magic, bytes, 4);
        if (magic != kChunkMagic)
            return 0;
        CProgram* program = getCurrentProgram();
        for (int32_t i = 0; i < kStored; ++i) {
            float v = 0.0f;
            std::memcpy(&v, bytes + 4 + 4 * i, 4);
            program->setParameter(i, v);
        }
        selectProgram(0);
        return 1;
    }
    int32_t setBankChunk(const void* data, int32_t size) override { return setProgramChunk(data, size); }

private:
    ModuleFx* fx;
};

class ModuleDefinition : public CPluginDefinition {
public:
    ModuleDefinition()
    {
        setName("TestVst");
        setVendor("Tambrell Tests, a vendor text longer than the sixty-four characters hosts allow");
        setVersion("0.9");
        isEffect = true;
#ifdef TB_TEST_MODULE_WITHOUT_EDITOR
        hasEditor = false;
#endif
        publishedParameterCount = kPublished;
        storedParameterCount = kStored;
        inputChannels = 2;
        outputPairs = 1;
        uniqueId = ('T' << 24) | ('V' << 16) | ('S' << 8) | 'T';
    }
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override { return new ModuleEngine(wrapper); }
#ifdef TB_TEST_MODULE_FRAME_EDITOR
    EditorView* createEditor(CSynthesizer* engine) override { return makeTestFrameEditor(engine); }
#else
    EditorView* createEditor(CSynthesizer* engine) override { return new ModuleEditor(engine); }
#endif
};

// A static object rather than a never-freed allocation: tests load and unload
// the module many times and the leak checker would see each lost definition.
ModuleDefinition definitionObject;
[[maybe_unused]] CPluginDefinition* const theDefinition = installPluginDefinition(&definitionObject);

}  // namespace
