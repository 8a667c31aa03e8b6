#pragma once
#include <cstdint>

#include "framework/gui/GuiTypes.h"

class CBitmap;
class CControl;
class CPluginUI;

// Owns a list of controls, routes the editor's mouse events to them, keeps the
// mouse capture and a focused control, and runs the per-tick idle pass. A
// control's handler may remove controls of the group, or the group itself,
// while the group is walking its list: every walk reads the next control only
// after a call returns and never touches a control that has been destroyed.
// A control removed by a handler it called itself (its own change report) is
// held until the group's call into it returns: it may still end its edit, but
// takes neither the capture nor the focus, and is deleted then.
// UI thread only.
class CControlGroup {
public:
    CControlGroup(CPluginUI* editor, int32_t id);
    CControlGroup(const CControlGroup&) = delete;
    CControlGroup& operator=(const CControlGroup&) = delete;
    virtual ~CControlGroup();

    virtual int32_t getId() const;
    virtual void setId(int32_t newId);
    // Takes ownership; the control's value comes from the editor.
    virtual void addControl(CControl* control);
    // Deletes the control; the control that followed it, or null.
    virtual CControl* removeControl(CControl* control);
    virtual int32_t removeAllControls();
    virtual CControl* getControlById(int32_t controlId);
    virtual CControl* getControlByIndex(int32_t n);
    virtual CBitmap* getBitmap(BitmapKey key);
    // Pulls every control's value from the editor without reporting changes.
    virtual void updateValues();
    virtual void cancelAll();
    virtual bool onFileDrop(const char* path, int32_t x, int32_t y);
    virtual bool isActive();
    virtual void setActive(bool active);
    virtual void setFocusControl(CControl* control);
    virtual void destroy();
    // True when a control received the event.
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

private:
    // A walk over the list in progress; removals and the group's destruction
    // during a call out keep it pointing at live controls.
    struct Walk {
        CControl* current = nullptr;
        CControl* following = nullptr;  // used when current was removed
        bool currentGone = false;
        bool groupGone = false;
        Walk* outer = nullptr;
    };
    class WalkScope;
    class CallScope;
    void forgetControl(CControl* control);
    void deleteAll(bool groupGoing);
    // Deletes a control that has left the list, or, while a call into it is in
    // progress, leaves that to the call.
    void dispose(CControl* control, bool groupGoing);
    void unpark(CControl* control);

    Walk* walks_ = nullptr;
    // Removed controls still inside a call, linked through next.
    CControl* parked_ = nullptr;
};
