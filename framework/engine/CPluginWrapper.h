#pragma once
#include <cstdint>

class EditorView;

// The way back from engine and editor to whichever host adaptor created them
// (VST 2.4 or the native protocol). Every operation has a harmless default so an
// adaptor overrides only what its host offers.
class CPluginWrapper {
public:
    virtual ~CPluginWrapper() = default;

    // Host/UI thread (engine onController, selectProgram, editor bridge); the
    // audio thread too when a MIDI controller is linked to a parameter.
    // Tells the host that a parameter changed (automation).
    virtual void parameterChanged(int32_t index, float value)
    {
        (void)index;
        (void)value;
    }
    // Any thread; the framework never calls it. Stores the adaptor's program number.
    virtual void setCurrentProgram(int32_t index) { (void)index; }
    // Host/UI thread (selectProgram, product engine); audio thread from
    // onController. The editor, or null when none is attached.
    virtual EditorView* getEditor() { return nullptr; }
    // UI thread: start and end of a control gesture.
    virtual void beginEdit(int32_t index) { (void)index; }
    virtual void endEdit(int32_t index) { (void)index; }
    // Never called by the framework.
    virtual void setChannelFlag(int32_t channel, int32_t flag)
    {
        (void)channel;
        (void)flag;
    }
    // UI thread: right click on a parameter control; non-zero when the host's
    // own menu took the click.
    virtual int32_t showParameterMenu(int32_t index)
    {
        (void)index;
        return 0;
    }
    // Never called by the framework.
    virtual int32_t hostCommand50() { return 0; }
    // Never called by the framework. Writes an empty text.
    virtual void getHostItemName(int32_t index, char* text)
    {
        (void)index;
        if (text != nullptr)
            text[0] = '\0';
    }
    // Never called by the framework.
    virtual void hostCommand3() { }
};
