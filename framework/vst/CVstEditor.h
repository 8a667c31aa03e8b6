#pragma once
// Hosts the framework's editor (an EditorView) inside the window a VST host gives.

#include "framework/vst/AEffEditor.h"

class EditorView;

class CVstEditor : public AEffEditor {
public:
    explicit CVstEditor(AudioEffect* effect);
    ~CVstEditor() override;  // destroys the framework editor

    // Takes ownership; the rectangle follows the editor's size.
    void setPluginUI(EditorView* ui);
    EditorView* getPluginUI() const { return editor; }

    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    // Closes the framework editor; the parent stays recorded, as hosts have
    // always seen it.
    void close() override;
    // effEditIdle: the editor's window events and its due timer tick.
    void idle() override;

private:
    ERect rect {0, 0, 0, 0};
    EditorView* editor = nullptr;
};
