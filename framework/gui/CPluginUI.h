#pragma once
#include <cstdint>

// Size of an editor in pixels, height first.
struct EditorSize {
    int32_t height = 0;
    int32_t width = 0;
};

// The editor frame as the engine and the host adaptors see it. Every operation
// has a harmless default; the editor window classes override them. All of them
// run on the UI thread that owns the editor window.
class CPluginUI {
public:
    CPluginUI() = default;
    CPluginUI(const CPluginUI&) = delete;
    CPluginUI& operator=(const CPluginUI&) = delete;
    virtual ~CPluginUI() = default;

    // Pulls every parameter value into the controls (after a program change).
    virtual void updateAllValues() { }
    virtual EditorSize getEditorSize() { return {}; }
    // Opens the editor as a child of the host's window; false when it cannot.
    virtual bool open(int32_t height, int32_t width, void* parentWindow)
    {
        (void)height;
        (void)width;
        (void)parentWindow;
        return false;
    }
    virtual int32_t close() { return 0; }
    // Deletes the editor.
    virtual void destroy() { delete this; }
    // Shows a value that came from the engine or the host in the control with
    // that id; true when the control changed.
    virtual bool setParameterValue(int32_t id, float value)
    {
        (void)id;
        (void)value;
        return false;
    }
};
