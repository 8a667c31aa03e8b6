#pragma once
#include <cstdint>

#include "framework/gui/GuiTypes.h"

class CBitmap;
class CControlGroup;
class CDrawBuffer;
class CPluginUI;

// A widget of the editor: a rectangle of the back buffer with a value, an id
// (the program value index of its parameter; negative: none) and an optional
// picture. This declares the operations editor and group rely on; the text
// display control carries the common state and behaviour. Everything runs on
// the editor's UI thread.
class CControl {
public:
    CControl() = default;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;
    virtual ~CControl() = default;

    virtual bool isDirty() const = 0;
    virtual void setDirty(bool dirty) = 0;
    // Stores the value and marks the control; false when the bits are unchanged.
    virtual bool setValue(float value) = 0;
    virtual float getValue() const = 0;
    virtual void setRect(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
    virtual Rect getRect() const = 0;
    virtual void setId(int32_t id) = 0;
    virtual int32_t getId() const = 0;
    virtual int32_t notifyChanged(bool changed) = 0;
    // Deletes the control.
    virtual void destroy() = 0;
    virtual CBitmap* getBackgroundBitmap() = 0;
    virtual CDrawBuffer* getBackBuffer() = 0;
    // Height first, as the editor gives it.
    virtual SizeHW getEditorSize() = 0;
    virtual void setEditorDirty() = 0;
    virtual void redrawRect(int32_t x, int32_t y, int32_t w, int32_t h) = 0;
    virtual CPluginUI* getEditor() = 0;
    virtual CControlGroup* getGroup() = 0;
    virtual void redraw() = 0;
    virtual void setFocus(bool focus) = 0;
    virtual void getLabel(char* text) = 0;
    virtual void getDisplay(char* text) = 0;
    virtual void getName(char* text) = 0;
    virtual float getDefaultValue() = 0;
    virtual void capture(bool hideCursor) = 0;
    virtual void releaseCapture() = 0;
    virtual bool hasCapture() = 0;
    virtual void cancel() = 0;
    virtual void endEdit() = 0;
    virtual void beginEdit() = 0;
    virtual bool isHovered() const = 0;
    virtual bool isCtrlDown() const = 0;
    virtual bool isAltDown() const = 0;
    virtual bool isShiftDown() const = 0;
    virtual void onLeftDown(int32_t x, int32_t y) = 0;
    virtual void onLeftUp(int32_t x, int32_t y) = 0;
    virtual void onMiddleDown(int32_t x, int32_t y) = 0;
    virtual void onMiddleUp(int32_t x, int32_t y) = 0;
    virtual void onRightDown(int32_t x, int32_t y) = 0;
    virtual void onRightUp(int32_t x, int32_t y) = 0;
    virtual void onMouseMove(int32_t x, int32_t y) = 0;
    virtual void onWheel(int32_t x, int32_t steps) = 0;
    virtual void draw(CDrawBuffer* target) = 0;
    // Every idle pass, for each visible control.
    virtual void onTimer() = 0;
    virtual void onHoverChanged() = 0;
    virtual bool onFileDrop(const char* path, int32_t x, int32_t y) = 0;
    virtual Point getMousePos() = 0;

    // Kept by the owner group: its list link, the group itself, and the marks
    // its mouse routing and idle pass read and write.
    CControl* next = nullptr;
    CControlGroup* group = nullptr;
    bool hidden = false;
    bool hovered = false;
    // The group's calls into the control in progress, and whether the control
    // was removed meanwhile (it is deleted when the last call returns).
    int32_t calls = 0;
    bool removed = false;
};
