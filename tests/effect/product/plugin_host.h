#pragma once

#include "framework/vst/host/PluginModule.h"
#include "tests/support/VstTestHost.h"

#include <string>
#include <vector>

namespace producttest {

// The built Tambrell.so, loaded by the project's loader and driven through
// its VST 2.4 record by the tests' host.
class PluginHost {
public:
    PluginHost();

    static std::string moduleFolder();

    bool loaded() const { return effect != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return host_.dispatch(opcode, index, value, ptr, opt);
    }
    std::string text(VstInt32 opcode, VstInt32 index = 0) { return host_.text(opcode, index); }
    void start(float rate, int blockSize = 512) { host_.start(rate, blockSize); }
    std::vector<uint8_t> chunk() { return host_.getChunk(false); }
    VstIntPtr setChunk(const std::vector<uint8_t>& bytes) { return host_.setChunk(bytes, false); }
    VstIntPtr setChunk(const void* data, VstInt32 size)
    {
        return dispatch(effSetChunk, 0, size, const_cast<void*>(data));
    }
    // Both channels through processReplacing in blocks.
    void process(std::vector<float> left, std::vector<float> right, std::vector<float>& outLeft,
        std::vector<float>& outRight, int block = 512)
    {
        host_.processInBlocks(std::move(left), std::move(right), outLeft, outRight, block);
    }
    int automations() const { return static_cast<int>(host_.automations().size()); }
    // (index, value) of every audioMasterAutomate since the last clearCalls.
    std::vector<std::pair<VstInt32, float>> automated() const { return host_.automations(); }
    void clearCalls() { host_.clearCalls(); }

    AEffect* effect = nullptr;

private:
    PluginModule module_;
    VstTestHost host_;
};

}  // namespace producttest
