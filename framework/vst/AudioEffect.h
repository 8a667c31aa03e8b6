#pragma once
// The first VST 2.4 base class: turns the AEffect record a host holds into
// virtual operations and answers the core dispatcher opcodes (0-24). Every
// operation has a default, so small effects (the plate reverb) override only
// their processing and parameters.

#include "framework/vst/AEffEditor.h"
#include "framework/vst/VstOpcodes.h"
#include "framework/vst/VstRecords.h"

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();  // deletes an attached editor

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    virtual void open() { }
    virtual void close() { }
    virtual void suspend() { }
    virtual void resume() { }

    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }

    // A concrete effect overrides this; the default writes silence so that an
    // effect without processing never hands the host stale memory.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, VstInt32 /*sampleFrames*/) { }

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) { }
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // Sets the value and tells the host so it can record automation.
    virtual VstIntPtr setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) { }
    virtual void getProgramName(char* name) { clearText(name); }
    virtual void getParameterLabel(VstInt32 /*index*/, char* label) { clearText(label); }
    virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { clearText(text); }
    virtual void getParameterName(VstInt32 /*index*/, char* text) { clearText(text); }

    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false) { return 0; }

    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    // Text formatting. maxLen counts characters; the buffer holds maxLen + 1.
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

    // Deprecated accumulating entry; adds nothing by default.
    virtual void process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*sampleFrames*/) { }
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }

    // Attaches (or with null detaches) the editor; the effect owns it from now.
    void setEditor(AEffEditor* newEditor);
    audioMasterCallback getAudioMaster() const { return audioMaster; }

protected:
    // Sends one host-callback opcode; 0 when there is no host.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void setFlag(VstInt32 flag, bool state);
    bool hasFlag(VstInt32 flag) const { return (cEffect.flags & flag) != 0; }
    static void clearText(char* text)
    {
        if (text)
            text[0] = 0;
    }

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;

private:
    // The dispatcher's cases, one handler per core opcode; each checks what the
    // host handed in before it reaches a virtual operation.
    VstIntPtr dispatchOpen();
    VstIntPtr dispatchClose();
    VstIntPtr dispatchSetProgram(VstIntPtr value);
    VstIntPtr dispatchText(void (AudioEffect::*get)(char*), char* text);
    VstIntPtr dispatchParameterText(void (AudioEffect::*get)(VstInt32, char*), VstInt32 index, char* text);
    VstIntPtr dispatchGetVu();
    VstIntPtr dispatchSetSampleRate(float opt);
    VstIntPtr dispatchSetBlockSize(VstIntPtr value);
    VstIntPtr dispatchMainsChanged(VstIntPtr value);
    VstIntPtr dispatchEditGetRect(void* ptr);
    VstIntPtr dispatchEditOpen(void* ptr);
    VstIntPtr dispatchEditClose();
    VstIntPtr dispatchEditIdle();
    VstIntPtr dispatchGetChunk(VstInt32 index, void* ptr);
    VstIntPtr dispatchSetChunk(VstInt32 index, VstIntPtr value, void* ptr);

    // The functions stored in the AEffect record; each finds the object
    // through the record's object field.
    static VstIntPtr entryDispatcher(
        AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) noexcept;
    static void entryProcess(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept;
    static void entryProcessReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept;
    static void entryProcessDoubleReplacing(
        AEffect* e, double** inputs, double** outputs, VstInt32 sampleFrames) noexcept;
    static void entrySetParameter(AEffect* e, VstInt32 index, float value) noexcept;
    static float entryGetParameter(AEffect* e, VstInt32 index) noexcept;
    static AudioEffect* fromRecord(AEffect* e);
};
