#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "framework/engine/CFx.h"
#include "framework/engine/CMidiController.h"
#include "framework/engine/CPatternPlayer.h"
#include "framework/engine/CProgram.h"
#include "framework/engine/CSynthVoice.h"
#include "framework/engine/MidiQueueEvent.h"

class CPluginWrapper;

// The engine base of every plug-in built on the framework: programs and the
// current program, the MIDI event queue, the block render loop with its output
// gains, and the handshake that keeps program switches and rendering apart.
//
// Threads: the host/UI thread calls parameter, program, chunk and editor
// operations; the audio thread calls render and, just before it, the adaptor
// fills the queue. The audio thread never takes a lock: render and
// selectProgram exclude each other through an atomic pending counter and busy
// flag. Control calls that touch the chain or the program (chunks, program
// switches, rate, block size, suspend and resume) may come from several host
// threads at once (a session loader and the UI thread), so they also take
// turns under the control lock.
class CSynthesizer : public CMidiController {
public:
    static constexpr int32_t kQueueCapacity = 1024;
    static constexpr int32_t kBlockMaximum = 128;
    static constexpr int32_t kKeys = 128;
    static constexpr int32_t kControllers = 128;
    // Output pairs and channel pointers the multi-channel path copies, per
    // direction; the host adaptors size their arrays by the same limit.
    static constexpr int32_t kMaxOutputPairs = 64;
    static constexpr int32_t kMaxChannelPointers = 2 * kMaxOutputPairs;

    // Host thread (through the definition's createEngine).
    explicit CSynthesizer(CPluginWrapper* wrapper);
    CSynthesizer(const CSynthesizer&) = delete;
    CSynthesizer& operator=(const CSynthesizer&) = delete;

    // --- hooks of MIDI decoding (audio thread, from render) ---
    // A key starts (velocity > 0) or ends (0). Base: rebuilds the pattern steps.
    virtual void onNote(int8_t note, int8_t velocity);
    // Voice allocation for a key start or end. Also audio thread from the pattern player.
    virtual void playVoiceNote(int8_t note, int8_t velocity);
    virtual void onPitchBend();
    // Base: pushes every controller-linked parameter.
    virtual void onController(int8_t controller);
    virtual void onChannelPressure();
    virtual void onProgramChange(int32_t program);
    // True when the bank select was taken; false lets it through as controller 32.
    virtual bool onBankSelect(int32_t value);

    // Host thread: deletes programs, voices, effect unit and buffers.
    ~CSynthesizer() override;
    // Host thread: deletes the engine.
    virtual void destroy();

    // --- programs (host/UI thread) ---
    // Copies at most 255 characters; index 0 or below names the first program.
    virtual bool setProgramName(int32_t index, const char* text);
    // Copies the name out (at most 255 characters and the terminator).
    virtual bool getProgramName(int32_t index, char* text);
    virtual int32_t setBankChunk(const void* data, int32_t size);
    virtual int32_t setProgramChunk(const void* data, int32_t size);
    // A null buffer asks for the size only.
    virtual int32_t getBankChunk(void* buffer);
    virtual int32_t getProgramChunk(void* buffer);

    // --- parameters of the current program (host/UI thread; audio thread for
    // controller links and product hooks) ---
    virtual float getParameter(int32_t index);
    virtual float getParameterDefault(int32_t index);
    // Stores in the current program, then onParameterChanged. A value that is
    // not finite is ignored.
    virtual void setParameter(int32_t index, float value);
    virtual void getParameterName(int32_t index, char* text);
    virtual void getParameterDisplay(int32_t index, char* text);
    virtual void getParameterLabel(int32_t index, char* text);
    // The current program's conversions between a stored value and the
    // fraction a host holds (CProgram); unchanged without programs. Any
    // thread: they read nothing but the program's own scale.
    virtual float toHostValue(int32_t index, float stored);
    virtual float fromHostValue(int32_t index, float value);

    // Host/UI thread: switches program, waiting (10 ms sleeps) while a block
    // renders; no block renders while a switch is pending.
    virtual int32_t selectProgram(int32_t index);

