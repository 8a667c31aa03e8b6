#pragma once
#include <cstdint>

#include "framework/gui/GuiTypes.h"

class CBitmap;
class CControl;
class CPluginUI;

// A list of controls the editor routes mouse events, idle passes and value
// updates to. It owns its controls, keeps the mouse capture and a focused
// control, and forwards the controls' parameter questions and edits to the
// editor. The editor keeps its groups in a list through nextGroup; its root
// group has id -1. UI thread only.
class CControlGroup {
public:
    CControlGroup(CPluginUI* editor, int32_t id);
    CControlGroup(const CControlGroup&) = delete;
    CControlGroup& operator=(const CControlGroup&) = delete;
    // Releases the capture, then deletes every control.
    virtual ~CControlGroup();

    virtual int32_t getId() const;
    virtual void setId(int32_t id);
    virtual void addControl(CControl* control);
    // The control that followed the removed one; null when not found.
    virtual CControl* removeControl(CControl* control);
    virtual int32_t removeAllControls();
    virtual CControl* getControlById(int32_t id);
    virtual CControl* getControlByIndex(int32_t index);
    virtual CBitmap* getBitmap(BitmapKey key);
    virtual void updateValues();
    virtual void cancelAll();
    virtual bool onFileDrop(const char* path, int32_t x, int32_t y);
    virtual bool isActive();
    virtual void setActive(bool active);
    virtual void setFocusControl(CControl* control);
    // Deletes the group.
    virtual void destroy();
    virtual bool onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code);
    virtual void setCapture(CControl* control, bool hideCursor);
    virtual void releaseCapture();
    virtual void idle(bool moved, int32_t x, int32_t y);
    virtual void preIdle();
    virtual void postIdle();
    virtual void onControlChanged(CControl* control);
    virtual void getName(CControl* control, char* text);
    virtual void getDisplay(CControl* control, char* text);
    virtual void getLabel(CControl* control, char* text);
    virtual float getDefaultValue(CControl* control);
    virtual CPluginUI* getEditor();

    CControl* captured = nullptr;
    CControl* focused = nullptr;
    CControlGroup* nextGroup = nullptr;  // kept by the editor
    CControl* controls = nullptr;
    CPluginUI* editor = nullptr;
    int32_t id = 0;
    ModifierKeys lastModifiers = 0;
    bool wasActive = false;
};
