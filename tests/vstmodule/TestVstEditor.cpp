#include "TestVstEditor.h"

#include <algorithm>
#include <cstring>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CSynthEditor.h"
#include "framework/gui/controls/CControl.h"
#include "framework/gui/controls/CControlGroup.h"
#include "tests/support/StubControl.h"

namespace {

Color colour(unsigned rgb)
{
    return Color::rgba(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
}

// A filled rectangle; as a bar it lights the lower `value` share of itself.
class Panel final : public StubControl {
public:
    Panel(int32_t id, Rect rect, bool bar)
        : StubControl(id, rect)
        , bar_(bar)
    {
    }
    bool setValue(float v) override { return StubControl::setValue(std::clamp(v, 0.0f, 1.0f)); }
    float getDefaultValue() override { return 0.5f; }
    void draw(CDrawBuffer* target) override
    {
        target->setClip(rect_);
        target->setFillColor(colour(bar_ ? kTestEditorBarEmpty : kTestEditorBackground));
        target->fillRect(rect_.x, rect_.y, rect_.w, rect_.h);
        if (bar_) {
            const int32_t lit = static_cast<int32_t>(value_ * static_cast<float>(rect_.h) + 0.5f);
            target->setFillColor(colour(kTestEditorBarFull));
            target->fillRect(rect_.x, rect_.y + rect_.h - lit, rect_.w, lit);
        }
    }

private:
    bool bar_;
};

// Routes the mouse to the bars: a left drag moves a bar's value with the
// cursor's vertical motion (100 pixels for the whole range), the wheel by 0.05 a notch.
class BarGroup final : public CControlGroup {
public:
    using CControlGroup::CControlGroup;
    void add(CControl* c)
    {
        c->group = this;
        CControl** tail = &controls;
        while (*tail != nullptr)
            tail = &(*tail)->next;
        *tail = c;
    }
    bool onMouse(int32_t x, int32_t y, ModifierKeys, MouseCode code) override
    {
        switch (code) {
        case kMouseLeftDown:
            dragged = barAt(x, y);
            if (dragged != nullptr) {
                editor->beginEdit(dragged);
                editor->modalGroup = this;
                editor->captureMouse(true);
                lastY = y;
            }
            return dragged != nullptr;
        case kMouseMove:
            if (dragged != nullptr) {
                change(dragged, dragged->getValue() + static_cast<float>(lastY - y) / 100.0f);
                lastY = y;
            }
            return dragged != nullptr;
        case kMouseLeftUp:
            if (dragged != nullptr) {
                editor->releaseMouse();
                editor->modalGroup = nullptr;
                editor->endEdit(dragged);
                dragged = nullptr;
                return true;
            }
            return false;
        case kMouseWheel: {
            const Point p = editor->getCursorPos();
            if (CControl* bar = barAt(p.x, p.y)) {
                editor->beginEdit(bar);
                change(bar, bar->getValue() + 0.05f * static_cast<float>(y));
                editor->endEdit(bar);
                return true;
            }
            return false;
        }
        default: return false;
        }
    }
    void cancelAll() override { dragged = nullptr; }
    void idle(bool, int32_t, int32_t) override
    {
        for (CControl* c = controls; c != nullptr; c = c->next)
            editor->drawControl(c);
    }
    void updateValues() override
    {
        for (CControl* c = controls; c != nullptr; c = c->next)
            if (c->getId() >= 0)
                c->setValue(editor->getParameterValue(c));
    }

private:
    CControl* barAt(int32_t x, int32_t y)
    {
        for (CControl* c = controls; c != nullptr; c = c->next)
            if (c->getId() >= 0 && c->getRect().contains(x, y))
                return c;
        return nullptr;
    }
    void change(CControl* bar, float value)
    {
        if (bar->setValue(value))
            editor->onControlChanged(bar);
    }
    CControl* dragged = nullptr;
    int32_t lastY = 0;
};

class TestFrameEditor final : public CSynthEditor {
public:
    explicit TestFrameEditor(CSynthesizer* e)
        : CSynthEditor(pluginDefinition()->moduleHandle, kTestEditorHeight, kTestEditorWidth)
    {
        engine = e;
        timerInterval = 50;  // the product's tick
    }
    bool createControls() override
    {
        auto* group = new BarGroup(this, 1);
        group->add(new Panel(-1, Rect {0, 0, kTestEditorWidth, kTestEditorHeight}, false));
        for (int i = 0; i < 2; ++i)
            group->add(new Panel(i, Rect {kTestBarX[i], kTestBarY, kTestBarW, kTestBarH}, true));
        addGroup(group);
        return true;
    }
    void onControlChanged(CControl* control) override
    {
        const int32_t id = control->getId();
        engine->setParameter(id, control->getValue());
        if (CPluginWrapper* wrapper = engine->getWrapper())
            wrapper->parameterChanged(id, control->getValue());
    }
};

}  // namespace

EditorView* makeTestFrameEditor(CSynthesizer* engine) { return new TestFrameEditor(engine); }
