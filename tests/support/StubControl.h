#pragma once
#include <cstring>

#include "framework/gui/controls/CControl.h"

// A control for tests that do not test controls: an id, a rectangle, a value
// compared by bit pattern and a dirty mark; every other operation does nothing.
// Subclasses paint and, where they need to, shape the value.
class StubControl : public CControl {
public:
    StubControl(int32_t id, Rect rect)
        : id_(id)
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
    void onTimer() override { }
    void onHoverChanged() override { }
    bool onFileDrop(const char*, int32_t, int32_t) override { return false; }
    Point getMousePos() override { return {}; }

protected:
    int32_t id_;
    Rect rect_;
    float value_ = 0.0f;
    bool dirty_ = true;
};
