#pragma once
#include <cstdint>

// Size of an editor in pixels.
struct ViewSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The editor as the engine and the host adaptors see it; the window and its
// drawing live in the GUI library, which implements this. Every operation has a
// harmless default.
class EditorView {
public:
    EditorView() = default;
    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;
    virtual ~EditorView() = default;

    // Host's UI thread: the adaptor's editor calls.
    virtual ViewSize viewSize() { return {}; }
    // Opens the editor as a child of the host's window (an X11 Window id on
    // Linux); false when it cannot.
    virtual bool openView(void* parentWindow, ViewSize size)
    {
        (void)parentWindow;
        (void)size;
        return false;
    }
    virtual void closeView() { }
    // The native handle of the open editor window (an X11 Window id), 0 while
    // closed; the native adaptor hands it to its host.
    virtual uintptr_t viewHandle() const { return 0; }
    // The host's idle call: the editor handles its window's events and runs its
    // timer when due. A plug-in has no event loop of its own.
    virtual void idleView() { }
    // Deletes the editor (closing its window first when still open).
    virtual void destroyView() { delete this; }

    // Any thread (the host's setParameter often comes on the audio thread, MIDI
    // controllers inside render, program switches from wherever a chunk is set).
    // These only leave a request: the editor's next tick shows the value.
    virtual void requestParameterValue(int32_t id, float value)
    {
        (void)id;
        (void)value;
    }
    // Every control pulls its value again on the next tick (after a program change).
    virtual void requestAllValues() { }
};
