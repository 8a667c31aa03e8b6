#pragma once
#include <atomic>
#include <cstdint>

#include "framework/engine/EditorView.h"
#include "framework/gui/CPluginFrame.h"
#include "framework/gui/GuiTypes.h"

class CBitmap;
class CControl;
class CControlGroup;
class CDrawBuffer;

// The plug-in's editor: a child window of the host's window painted from a
// back buffer, a list of control groups that get its mouse events, idle passes
// and value updates, an endless drag with a hidden cursor for knobs, dropped
// files, and the skin's pictures in the process-wide cache.
//
// Threads: everything runs on the UI thread that owns the host's window, except
// the EditorView requests (requestParameterValue, requestAllValues), which any
// thread may call; they only leave marks that the next timer tick applies.
class CPluginUI : public CPluginFrame, public EditorView {
public:
    CPluginUI(void* moduleHandle, int32_t height, int32_t width);
    // Closes the window when still open, then deletes the back buffer. By now
    // the derived parts are gone: destroyView closes before they go.
    ~CPluginUI() override;

    virtual void redrawAll();
    virtual void redrawRect(Rect r);
    // Holds window repaints; returns the new depth.
    virtual int32_t beginUpdate();
    virtual void endUpdate();
    virtual void releaseUpdate(bool redraw);
    // One timer tick's work.
    virtual void idle();
    virtual void preIdle();
    virtual void postIdle();
    virtual bool captureMouse(bool hideCursor);
    virtual bool releaseMouse();
    virtual bool isMouseCaptured() const { return captured; }
    virtual void startTimer(int32_t milliseconds);
    // Keys come here only for an editor whose handlesKeys() is true.
    virtual void onKeyDown(int32_t key);
    virtual void onKeyUp(int32_t key);
    virtual void cancelMouse();
    // Copies the area from the back buffer to the window; drawing never happens here.
    virtual void paintRect(Rect r);
    virtual bool onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code);
    virtual bool onFileDrop(const char* path, int32_t x, int32_t y);

    virtual void addGroup(CControlGroup* group);
    // The group that followed the removed one; null when not found (the root is
    // never removed).
    virtual CControlGroup* removeGroup(CControlGroup* group);
    virtual CControlGroup* getGroupById(int32_t id);
    virtual CControlGroup* getGroupByIndex(int32_t index);
    virtual CControlGroup* getRootGroup() { return groups; }
    virtual void setActiveGroup(CControlGroup* group);
    virtual void addControl(CControl* control);
    virtual CControl* removeControl(CControl* control);
    // Draws a dirty control into the back buffer and, unless the whole editor
    // is repainted anyway, copies its rectangle to the window.
    virtual bool drawControl(CControl* control);
    virtual CControl* getControlById(int32_t id);
    virtual CDrawBuffer* getBackBuffer() { return backBuffer; }
    virtual CBitmap* getBitmap(BitmapKey key);
    virtual BitmapKey getBackgroundKey() const { return backgroundKey; }
    virtual CBitmap* getBackgroundBitmap();
    virtual void setBackgroundKey(BitmapKey key);
    virtual void setDirty(bool value) { dirty = value; }
    virtual bool isDirty() const { return dirty; }
    // Joins folder and name with '/'; false when the joined path does not fit.
    virtual bool loadBitmapFromFolder(const char* folder, const char* name, BitmapKey key);
    // The first picture loaded under a key wins, across every editor of the process.
    virtual bool loadBitmap(const char* path, BitmapKey key);
    virtual void updateAllValues();
    virtual void onControlChanged(CControl* control);
    virtual bool createControls();
    virtual float getParameterValue(CControl* control);
    virtual void getParameterLabel(CControl* control, char* text);
    virtual void getParameterDisplay(CControl* control, char* text);
    virtual void getParameterName(CControl* control, char* text);
    virtual float getParameterDefault(CControl* control);
    virtual void beginEdit(CControl* control);
    virtual void endEdit(CControl* control);
    // Height first.
    virtual SizeHW getEditorSize() const { return {editorHeight, editorWidth}; }
    virtual bool needsRedraw();
    virtual bool open(int32_t height, int32_t width, void* parent);
    virtual int32_t close();
    // Shows a value from the engine or the host in the control with that id;
    // true when the control changed. The plain frame has no parameters.
    virtual bool setParameterValue(int32_t id, float value);

    // Window-relative cursor position; (-1, -1) without a window.
    Point getCursorPos() const;
    ModifierKeys getModifierKeys() const;
    // A capture the window system took away cancels every group's mouse state.
    void cancelLostCapture();

    // Set by a group whose control holds the mouse capture.
    CControlGroup* modalGroup = nullptr;
    CControlGroup* activeGroup = nullptr;
    // Milliseconds between ticks; a derived editor may change it before open.
    int32_t timerInterval = 40;
    Point lastMousePos;

    // EditorView
    ViewSize viewSize() override { return {editorWidth, editorHeight}; }
    bool openView(void* parentWindow, ViewSize size) override;
    void closeView() override { close(); }
    uintptr_t viewHandle() const override;
    void idleView() override;
    // Closes an open window first, while the whole editor still answers: a
    // drag cut short ends its edit through the derived editor.
    void destroyView() override;
    void requestParameterValue(int32_t id, float value) override;
    void requestAllValues() override;

    // Ids at or above this leave no request (control ids are program value indices).
    static constexpr int32_t kRequestIds = 512;

    // IWindowListener
    void onWindowEvent(const platform::WindowEvent& event) override;
    void onWindowTimer() override;

protected:
    CControlGroup* groups = nullptr;
    Point idleCursor;
    CDrawBuffer* backBuffer = nullptr;
    int32_t editorHeight = 0;
    int32_t editorWidth = 0;
    BitmapKey backgroundKey = kNoBitmap;
    bool dirty = true;

private:
    // A walk over the group list in progress: a group removed by a call out
    // (a control's change handler rebuilding groups) is never touched again.
    struct GroupWalk {
        CControlGroup* current = nullptr;
        CControlGroup* following = nullptr;  // used when current was removed
        bool currentGone = false;
        GroupWalk* outer = nullptr;
    };
    class GroupWalkScope;
    void forgetGroup(CControlGroup* group);

    GroupWalk* groupWalks = nullptr;
    void endlessDragStep();
    void applyRequests();
    void dropRequests();

    std::atomic<bool> allValuesRequested {false};
    std::atomic<bool> someValueRequested {false};
    std::atomic<bool> valueRequested[kRequestIds] = {};
    std::atomic<float> requestedValue[kRequestIds] = {};
};
