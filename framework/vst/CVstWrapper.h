#pragma once
// The plug-in as a VST 2.4 host sees it: creates the engine and the editor
// through the global definition, turns every VST call into engine work, feeds
// host MIDI to the engine, and is the CPluginWrapper through which engine and
// editor reach the host.
//
// Threads: host threads call the dispatcher, parameters, chunks and the
// editor; the audio thread calls processEvents and processReplacing/process.
// The audio path takes no lock: program switches and rendering exclude each
// other inside the engine. Hosts may make control calls from several threads
// at once, so chunks, programs, rate, block size, suspend and resume take the
// engine's control turn.

#include <cstdint>
#include <memory>

#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/engine/MidiQueueEvent.h"
#include "framework/vst/AudioEffectX.h"

class CVstEditor;

class CVstWrapper : public AudioEffectX {
public:
    explicit CVstWrapper(audioMasterCallback audioMaster);
    ~CVstWrapper() override;

    void open() override;
    void close() override;
    void suspend() override;
    void resume() override;
    VstInt32 stopProcess() override;
    void setSampleRate(float rate) override;
    void setBlockSize(VstInt32 size) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 canDo(char* text) override;
    VstPlugCategory getPlugCategory() override;

    // The engine and editor talk back through this interface. It is a member
    // rather than a base because its getEditor/beginEdit/endEdit would clash
    // with the VST operations of the same names.
    CPluginWrapper* pluginWrapper() { return &bridge; }
    CSynthesizer* getEngine() const { return engine; }

    // Host text limits (characters, without the NUL) the wrapper writes.
    static constexpr int kProgramNameChars = kVstMaxProgNameLen;
    static constexpr int kEffectNameChars = kVstMaxEffectNameLen - 1;
    static constexpr int kVendorChars = kVstMaxVendorStrLen - 1;
    static constexpr int kProductChars = kVstMaxProductStrLen - 1;
    static constexpr int kPinLabelChars = kVstMaxLabelLen - 1;
    static constexpr int kParameterTextChars = 63;

private:
    class Bridge : public CPluginWrapper {
    public:
        explicit Bridge(CVstWrapper& owner)
            : owner(owner)
        {
        }
        void parameterChanged(int32_t index, float value) override;
        void setCurrentProgram(int32_t index) override;
        EditorView* getEditor() override;
        void beginEdit(int32_t index) override;
        void endEdit(int32_t index) override;

    private:
        CVstWrapper& owner;
    };

    EditorView* pluginEditor() const;
    // The engine's control turn; an empty one without an engine.
    CSynthesizer::ControlTurn controlTurn();
    bool isPublished(VstInt32 index) const { return index >= 0 && index < numParams; }
    void releaseAll();
    void updateTransport();
    void renderBlock(float** inputs, float** outputs, VstInt32 frames, bool replacing);

    Bridge bridge;
    CSynthesizer* engine = nullptr;
    char* chunkBuffer = nullptr;

    int32_t outputChannels = 0;
};
