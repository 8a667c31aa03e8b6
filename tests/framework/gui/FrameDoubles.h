#pragma once
#include <cstring>
// Controls and groups for the editor frame's tests: they record what the frame
// hands them, and a control paints its rectangle in one colour.
#include <functional>
#include <string>
#include <vector>

#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CPluginUI.h"
#include "framework/gui/controls/CControl.h"
#include "framework/gui/controls/CControlGroup.h"

struct MouseCall {
    int32_t x, y;
    ModifierKeys modifiers;
    MouseCode code;
};

class PaintControl : public CControl {
public:
    PaintControl(int32_t id, Rect rect, Color colour)
        : colour_(colour)
        , id_(id)
        , rect_(rect)
    {
    }
    bool isDirty() const override { return dirty_; }
    void setDirty(bool d) override { dirty_ = d; }
    bool setValue(float v) override
    {
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
    float getDefaultValue() override { return 0.0f; }
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
        ++draws;
        target->setClip(rect_);
        target->setFillColor(colour_);
        target->fillRect(rect_.x, rect_.y, rect_.w, rect_.h);
    }
    void onTimer() override { }
    void onHoverChanged() override { }
    bool onFileDrop(const char*, int32_t, int32_t) override { return false; }
    Point getMousePos() override { return {}; }

    int draws = 0;
    Color colour_;

private:
    int32_t id_;
    Rect rect_;
    float value_ = 0.0f;
    bool dirty_ = true;
};

// Records the editor's calls; its idle draws each control through the editor.
class RecordingGroup : public CControlGroup {
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
    bool onMouse(int32_t x, int32_t y, ModifierKeys m, MouseCode code) override
    {
        mouse.push_back({x, y, m, code});
        if (code == kMouseLeftDown && duringLeftDown) {
            auto once = std::move(duringLeftDown);
            duringLeftDown = nullptr;
            once();
        }
        return true;
    }
    void idle(bool moved, int32_t, int32_t) override
    {
        ++idles;
        movedSeen = movedSeen || moved;
        for (CControl* c = controls; c != nullptr; c = c->next)
            editor->drawControl(c);
    }
    void cancelAll() override { ++cancels; }
    bool onFileDrop(const char* path, int32_t, int32_t) override
    {
        drops.emplace_back(path);
        return acceptDrops;
    }
    void updateValues() override
    {
        ++updates;
        for (CControl* c = controls; c != nullptr; c = c->next)
            c->setValue(editor->getParameterValue(c));
    }

    std::function<void()> duringLeftDown;  // runs once, inside the next left press
    std::vector<MouseCall> mouse;
    std::vector<std::string> drops;
    int idles = 0, cancels = 0, updates = 0;
    bool movedSeen = false;
    bool acceptDrops = true;
};
