// An open editor while a host automates parameters on its audio thread and
// loads chunks on a third thread: the editor's objects stay on the UI thread
// (ThreadSanitizer runs this), and after the storm every control shows the
// engine's value.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "FrameDoubles.h"
#include "framework/engine/CProgram.h"
#include "framework/gui/CSynthEditor.h"
#include "framework/vst/AudioEffect.h"
#include "framework/vst/VstEntry.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/support/TestPlugin.h"

namespace {

constexpr int32_t kValues = 6;

class AtomicProgram : public CProgram {
public:
    void setParameter(int32_t i, float v) override
    {
        if (i >= 0 && i < kValues)
            values[i].store(v, std::memory_order_relaxed);
    }
    float getParameter(int32_t i) override
    {
        return i >= 0 && i < kValues ? values[i].load(std::memory_order_relaxed) : 0.0f;
    }
    std::atomic<float> values[kValues] = {};
};

class ChunkEngine : public CSynthesizer {
public:
    explicit ChunkEngine(CPluginWrapper* wrapper)
        : CSynthesizer(wrapper)
    {
        addProgram(new AtomicProgram);
    }
    int32_t setProgramChunk(const void* data, int32_t size) override
    {
        if (size != kValues * 4)
            return 0;
        float v[kValues];
        std::memcpy(v, data, sizeof v);
        beginProgramSwitch();
        for (int32_t i = 0; i < kValues; ++i)
            programAt(0)->setParameter(i, v[i]);
        endProgramSwitch();
        selectProgram(0);
        return 1;
    }
};

class ThreadsEditor : public CSynthEditor {
public:
    explicit ThreadsEditor(CSynthesizer* e)
        : CSynthEditor(nullptr, 60, 80)
    {
        engine = e;
    }
    bool createControls() override
    {
        group = new RecordingGroup(this, 1);
        for (int32_t id = 0; id < kValues; ++id)
            group->add(new PaintControl(id, Rect {id * 10, 0, 10, 10}, Color::rgba(1, 2, 3)));
        addGroup(group);
        return true;
    }
    RecordingGroup* group = nullptr;
};

class ThreadsDefinition : public TestDefinition {
public:
    CSynthesizer* createEngine(CPluginWrapper* wrapper) override { return new ChunkEngine(wrapper); }
    EditorView* createEditor(CSynthesizer* engine) override { return editor = new ThreadsEditor(engine); }
    ThreadsEditor* editor = nullptr;
};

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(EditorThreads, AutomationAndChunkLoadsReachAnOpenEditorOnItsOwnThread)
{
    ThreadsDefinition definition;
    definition.storedParameterCount = kValues;
    ScopedDefinition installed {definition};
    platform::HeadlessWindowSystem ws;
    platform::setWindowSystem(&ws);
    AudioEffect* fx = createVstInstance(&quietHost);
    ASSERT_NE(fx, nullptr);
    AEffect* e = fx->getAeffect();
    auto* parent = reinterpret_cast<void*>(uintptr_t {5});
    ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, parent, 0.0f), 1);
    ThreadsEditor* editor = definition.editor;
    ASSERT_NE(editor, nullptr);

    std::atomic<bool> stop {false};
    std::atomic<int> blocks {0}, loads {0};
    std::thread audio([&] {
        std::vector<float> l(64, 0.1f), r(64, 0.1f);
        float* io[] = {l.data(), r.data()};
        for (int n = 0; !stop.load(); ++n) {
            e->setParameter(e, n % 4, static_cast<float>(n % 97) / 96.0f);
            e->processReplacing(e, io, io, 64);
            blocks.fetch_add(1);
        }
    });
    std::thread loader([&] {
        for (int n = 0; !stop.load(); ++n) {
            float chunk[kValues];
            for (float& v : chunk)
                v = static_cast<float>(n % 13) / 12.0f;
            e->dispatcher(e, effSetChunk, 1, sizeof chunk, chunk, 0.0f);
            loads.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    // At least 800 ms, and on until every thread has done its share: a
    // throttled machine may hardly schedule one of them within a fixed span.
    auto busy = [&] { return blocks.load() < 100 || loads.load() < 20 || editor->group->updates < 10; };
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(800);
    const auto deadline = start + std::chrono::seconds(60);
    for (auto now = start; (now < end || busy()) && now < deadline; now = std::chrono::steady_clock::now()) {
        ws.advance(50);
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop.store(true);
    audio.join();
    loader.join();
    ws.advance(50);
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);

    EXPECT_GT(editor->group->updates, 1);
    for (int32_t id = 0; id < kValues; ++id) {
        CControl* c = editor->getControlById(id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->getValue(), editor->engine->getParameter(id)) << "control " << id;
    }
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    platform::setWindowSystem(nullptr);
}

}  // namespace
