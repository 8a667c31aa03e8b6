#pragma once

#include "framework/vst/VstTypes.h"

#include <atomic>
#include <string>
#include <vector>

namespace producttest {

// Loads the built Tambrell.so and drives one instance through its VST 2.4
// record, as a host does.
class PluginHost {
public:
    PluginHost();
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    static std::string moduleFolder();

    bool loaded() const { return effect != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    std::string text(VstInt32 opcode, VstInt32 index = 0);
    void start(float rate, int blockSize = 512);
    std::vector<uint8_t> chunk();
    VstIntPtr setChunk(const std::vector<uint8_t>& bytes);
    VstIntPtr setChunk(const void* data, VstInt32 size);
    // Runs both channels through processReplacing in blocks; returns the left
    // and right outputs.
    void process(std::vector<float> left, std::vector<float> right, std::vector<float>& outLeft,
        std::vector<float>& outRight, int block = 512);

    AEffect* effect = nullptr;
    std::atomic<int> automations {0};

private:
    void* library_ = nullptr;
};

}  // namespace producttest
