#pragma once
// The plug-in as the native host sees it: a plug record with a table of
// operations, created by CreatePlugInstance and deleted by its Destroy. It
// creates the engine and the editor through the global definition, turns the
// host's operations into engine work, and is the CPluginWrapper through which
// engine and editor reach the host.
//
// Threads: the host's UI thread calls HandleMessage, TransferState,
// GetItemName, AccessParameter and Destroy; the audio thread calls
// RenderEffect and RenderGenerator, and, between two renders, the voice and
// MIDI operations (they fill the engine's event queue). No lock is taken:
// program switches and rendering exclude each other inside the engine.

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "framework/engine/CPluginWrapper.h"
#include "framework/native/NativeProtocol.h"
#include "framework/native/ParameterSpace.h"
#include "platform/PopupMenu.h"

class CMxsWrapper;
class CSynthesizer;

// The record the host holds, followed by the way back to its wrapper. Standard
// layout, so a pointer to the record is a pointer to this object.
struct NativePlugObject {
    TOrvanePlug record;
    CMxsWrapper* owner;
};
static_assert(std::is_standard_layout_v<NativePlugObject>);

// The protocol's default operations, for slots an adaptor leaves alone:
// nothing happens, and AccessParameter hands the value back.
struct TCPPOrvanePlug {
    static const TOrvanePlugOperations& defaults();
};

class CMxsWrapper {
public:
    static constexpr int32_t kScratchFrames = 65536;
    // Two per output pair, up to the engine's limit of pairs.
    static constexpr int32_t kMaxExtraOutputs = 128;
    static constexpr int32_t kKeys = 128;
    static constexpr int32_t kChannels = 128;
    static constexpr int32_t kMenuLimit = 1024;
    static constexpr int32_t kMenuFirstId = 1024;
    static constexpr int32_t kInitialSampleRate = 44100;

    // Host thread (CreatePlugInstance). Fills the information record, builds
    // the wrapper with its engine and editor; null when memory runs out or no
    // definition is installed.
    static CMxsWrapper* create(TOrvaneHost* host, int32_t tag) noexcept;
    // The wrapper behind a plug record the host hands back; null for null.
    static CMxsWrapper* fromPlug(TOrvanePlug* plug) noexcept;
    static const TOrvanePlugOperations& operations();
    // The process's one information record.
    static TOrvanePlugInfo& info();

    TOrvanePlug* plug() { return &object_.record; }
    CPluginWrapper* pluginWrapper() { return &bridge_; }
    CSynthesizer* getEngine() const { return engine_; }
    EditorView* getEditor() const { return editor_; }

    // ---- host operations, slot by slot ----
    // UI thread: closes the editor, frees editor, engine and buffers, deletes self.
    void destroy();
    // UI thread: editor open/close (0), reset (2), sample rate (4), switch
    // (11), editor idle (kOrvaneMsgEditorIdle, which also serves an open
    // parameter menu).
    int32_t handleMessage(int32_t id, intptr_t index, intptr_t value);
    // UI thread: the state stream; a null stream does nothing.
    void transferState(NativeByteStream* stream, bool save);
    // UI thread: names and value texts into the host's 256-byte text.
    void getItemName(int32_t kind, int32_t index, char* text);
    // Any thread: id 0 sets the tempo.
    int32_t receiveEvent(int32_t id, float value);
    // UI thread, beside rendering: reads or writes a parameter of ParameterSpace.
    int32_t accessParameter(int32_t index, int32_t value, int32_t flags);
    // Audio thread: interleaved stereo in, interleaved stereo out.
    void renderEffect(const float* input, float* output, int32_t frames);
    // Audio thread: adds the rendered sound into the host's interleaved buffer.
    void renderGenerator(float* buffer, int32_t* frames);
    // Audio thread, between renders: voices as notes in the engine's queue.
    intptr_t startVoice(const TOrvaneVoiceRecord* record, intptr_t voiceTag);
    void releaseVoice(intptr_t handle);
    void killVoice(intptr_t handle);
    void killAllVoices();
    void receiveMidi(const uint8_t* message);

    // Host-side state, for tests and the host's inspection.
    float getControllerSlot(int32_t slot) const;
    uint8_t getChannelEnable(int32_t channel) const;
    bool isEditorOpen() const { return editorOpen_; }

private:
    // What engine and editor see of the host.
    class Bridge : public CPluginWrapper {
    public:
        explicit Bridge(CMxsWrapper& owner)
            : owner_(owner)
        {
        }
        // Engine or editor thread: reports an own parameter to the host.
        void parameterChanged(int32_t index, float value) override;
        void setCurrentProgram(int32_t index) override;
        EditorView* getEditor() override { return owner_.editor_; }
        void beginEdit(int32_t index) override;
        void endEdit(int32_t index) override;
        void setChannelFlag(int32_t channel, int32_t flag) override;
        // UI thread: the host's menu for a parameter, shown at the cursor.
        int32_t showParameterMenu(int32_t index) override;
        int32_t hostCommand50() override;
        // UI thread: text must hold kOrvaneNameCapacity bytes.
        void getHostItemName(int32_t index, char* text) override;
        void hostCommand3() override;

    private:
        CMxsWrapper& owner_;
    };

    CMxsWrapper(TOrvaneHost* host, int32_t tag);
    ~CMxsWrapper();
    bool allocateBuffers();
    void release();

    const TOrvaneHostOperations* hostOps() const;
    intptr_t dispatch(int32_t message, intptr_t index, intptr_t value);
    void openEditor(uintptr_t parent);
    void closeEditor();
    // UI thread, on the editor's idle: carries out the answer of an open
    // parameter menu once the user has given one.
    void serveParameterMenu();
    // Takes an open parameter menu away unanswered.
    void dropParameterMenu();
    void setSampleRate(int32_t rate);
    void setController(int32_t slot, float value);
    void queueNote(int32_t status, int32_t data1, int32_t data2, int32_t spare);
    void endHostVoice(int32_t key);
    void applyHostVoices();
    void endFinishedHostVoices();

    NativePlugObject object_;
    Bridge bridge_;
    ParameterSpace space_;
    TOrvaneHost* host_;
    int32_t hostTag_;
    int32_t outputPairs_ = 1;
    bool instrument_ = false;

    CSynthesizer* engine_ = nullptr;
    EditorView* editor_ = nullptr;
    bool editorOpen_ = false;

    std::unique_ptr<float[]> scratchL_;
    std::unique_ptr<float[]> scratchR_;
    std::unique_ptr<float[]> extraOutputs_[kMaxExtraOutputs];

    bool firstRate_ = true;
    // Set only while the first program selection runs; parameterChanged may
    // read it from the audio thread (controller links).
    std::atomic<bool> firstSelect_ {false};

    platform::PopupRequest menu_;
    // The parameter menu on the screen, and the parameter it is for; the host
    // hears the choice on a later idle, never inside the click's call.
    std::unique_ptr<platform::IPopupRun> menuRun_;
    int32_t menuParameter_ = -1;
    float controllerValues_[ParameterSpace::kExtra] = {};
    const TOrvaneVoiceRecord* voiceRecords_[kKeys] = {};
    intptr_t voiceTags_[kKeys] = {};
    uint8_t channelEnables_[kChannels];
};

// What the exported CreatePlugInstance does: marks the host format as native
// and creates the plug object; null when that fails.
TOrvanePlug* createPlugInstance(TOrvaneHost* host, int32_t tag) noexcept;
