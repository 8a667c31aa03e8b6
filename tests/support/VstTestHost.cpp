#include "tests/support/VstTestHost.h"

#include <algorithm>
#include <cstring>

namespace {

// The host whose create() is running on this thread: the plug-in calls back
// before the host holds its AEffect.
thread_local VstTestHost* hostBeingCreated = nullptr;

std::vector<float*> pointersTo(std::vector<std::vector<float>>& channels)
{
    std::vector<float*> p;
    for (auto& c : channels)
        p.push_back(c.data());
    return p;
}

VstInt32 framesOf(const std::vector<std::vector<float>>& inputs, const std::vector<std::vector<float>>& outputs)
{
    if (!outputs.empty())
        return static_cast<VstInt32>(outputs.front().size());
    return inputs.empty() ? 0 : static_cast<VstInt32>(inputs.front().size());
}

}  // namespace

// ---- host ------------------------------------------------------------------------

VstTestHost::~VstTestHost()
{
    if (instance)
        close();
}

AEffect* VstTestHost::create(const PluginModule& module, const char* entryName)
{
    const VstPluginEntry entry = module.entry(entryName);
    if (!entry)
        return nullptr;
    hostBeingCreated = this;
    AEffect* created = entry(&VstTestHost::callback);
    hostBeingCreated = nullptr;
    if (created)
        created->user = this;
    instance = created;
    return created;
}

void VstTestHost::setTimeInfo(const VstTimeInfo& info)
{
    std::lock_guard<std::mutex> lock(mutex);
    timeInfo = info;
    hasTimeInfo = true;
}

void VstTestHost::clearTimeInfo()
{
    std::lock_guard<std::mutex> lock(mutex);
    hasTimeInfo = false;
}

VstIntPtr VstTestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt)
{
    const bool known = effect && effect->user;
    VstTestHost* host = known ? static_cast<VstTestHost*>(effect->user) : hostBeingCreated;
    if (!host)
        return opcode == audioMasterVersion ? 2400 : 0;
    return host->answer(opcode, index, value, opt, known);
}

VstIntPtr VstTestHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt, bool effectKnown)
{
    std::lock_guard<std::mutex> lock(mutex);
    recorded.push_back({opcode, index, value, opt, effectKnown});
    switch (opcode) {
    case audioMasterVersion: return versionAnswer;
    case audioMasterGetTime: return hasTimeInfo ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    default: return 0;
    }
}

void VstTestHost::start(float sampleRate, VstIntPtr blockSize)
{
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
}

VstIntPtr VstTestHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!instance)
        return 0;
    return instance->dispatcher(instance, opcode, index, value, ptr, opt);
}

VstIntPtr VstTestHost::canDo(const char* what)
{
    std::string copy(what);
    return dispatch(effCanDo, 0, 0, copy.data());
}

std::string VstTestHost::text(VstInt32 opcode, VstInt32 index, std::size_t bufferSize, std::size_t* writtenBeyond)
{
    // A sentinel fill shows how far the plug-in wrote.
    std::vector<char> buffer(bufferSize + 64, '\x7f');
    dispatch(opcode, index, 0, buffer.data());
    const std::size_t length = strnlen(buffer.data(), buffer.size());
    if (writtenBeyond) {
        std::size_t last = 0;
        for (std::size_t i = 0; i < buffer.size(); ++i)
            if (buffer[i] != '\x7f')
                last = i + 1;
        *writtenBeyond = last > bufferSize ? last - bufferSize : 0;
    }
    return std::string(buffer.data(), std::min(length, buffer.size()));
}

std::vector<unsigned char> VstTestHost::getChunk(bool preset)
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || !data)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr VstTestHost::setChunk(std::vector<unsigned char> data, bool preset)
{
    return dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(data.size()), data.data());
}

void VstTestHost::setParameter(VstInt32 index, float value)
{
    if (instance)
        instance->setParameter(instance, index, value);
}

float VstTestHost::getParameter(VstInt32 index) { return instance ? instance->getParameter(instance, index) : 0.0f; }

VstMidiEvent VstTestHost::midi(unsigned char status, unsigned char data1, unsigned char data2, VstInt32 deltaFrames)
{
    VstMidiEvent e {};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = deltaFrames;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    return e;
}

VstIntPtr VstTestHost::sendMidi(const std::vector<VstMidiEvent>& events)
{
    // VstEvents is declared with two pointers; the host allocates room for all.
    const std::size_t count = events.size();
    const std::size_t bytes = sizeof(VstEvents) + (count > 2 ? count - 2 : 0) * sizeof(VstEvent*);
    std::vector<unsigned char> storage(bytes, 0);
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(count);
    std::vector<VstMidiEvent> copies(events);
    VstEvent** slots = list->events;
    for (std::size_t i = 0; i < count; ++i)
        slots[i] = reinterpret_cast<VstEvent*>(&copies[i]);
    return dispatch(effProcessEvents, 0, 0, list);
}

void VstTestHost::processReplacing(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs)
{
    if (!instance)
        return;
    std::vector<float*> in = pointersTo(inputs);
    std::vector<float*> out = pointersTo(outputs);
    instance->processReplacing(instance, in.data(), out.data(), framesOf(inputs, outputs));
}

void VstTestHost::process(std::vector<std::vector<float>>& inputs, std::vector<std::vector<float>>& outputs)
{
    if (!instance)
        return;
    std::vector<float*> in = pointersTo(inputs);
    std::vector<float*> out = pointersTo(outputs);
    instance->process(instance, in.data(), out.data(), framesOf(inputs, outputs));
}

void VstTestHost::processInBlocks(std::vector<float> left, std::vector<float> right, std::vector<float>& outLeft,
    std::vector<float>& outRight, int block)
{
    const int frames = static_cast<int>(std::min(left.size(), right.size()));
    outLeft.assign(frames, 0.0f);
    outRight.assign(frames, 0.0f);
    for (int at = 0; instance && at < frames; at += block) {
        const int n = std::min(block, frames - at);
        float* in[2] = {left.data() + at, right.data() + at};
        float* out[2] = {outLeft.data() + at, outRight.data() + at};
        instance->processReplacing(instance, in, out, n);
    }
}

VstIntPtr VstTestHost::close()
{
    if (!instance)
        return 0;
    const VstIntPtr result = dispatch(effClose);
    instance = nullptr;
    return result;
}

std::vector<VstTestHost::Call> VstTestHost::calls() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return recorded;
}

int VstTestHost::count(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(
        std::count_if(recorded.begin(), recorded.end(), [opcode](const Call& c) { return c.opcode == opcode; }));
}

std::vector<std::pair<VstInt32, float>> VstTestHost::automations() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::pair<VstInt32, float>> out;
    for (const auto& c : recorded)
        if (c.opcode == audioMasterAutomate)
            out.emplace_back(c.index, c.opt);
    return out;
}

void VstTestHost::clearCalls()
{
    std::lock_guard<std::mutex> lock(mutex);
    recorded.clear();
}
