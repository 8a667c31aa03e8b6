#pragma once

#include "framework/engine/CSynthesizer.h"
#include "framework/util/CFileList.h"

#include <atomic>
#include <cstdint>

class CDriveEffect;

// The engine of one multi-effect instance: the single program, the signal
// chain, the data folders, the preset list with the start-up preset, the
// program chunk and the meter feed.
//
// Threads: chunks, program switches, sample rate and reset come from the host
// or editor threads; they take turns under the base's control lock, and every
// program switch, sample-rate change and reset also runs under the base's
// handshake, so no block renders meanwhile. render and its
// hooks run on the audio thread. Parameter changes may come from any thread:
// the chain only takes them as requests for the audio thread.
class CDrive : public CSynthesizer {
public:
    static constexpr int32_t kFolderCapacity = 1024;

    explicit CDrive(CPluginWrapper* wrapper);
    ~CDrive() override;

    int32_t setBankChunk(const void* data, int32_t size) override;
    // All or nothing: a refused chunk (0: under 4 bytes, another magic, a
    // value that is not finite) changes nothing. Otherwise returns the bytes
    // used: a shorter chunk sets the whole values it holds and keeps the name
    // (a 100-byte one sets values 0..23), 460 and more set all and the name.
    // Only when all 50 values came, and unless the start-up preset is loading,
    // is the program then selected.
    int32_t setProgramChunk(const void* data, int32_t size) override;
    int32_t getBankChunk(void* buffer) override;
    // Always 460; a null buffer asks for the size only.
    int32_t getProgramChunk(void* buffer) override;
    // Always selects the one program, whatever the index.
    int32_t selectProgram(int32_t index) override;
    void renderAfterEffect(float* inL, float* inR, float* mixL, float* mixR, int32_t frames) override;
    void onParameterChanged(int32_t index, float value) override;
    void reset() override;
    void setSampleRate(double rate) override;
    // A meter without a signal is at rest: both peaks go to 0 once the block
    // in progress, if any, has ended.
    void processingStopped() override;

    // Loads a preset file into the program without selecting it, as at
    // start-up: the file is handed to setProgramChunk as it is (a shorter one
    // sets the values it holds), and the program takes the file's base name
    // even when its content was refused. An empty or unreadable file changes
    // nothing.
    // Returns what setProgramChunk returned (0 when refused or not read).
    int32_t loadStartupPreset(const char* path);

    // Meter levels of the last sub-block, for the editor's timer.
    float getInputPeak() const { return inputPeak_.load(std::memory_order_relaxed); }
    float getOutputPeak() const { return outputPeak_.load(std::memory_order_relaxed); }

    const char* getGraphicsFolder() const { return graphicsFolder_; }
    const char* getPresetsFolder() const { return presetsFolder_; }
    CFileList& getPresetList() { return presetList_; }
    CDriveEffect* getChain() const { return chain_; }
    bool isLoading() const { return loading_.load(std::memory_order_relaxed); }

    // Program switches so far. The open editor rebuilds its pedal boxes on
    // its own thread whenever the count has moved, whichever thread switched.
    uint32_t getProgramSwitchCount() const { return programSwitches_.load(std::memory_order_acquire); }

private:
    void findFolders();

    CFileList presetList_;
    char graphicsFolder_[kFolderCapacity] = {};
    char presetsFolder_[kFolderCapacity] = {};
    std::atomic<bool> loading_ {false};
    CDriveEffect* chain_ = nullptr;
    std::atomic<float> inputPeak_ {0.0f};
    std::atomic<float> outputPeak_ {0.0f};
    std::atomic<uint32_t> programSwitches_ {0};
};
