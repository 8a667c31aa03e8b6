#include "tests/effect/product/plugin_host.h"

#include "framework/vst/VstOpcodes.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace producttest {
namespace {

    VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
    {
        if (opcode == audioMasterVersion)
            return 2400;
        if (opcode == audioMasterAutomate && effect != nullptr && effect->user != nullptr)
            static_cast<PluginHost*>(effect->user)->automations.fetch_add(1);
        return 0;
    }

}  // namespace

std::string PluginHost::moduleFolder() { return TB_MODULE_DIR; }

PluginHost::PluginHost()
{
    const std::string path = moduleFolder() + "/Tambrell.so";
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr)
        return;
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(library_, "VSTPluginMain"));
    if (entry == nullptr)
        return;
    effect = entry(&hostCallback);
    if (effect != nullptr)
        effect->user = this;
}

PluginHost::~PluginHost()
{
    if (effect != nullptr)
        dispatch(effClose);
    if (library_ != nullptr)
        dlclose(library_);
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string PluginHost::text(VstInt32 opcode, VstInt32 index)
{
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    return buffer;
}

void PluginHost::start(float rate, int blockSize)
{
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

std::vector<uint8_t> PluginHost::chunk()
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || data == nullptr)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr PluginHost::setChunk(const void* data, VstInt32 size)
{
    return dispatch(effSetChunk, 0, size, const_cast<void*>(data));
}

VstIntPtr PluginHost::setChunk(const std::vector<uint8_t>& bytes)
{
    return setChunk(bytes.data(), static_cast<VstInt32>(bytes.size()));
}

void PluginHost::process(std::vector<float> left, std::vector<float> right, std::vector<float>& outLeft,
    std::vector<float>& outRight, int block)
{
    const int frames = static_cast<int>(left.size());
    outLeft.assign(frames, 0.0f);
    outRight.assign(frames, 0.0f);
    for (int at = 0; at < frames; at += block) {
        const int n = std::min(block, frames - at);
        float* in[2] = {left.data() + at, right.data() + at};
        float* out[2] = {outLeft.data() + at, outRight.data() + at};
        effect->processReplacing(effect, in, out, n);
    }
}

}  // namespace producttest