    // --- render hooks (audio thread) ---
    virtual void preRender();
    virtual void renderBeforeVoices(float* inL, float* inR, float* mixL, float* mixR, int32_t frames);
    virtual void renderAfterVoices(float* inL, float* inR, float* mixL, float* mixR, int32_t frames);
    virtual void renderAfterEffect(float* inL, float* inR, float* mixL, float* mixR, int32_t frames);
    virtual void renderMultiOutput(float** inputs, float** outputs, int32_t frames);

    // Any thread that calls setParameter.
    virtual void onParameterChanged(int32_t index, float value);

    // Host thread (suspend/resume, sample-rate change, program switch); never
    // while a block renders when called through selectProgram.
    virtual void reset();
    virtual void setSampleRate(double rate);
    // Audio thread (host time info) or host thread.
    virtual void setTempo(double bpm);

    // Native adaptor only.
    virtual int32_t getOutputDestination(int32_t pairIndex);
    virtual int32_t getExtraName(int32_t index, char* text);
    virtual int32_t getMidiPort();
    // Audio thread: host transport state.
    virtual void setPlaying(bool playing);
    // Host thread: the host stopped or suspended processing, so no block
    // follows until it starts again. Base: nothing.
    virtual void processingStopped();

    // Audio thread: renders one host block; 0 when rendered, non-zero when the
    // block was skipped (busy, or a program switch pending). It reads the
    // definition's inputChannels input pointers and 2 x outputPairs output
    // pointers, each up to kMaxChannelPointers.
    virtual int32_t render(float** inputs, float** outputs, int32_t frames, bool replacing);

    // Audio thread: mono/legato voice handling.
    virtual void playMonoNote(int8_t note, int8_t velocity);
    // Target output gain of one side (true = right) from level, volume and pan.
    virtual float getOutputGain(bool right);

    // Host/UI threads, never the audio thread: one turn for a control call
    // that touches the chain or the program. The engine takes it in its own
    // such operations; an adaptor takes it around a call that also touches its
    // own state (a chunk buffer, a stored rate). Recursive, since a chunk
    // restore switches the program and a switch resets.
    using ControlTurn = std::unique_lock<std::recursive_mutex>;
    [[nodiscard]] ControlTurn takeControlTurn() { return ControlTurn(controlMutex); }

    // --- MIDI queue (audio thread, between blocks) ---
    // Appends one event; false when the queue already holds kQueueCapacity.
    bool queueMidiEvent(const MidiQueueEvent& event);
    int32_t getQueueCount() const { return queueCount; }

    // --- MIDI decoding and keys (audio thread) ---
    void decodeMidiEvent(int32_t index);
    void pressKey(int32_t note, int32_t velocity);
    void releaseKey(int32_t note);
    bool isSustainOn() const;
    void advancePattern(double rate, double bpm, int32_t frames);

    // --- state read by adaptors, editors and tests (host/UI thread; values the
    // audio thread writes, such as controllers and key state, are read there
    // without synchronisation and are only meaningful between blocks) ---
    CPluginWrapper* getWrapper() const { return wrapper; }
    CProgram* getCurrentProgram() const;
    int32_t getCurrentProgramIndex() const { return currentProgramIndex.load(); }
    int32_t getProgramCount() const { return programCount; }
    double getSampleRate() const { return sampleRate; }
    double getTempo() const { return tempo; }
    double getSongPosition() const { return songPosition; }
    // VST adaptor, audio thread, before render.
    void setSongPosition(double position) { songPosition = position; }
    double getControllerValue(int32_t controller) const;
    double getChannelPressure() const { return channelPressure; }
    // Native adaptor, host thread (its parameter access runs beside rendering
    // as VST automation does): store a controller (0..127) or the channel
    // pressure without decoding a MIDI message.
    void setControllerValue(int32_t controller, double value);
    void setChannelPressure(double value) { channelPressure = value; }
    double getPitchBend() const { return pitchBend; }
    // Null for a note outside 0..127.
    KeyRecord* getKeyRecord(int32_t note);
    uint8_t getKeyDown(int32_t note) const;
    // Set for keys that sounded during the current block.
    bool isKeyActive(int32_t note) const;
    int32_t getSilentFrames() const { return silentFrames; }
    CFx* getEffectUnit() const { return effectUnit; }
    CSynthVoice* getFirstVoice() const { return voiceList; }
    int32_t getPendingProgramChanges() const { return pendingProgramChanges.load(); }
    bool isBusy() const { return busy.load(); }

protected:
    // Appends a program to the list (owned) and counts it.
    void addProgram(CProgram* program);
    // Takes ownership; an earlier unit is destroyed.
    void setEffectUnit(CFx* fx);
    // Appends a voice to the list (owned) and counts it as allocatable.
    void addVoice(CSynthVoice* voice);
    // Links a stored parameter to a MIDI controller (-1 = none).
    void setControllerLink(int32_t parameter, int8_t controller);

