#pragma once
// Base of a plug-in's editor as the VST 2.4 dispatcher drives it. Every
// operation has a harmless default so an editor overrides only what it needs.

#include "framework/vst/VstRecords.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect = nullptr)
        : effect(effect)
    {
    }
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual AudioEffect* getEffect() { return effect; }
    // Answers the editor's size; the base has none.
    virtual bool getRect(ERect** rect)
    {
        if (rect)
            *rect = nullptr;
        return false;
    }
    virtual bool open(void* ptr)
    {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() { }
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(VstInt32 /*val*/) { return false; }

protected:
    AudioEffect* effect;  // not owned
    void* systemWindow = nullptr;  // parent window while open
};
