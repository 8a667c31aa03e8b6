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

namespace {

Color colour(unsigned rgb)
{
    return Color::rgba(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
}

// A filled rectangle; as a bar it lights the lower `value` share of itself.
class Panel final : public CControl {
public:
    Panel(int32_t id, Rect rect, bool bar)
        : id_(id)
        , rect_(rect)
        , bar_(bar)
    {
    }
    bool isDirty() const override { return dirty_; }
    void setDirty(bool d) override { dirty_ = d; }
    bool setValue(float v) override
    {
        v = std::clamp(v, 0.0f, 1.0f);
        if (std::memcmp(&v, &value_, sizeof v) == 0)
            return false;
        value_ = v;
        dirty_ = true;
        return true;
    }
    float getValue() const override { return value_; }
    void setRect(int32_t x, int32_t y, int32_t w, int32_t h) override { rect_ = Rect {x, y, w, h}; }
    Rect getRect() const override { return rect_; }
    void setId(int32_t id) override { id_ = id; }
    int32_t getId() const override { return id_; }
    int32_t notifyChanged(bool) override { return 0; }
    void destroy() override { delete this; }
    CBitmap* getBackgroundBitmap() override { return nullptr; }
    CDrawBuffer* getBackBuffer() override { return nullptr; }
    SizeHW getEditorSize() override { return {}; }
    void setEditorDirty() override { }
    void redrawRect(int32_t, int32_t, int32_t, int32_t) override { }
    CPluginUI* getEditor() override { return nullptr; }
    CControlGroup* getGroup() override { return group; }
    void redraw() override { }
    void setFocus(bool) override { }
    void getLabel(char*) override { }
    void getDisplay(char*) override { }
    void getName(char*) override { }
    float getDefaultValue() override { return 0.5f; }
    void capture(bool) override { }
    void releaseCapture() override { }
    bool hasCapture() override { return false; }
    void cancel() override { }
    void endEdit() override { }
    void beginEdit() override { }
    bool isHovered() const override { return hovered; }
    bool isCtrlDown() const override { return false; }
    bool isAltDown() const override { return false; }
    bool isShiftDown() const override { return false; }
    void onLeftDown(int32_t, int32_t) override { }
    void onLeftUp(int32_t, int32_t) override { }
    void onMiddleDown(int32_t, int32_t) override { }
    void onMiddleUp(int32_t, int32_t) override { }
    void onRightDown(int32_t, int32_t) override { }
    void onRightUp(int32_t, int32_t) override { }
    void onMouseMove(int32_t, int32_t) override { }
    void onWheel(int32_t, int32_t) override { }
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
    void onTimer() override { }
    void onHoverChanged() override { }
    bool onFileDrop(const char*, int32_t, int32_t) override { return false; }
    Point getMousePos() override { return {}; }

private:
    int32_t id_;
    Rect rect_;
    bool bar_;
    float value_ = 0.0f;
    bool dirty_ = true;
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