    // Handshake halves for program switches: raise the pending counter and wait
    // until no block renders; then lower it again (never below 0).
    void beginProgramSwitch();
    void endProgramSwitch();
    // Tells host and onParameterChanged every stored value of the current program.
    void pushAllParameters();
    CProgram* programAt(int32_t index) const;

    // Voice settings of an instrument.
    double detuneAmount = 0.0;
    double glideTime = 0.0;  // seconds
    uint8_t glideMode = 0;
    float velocityCurve = 1.0f;
    uint8_t monoMode = 0;
    int32_t voiceCount = 0;
    int32_t unisonCount = 1;
    int32_t voiceAgeCounter = 0;
    uint8_t voiceMode = 1;
    uint8_t patternEnable = 0;
    int32_t lastNote = -1;
    CPatternPlayer pattern;

    double controllerValues[kControllers];
    double channelPressure = 0.0;
    double pitchBend = 0.0;
    KeyRecord keys[kKeys];
    uint8_t keyDown[kKeys];
    uint8_t noteVelocities[kKeys];
    uint8_t keyActivity[kKeys];

    float level = 1.0f;
    float pan = 0.5f;
    // Frames since a voice last sounded; stops at the int32 maximum.
    int32_t silentFrames = 0;

private:
    struct StereoPorts {
        float* inL = nullptr;
        float* inR = nullptr;
        float* outL = nullptr;
        float* outR = nullptr;
    };
    // Building one clears 2 KB of pointers, so only the multi-channel path
    // makes one; its hook sees every slot the host did not fill as null.
    struct MultiPorts {
        float* inputs[kMaxChannelPointers] = {};
        float* outputs[kMaxChannelPointers] = {};
        int32_t inputCount = 0;
        int32_t outputCount = 0;
    };

    void markSoundingKeys();
    void stepPatternAndMarkKeys(int32_t frames);
    void renderStereo(StereoPorts& ports, int32_t frames, bool replacing);
    void renderMulti(MultiPorts& ports, int32_t frames);
    template <typename RenderPiece> void runEvents(int32_t frames, RenderPiece&& renderPiece);
    void endBlock();
    int8_t nearestHeldNote(int32_t note) const;
    double glideRateFor(int32_t note, double start) const;
    CSynthVoice* pickVoice();
    uint32_t nextVoiceAge();

    MidiQueueEvent queue[kQueueCapacity];
    int32_t queueCount = 0;
    int32_t readIndex = 0;
    int32_t lastOffset = 0;
    int32_t currentEvent = -1;

    CSynthVoice* voiceList = nullptr;
    CFx* effectUnit = nullptr;
    CPluginWrapper* wrapper;
    CProgram* programList = nullptr;

    double tempo = 120.0;
    double songPosition = 0.0;
    double sampleRate = 1000.0;
    float currentGainL = 0.0f;
    float currentGainR = 0.0f;

    std::unique_ptr<int8_t[]> controllerMap;
    int32_t controllerMapSize = 0;
    std::unique_ptr<float[]> mixL;
    std::unique_ptr<float[]> mixR;
    std::unique_ptr<float[]> inCopyL;  // the piece's inputs, so hosts' buffers stay as they were
    std::unique_ptr<float[]> inCopyR;

    std::recursive_mutex controlMutex;
    std::atomic<int32_t> pendingProgramChanges {0};
    std::atomic<bool> busy {false};
    std::atomic<int32_t> currentProgramIndex {0};
    std::atomic<CProgram*> currentProgram {nullptr};
    int32_t programCount = 0;
};
