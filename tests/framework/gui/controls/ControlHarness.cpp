#include "tests/framework/gui/controls/ControlHarness.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "framework/engine/CPluginWrapper.h"
#include "framework/gui/CSynthEditor.h"
#include "framework/gui/controls/CControl.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/support/TestPlugin.h"

namespace tbtest {

namespace {

    std::string entry(const char* what, int32_t id, float value)
    {
        char line[64];
        std::snprintf(line, sizeof line, "%s %d %.3f", what, static_cast<int>(id), static_cast<double>(value));
        return line;
    }

    std::string entry(const char* what, int32_t id)
    {
        char line[64];
        std::snprintf(line, sizeof line, "%s %d", what, static_cast<int>(id));
        return line;
    }

    // The host: logs the gesture framing and the automation it receives.
    class LogWrapper : public CPluginWrapper {
    public:
        explicit LogWrapper(std::vector<std::string>& journal)
            : log(journal)
        {
        }
        void parameterChanged(int32_t index, float value) override { log.push_back(entry("change", index, value)); }
        void beginEdit(int32_t index) override { log.push_back(entry("begin", index)); }
        void endEdit(int32_t index) override { log.push_back(entry("end", index)); }
        std::vector<std::string>& log;
    };

    constexpr int32_t kPublished = 44;
    constexpr int32_t kStored = 50;

    // The product's side of the editor: defaults from the engine, and every
    // change written to the engine and, for published ids, to the host.
    class LogEditor : public CSynthEditor {
    public:
        LogEditor(ControlHarness& harness, CSynthesizer& synth, CPluginWrapper& host, int32_t height, int32_t width)
            : CSynthEditor(nullptr, height, width)
            , h(harness)
            , wrapper(host)
        {
            engine = &synth;
        }
        bool createControls() override { return true; }
        float getParameterDefault(CControl* c) override
        {
            return c->getId() >= 0 && c->getId() < kStored ? engine->getParameterDefault(c->getId()) : 0.0f;
        }
        void onControlChanged(CControl* c) override
        {
            const int32_t id = c->getId();
            h.log.push_back(entry("notify", id, c->getValue()));
            if (id >= 0 && id < kStored)
                engine->setParameter(id, c->getValue());
            if (id >= 0 && id < kPublished)
                wrapper.parameterChanged(id, c->getValue());
            if (h.onChange)
                h.onChange(c);
        }
        ControlHarness& h;
        CPluginWrapper& wrapper;
    };

}  // namespace

struct ControlHarness::Parts {
    std::unique_ptr<platform::HeadlessWindowSystem> headless;
    TestDefinition definition;
    std::unique_ptr<ScopedDefinition> installed;
    std::unique_ptr<LogWrapper> wrapper;
    std::unique_ptr<TestEngine> engine;
    std::unique_ptr<LogEditor> editor;
};

ControlHarness::ControlHarness(int32_t height, int32_t width)
    : parts(std::make_unique<Parts>())
{
    parts->headless = std::make_unique<platform::HeadlessWindowSystem>();
    start(*parts->headless, 1, height, width);
}

ControlHarness::ControlHarness(platform::IWindowSystem& system, uintptr_t parent, int32_t height, int32_t width)
    : parts(std::make_unique<Parts>())
{
    start(system, parent, height, width);
}

void ControlHarness::start(platform::IWindowSystem& system, uintptr_t parent, int32_t height, int32_t width)
{
    platform::setWindowSystem(&system);
    parts->definition.publishedParameterCount = kPublished;
    parts->definition.storedParameterCount = kStored;
    parts->installed = std::make_unique<ScopedDefinition>(parts->definition);
    parts->wrapper = std::make_unique<LogWrapper>(log);
    parts->engine = std::make_unique<TestEngine>(parts->wrapper.get());
    parts->engine->selectProgram(0);
    parts->editor = std::make_unique<LogEditor>(*this, *parts->engine, *parts->wrapper, height, width);
    parts->editor->open(height, width, reinterpret_cast<void*>(parent));
    parts->editor->idle();  // the first full paint
    log.clear();
}

ControlHarness::~ControlHarness()
{
    if (parts->editor != nullptr)
        parts->editor->close();
    parts->editor.reset();
    parts->engine.reset();
    platform::setWindowSystem(nullptr);
}

CPluginUI* ControlHarness::editor() { return parts->editor.get(); }
CControlGroup* ControlHarness::root() { return parts->editor->getRootGroup(); }
CDrawBuffer* ControlHarness::back() { return parts->editor->getBackBuffer(); }

void ControlHarness::press(int32_t x, int32_t y, ModifierKeys mods) { editor()->onMouse(x, y, mods, kMouseLeftDown); }
void ControlHarness::release(int32_t x, int32_t y) { editor()->onMouse(x, y, 0, kMouseLeftUp); }
void ControlHarness::rightPress(int32_t x, int32_t y) { editor()->onMouse(x, y, 0, kMouseRightDown); }
void ControlHarness::move(int32_t x, int32_t y) { editor()->onMouse(x, y, 0, kMouseMove); }
void ControlHarness::wheel(int32_t steps) { editor()->onMouse(0, steps, 0, kMouseWheel); }
void ControlHarness::tick() { editor()->idle(); }
void ControlHarness::destroyEditor() { parts->editor.release()->destroyView(); }

void ControlHarness::pump(int32_t milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        parts->editor->idleView();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

bool ControlHarness::pumpUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return done();
        pump(2);
    }
    return true;
}

float ControlHarness::engineValue(int32_t id) { return parts->engine->getParameter(id); }
void ControlHarness::setEngineValue(int32_t id, float value) { parts->engine->setParameter(id, value); }

void ControlHarness::setDefault(float value)
{
    if (auto* p = dynamic_cast<TestProgram*>(parts->engine->getCurrentProgram()))
        p->defaultValue = value;
}

std::unique_ptr<CBitmap> stripPicture(int32_t w, int32_t h, int32_t frames, bool vertical)
{
    auto picture = std::make_unique<CBitmap>(kNoBitmap);
    const int32_t totalW = vertical ? w : w * frames;
    const int32_t totalH = vertical ? h * frames : h;
    if (!picture->create(totalH, totalW, false))
        return picture;
    for (int32_t y = 0; y < totalH; ++y)
        for (int32_t x = 0; x < totalW; ++x)
            picture->rowOf(y)[x] = framePixel(vertical ? y / h : x / w);
    return picture;
}

}  // namespace tbtest
