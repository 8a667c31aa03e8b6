#pragma once
// A minimal VST 2.4 host for tests: creates an instance through one of the
// exports of a module loaded by the project's loader (PluginModule), answers the host callback, records
// every call the plug-in makes, and drives the instance only through AEffect.
//
// Thread use: the host callback may be entered from any thread (the plug-in
// calls it from processReplacing on the audio thread); recording is locked.
// Everything else belongs to the thread that owns the VstTestHost.

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framework/vst/VstOpcodes.h"
#include "framework/vst/VstRecords.h"
#include "framework/vst/host/PluginModule.h"

// The tests load modules with the project's own loader.
using VstModule = PluginModule;

class VstTestHost {
public:
    struct Call {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
        bool effectKnown;  // false while the plug-in was still being created
    };

    VstTestHost() = default;
    ~VstTestHost();  // closes an instance that is still open
    VstTestHost(const VstTestHost&) = delete;
    VstTestHost& operator=(const VstTestHost&) = delete;

    // Creates an instance through the named export; null when the plug-in
    // declined. The calls the plug-in made meanwhile are recorded too.
    AEffect* create(const PluginModule& module, const char* entryName = "VSTPluginMain");
    AEffect* effect() const { return instance; }

    // What the host answers to audioMasterVersion (asked before creation).
    VstIntPtr versionAnswer = 2400;
    // Transport the host reports; without it audioMasterGetTime answers null.
    void setTimeInfo(const VstTimeInfo& info);
    void clearTimeInfo();

    // The usual opening sequence of a host before audio runs.
    void start(float sampleRate = 44100.0f, VstIntPtr blockSize = 512);

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    VstIntPtr canDo(const char* what);
    // A text opcode's answer read from a buffer of bufferSize bytes; the bytes
    // the plug-in wrote past the first NUL are reported by writtenBeyond.
    std::string text(
        VstInt32 opcode, VstInt32 index = 0, std::size_t bufferSize = 256, std::size_t* writtenBeyond = nullptr);
    std::vector<unsigned char> getChunk(bool preset);
    VstIntPtr setChunk(std::vector<unsigned char> data, bool preset);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);

    static VstMidiEvent midi(unsigned char status, unsigned char data1, unsigned char data2, VstInt32 deltaFrames);
    VstIntPtr sendMidi(const std::vector<VstMidiEvent>& events);
    // Runs processReplacing over whole channel buffers (frames = their length).
    void processReplacing(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs);
    void process(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs);
    // Runs two channels through processReplacing in blocks of at most block
    // frames; the inputs are copied first, since plug-ins may write to them.
    void processInBlocks(std::vector<float> left, std::vector<float> right, std::vector<float>& outLeft,
        std::vector<float>& outRight, int block = 512);

    // effClose; the instance is gone afterwards.
    VstIntPtr close();

    std::vector<Call> calls() const;
    int count(VstInt32 opcode) const;
    // (index, value) of every audioMasterAutomate, in order.
    std::vector<std::pair<VstInt32, float>> automations() const;
    void clearCalls();

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt, bool effectKnown);

    AEffect* instance = nullptr;
    mutable std::mutex mutex;
    std::vector<Call> recorded;
    VstTimeInfo timeInfo {};
    bool hasTimeInfo = false;
};
