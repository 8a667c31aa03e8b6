#pragma once
// One plug-in instance seen from the host: the opening sequence, start and
// stop, per-block MIDI and audio, parameters and programs, and the answers to
// the plug-in's host callback. The standalone program wraps it in its audio
// source and timer; tests drive it directly.
//
// Thread use:
// - message thread: creation, destruction, dispatch and everything that
//   reaches the dispatcher, prepareToPlay, releaseResources, idle, setters;
// - audio thread: addBlockMidi, render, takeOutgoingMidi (never the
//   dispatcher lock; no allocation once the event block and the scratch
//   buffer have grown to the largest block seen);
// - the host callback may arrive on any thread the plug-in chooses.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/vst/VstOpcodes.h"
#include "framework/vst/VstRecords.h"
#include "framework/vst/host/PluginModule.h"

class HostedPlugin {
public:
    // What the instance asks of the program around it. Called on whatever
    // thread the plug-in calls back on; the program moves the work onto its
    // message thread.
    class Listener {
    public:
        virtual ~Listener() = default;
        // audioMasterIdle (restart false: start unless running) and
        // audioMasterNeedIdle (restart true).
        virtual void idleRequested(bool restart) = 0;
        // audioMasterSizeWindow.
        virtual void editorSizeRequested(int width, int height) = 0;
    };

    static constexpr int kMaxChannels = 64;
    static constexpr int kProgramNameBytes = 256;
    static constexpr const char* kVendorText = "Ostravelin";
    static constexpr const char* kProductText = "Tambrell";

    // Calls the entry with the current folder set to the library's folder.
    // Null, with a text for the user in *error, when the plug-in gave no
    // effect or one this host cannot drive (more than 64 inputs or outputs,
    // or no process entry to call).
    static std::unique_ptr<HostedPlugin> create(
        PluginLoadInfo& info, Listener* listener = nullptr, std::string* error = nullptr);
    ~HostedPlugin();  // effClose; the plug-in frees its own record
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    AEffect* effect() const { return effect_; }
    const PluginLoadInfo& loadInfo() const { return info_; }
    // The dispatcher lock: every call into the plug-in from the message side.
    std::recursive_mutex& dispatcherLock() { return dispatcherLock_; }

    // Under the dispatcher lock; a throw from the plug-in answers 0 and sets
    // *threw when given.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f,
        bool* threw = nullptr);

    int getNumPrograms() const { return effect_ ? effect_->numPrograms : 0; }
    int getNumParameters() const { return effect_ ? effect_->numParams : 0; }
    int getNumInputChannels() const { return effect_ ? effect_->numInputs : 0; }
    int getNumOutputChannels() const { return effect_ ? effect_->numOutputs : 0; }
    bool hasEditor() const { return effect_ && (effect_->flags & effFlagsHasEditor) != 0; }

    float getParameter(int index);
    // Sends the value only when the plug-in reports a different one.
    void setParameter(int index, float value);
    std::string getInputChannelName(int index);
    std::string getOutputChannelName(int index);

    void setProgram(int program);
    std::string getCurrentProgramName();
    void setCurrentProgramName(const std::string& name);
    void refreshProgramNames();
    const std::vector<std::string>& programNames() const { return programNames_; }
    // 64 bytes of name, then every parameter as a native float.
    using ProgramSnapshot = std::vector<unsigned char>;
    ProgramSnapshot snapshotProgram();
    void restoreSnapshot(const ProgramSnapshot& snapshot);

    // The plug-in's state (effGetChunk), copied at once; empty when the plug-in
    // answers a null pointer or a size of 0 or less, which is no state.
    std::vector<unsigned char> getChunk(bool preset);

    void prepareToPlay(int blockSize, double sampleRate);
    void releaseResources();
    bool isStarted() const { return started_; }
    bool isProcessing() const { return processing_.load(std::memory_order_acquire); }
    double sampleRate() const { return sampleRate_; }
    int blockSize() const { return blockSize_; }

    // Audio thread, once per block before render: the block's MIDI input.
    // Messages of four bytes or more (system exclusive) are not forwarded.
    void beginBlockMidi() { eventCount_ = 0; }
    void addBlockMidi(int samplePosition, const unsigned char* data, int size, int blockFrames);
    // Audio thread: runs the plug-in in place over numSamples frames from
    // startSample of the device channels (each bufferLength frames long) and
    // applies the volume over the whole buffer. Silence while not processing.
    void render(float* const* channels, int numChannels, int startSample, int numSamples, int bufferLength);
    // Audio thread, after render: hands every message the plug-in sent since
    // the last call to send (in order) and forgets them. Skipped, keeping the
    // messages for the next block, while another thread is adding some.
    void takeOutgoingMidi(const std::function<void(const unsigned char*, int, int)>& send);

    // effIdle for the idle timer; the timer stops when this answers 0.
    VstIntPtr idle() { return dispatch(effIdle); }

    void setVolume(int percent);
    int volume() const { return volume_.load(std::memory_order_relaxed); }
    void setTempo(double bpm) { tempo_.store(bpm, std::memory_order_relaxed); }
    const VstTimeInfo& timeInfo() const { return timeInfo_; }
    std::atomic<bool> keysWanted {false};

    // The callback handed to the entry, and its answers before the instance
    // is known (the calls made inside the entry).
    static VstIntPtr hostCallback(
        AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    static VstIntPtr staticHostAnswer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

private:
    HostedPlugin(PluginLoadInfo& info, Listener* listener);
    VstIntPtr answerHostOpcode(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void startPlugin();
    void receivePluginEvents(const VstEvents* events);
    void ensureEventCapacity(int count);
    void freeEventBlock();
    float* scratchChannel(int channel, int frames);
    void ensureScratch(int channels, int frames);
    std::string pinLabel(VstInt32 opcode, int index, int count);

    PluginLoadInfo& info_;
    Listener* listener_;
    AEffect* effect_ = nullptr;
    std::recursive_mutex dispatcherLock_;
    double sampleRate_;
    int blockSize_;
    bool started_ = false;
    bool mainsOn_ = false;
    std::atomic<bool> processing_ {false};
    std::vector<std::string> programNames_;

    // The event block: a VstEvents header with capacity pointers, each to a
    // record of its own that lives as long as the block.
    std::vector<unsigned char> eventStorage_;
    std::vector<std::unique_ptr<VstMidiEvent>> eventRecords_;
    int eventCapacity_ = 0;
    int eventCount_ = 0;

    std::vector<float> scratch_;
    int scratchFrames_ = 0;

    // What the plug-in sends: [position int32][size int32][bytes], packed.
    std::mutex midiOutLock_;
    std::vector<unsigned char> midiOut_;
    std::size_t midiOutUsed_ = 0;

    VstTimeInfo timeInfo_ {};
    std::atomic<double> tempo_ {120.0};
    std::atomic<int> volume_ {100};
    float* inputs_[kMaxChannels] = {};
    float* outputs_[kMaxChannels] = {};
};
