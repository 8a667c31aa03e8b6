#include "framework/vst/host/HostedPlugin.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "framework/vst/VstOpcodes.h"

namespace {

constexpr std::size_t kMidiOutBytes = 64 * 1024;
constexpr int kPreparedEvents = 256;
// A VST event's byteSize counts what follows its type and byteSize fields.
constexpr VstInt32 kMidiEventByteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);

void copyText(void* destination, const char* text, std::size_t capacity)
{
    if (destination == nullptr || capacity == 0)
        return;
    auto* out = static_cast<char*>(destination);
    const std::size_t n = strnlen(text, capacity - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

bool hostCanDo(const void* ptr)
{
    if (ptr == nullptr)
        return false;
    static const char* const kAnswers[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
        "receiveVstMidiEvent", "supplyIdle", "supportShell", "shellCategory"};
    const auto* asked = static_cast<const char*>(ptr);
    for (const char* answer : kAnswers)
        if (std::strcmp(asked, answer) == 0)
            return true;
    return false;
}

// The length of a short MIDI message from its status byte. A VstMidiEvent
// always has room for three bytes; a two-byte message sent as three leaves a
// stray data byte that the receiving device reads as a second message. No
// status byte, or a system-exclusive byte, is no short message at all (0).
int shortMidiLength(unsigned char status)
{
    if (status < 0x80 || status == 0xF0 || status == 0xF7)
        return 0;
    if (status < 0xF0)
        return (status & 0xE0) == 0xC0 ? 2 : 3;  // program change and channel pressure: 2
    if (status == 0xF1 || status == 0xF3)
        return 2;
    return status == 0xF2 ? 3 : 1;
}

bool canReplace(const AEffect& e) { return (e.flags & effFlagsCanReplacing) != 0 && e.processReplacing != nullptr; }

double millisecondsNow()
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<double>(static_cast<std::uint32_t>(ms));
}

}  // namespace

// ---- creation and close -----------------------------------------------------

HostedPlugin::HostedPlugin(PluginLoadInfo& info, Listener* listener)
    : info_(info)
    , listener_(listener)
    , sampleRate_(info.sampleRate)
    , blockSize_(info.blockSize)
{
    midiOut_.resize(kMidiOutBytes);
    VstPluginEntry entry = info.entry;
    if (entry == nullptr)
        return;
    AEffect* created = nullptr;
    try {
        created = entry(&HostedPlugin::hostCallback);
    } catch (...) {
        created = nullptr;
    }
    if (created != nullptr && created->magic == kEffectMagic)
        effect_ = created;
}

std::unique_ptr<HostedPlugin> HostedPlugin::create(PluginLoadInfo& info, Listener* listener, std::string* error)
{
    std::unique_ptr<HostedPlugin> plugin;
    {
        ScopedCurrentFolder folder(info.libraryFolder);
        plugin.reset(new HostedPlugin(info, listener));
    }
    if (plugin->effect_ == nullptr) {
        if (error != nullptr)
            *error = "The plug-in " + fileNameOfPath(info.module ? info.module->path() : std::string())
                + " could not be created.";
        return nullptr;
    }
    AEffect* e = plugin->effect_;
    // The pointer arrays hold 64 channels a side; a plug-in with more (or a
    // nonsensical count) would have its process entries read past them.
    if (e->numInputs < 0 || e->numInputs > kMaxChannels || e->numOutputs < 0 || e->numOutputs > kMaxChannels) {
        if (error != nullptr)
            *error = "The plug-in has " + std::to_string(e->numInputs) + " inputs and " + std::to_string(e->numOutputs)
                + " outputs; this program plays at most " + std::to_string(kMaxChannels) + " of each.";
        return nullptr;  // the destructor closes it
    }
    if (!canReplace(*e) && e->process == nullptr) {
        if (error != nullptr)
            *error = "The plug-in gives no process entry that this program can call.";
        return nullptr;
    }
    e->resvd2 = reinterpret_cast<VstIntPtr>(plugin.get());
    // A plug-in without an id of its own gets one made from the library's file
    // name (Tambrell.so here, where Windows hosts hash the .dll's name).
    info.uniqueId = e->uniqueID;
    if (info.uniqueId == 0 && info.module)
        info.uniqueId = uniqueIdFromFileName(fileNameOfPath(info.module->path()));
    return plugin;
}

HostedPlugin::~HostedPlugin()
{
    {
        std::lock_guard<std::recursive_mutex> lock(dispatcherLock_);
        processing_.store(false, std::memory_order_release);
        if (effect_ != nullptr && effect_->magic == kEffectMagic) {
            try {
                effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
            } catch (...) {
            }
        }
        effect_ = nullptr;
    }
    freeEventBlock();
}

// ---- calls into the plug-in ---------------------------------------------------

VstIntPtr HostedPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt, bool* threw)
{
    std::lock_guard<std::recursive_mutex> lock(dispatcherLock_);
    if (threw != nullptr)
        *threw = false;
    if (effect_ == nullptr)
        return 0;
    try {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    } catch (...) {
        if (threw != nullptr)
            *threw = true;
        return 0;
    }
}

float HostedPlugin::getParameter(int index)
{
    if (effect_ == nullptr || index < 0 || index >= effect_->numParams)
        return 0.0f;
    std::lock_guard<std::recursive_mutex> lock(dispatcherLock_);
    try {
        return effect_->getParameter(effect_, index);
    } catch (...) {
        return 0.0f;
    }
}

void HostedPlugin::setParameter(int index, float value)
{
    if (effect_ == nullptr || index < 0 || index >= effect_->numParams)
        return;
    std::lock_guard<std::recursive_mutex> lock(dispatcherLock_);
    try {
        if (getParameter(index) != value)
            effect_->setParameter(effect_, index, value);
    } catch (...) {
    }
}

std::string HostedPlugin::pinLabel(VstInt32 opcode, int index, int count)
{
    if (index < 0 || index >= count)
        return {};
    VstPinProperties pin {};
    if (dispatch(opcode, index, 0, &pin) == 0)
        return {};
    return std::string(pin.label, strnlen(pin.label, sizeof(pin.label)));
}

std::string HostedPlugin::getInputChannelName(int index)
{
    return pinLabel(effGetInputProperties, index, getNumInputChannels());
}

std::string HostedPlugin::getOutputChannelName(int index)
{
    return pinLabel(effGetOutputProperties, index, getNumOutputChannels());
}

std::vector<unsigned char> HostedPlugin::getChunk(bool preset)
{
    constexpr VstIntPtr kLargestChunk = 64 << 20;
    std::lock_guard<std::recursive_mutex> lock(dispatcherLock_);
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (data == nullptr || size <= 0 || size > kLargestChunk)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

// ---- programs -----------------------------------------------------------------

void HostedPlugin::setProgram(int program)
{
    const int count = getNumPrograms();
    if (count <= 0 || program == static_cast<int>(dispatch(effGetProgram)))
        return;
    dispatch(effSetProgram, 0, std::clamp(program, 0, count - 1));
}

std::string HostedPlugin::getCurrentProgramName()
{
    if (effect_ == nullptr)
        return {};
    char name[kProgramNameBytes] = {};
    dispatch(effGetProgramName, 0, 0, name);
    const std::string text(name, strnlen(name, sizeof(name)));
    const VstIntPtr program = dispatch(effGetProgram);
    // A program number far beyond the published count would grow the cache
    // without bound; such answers are not remembered.
    if (program >= 0 && program < std::max(getNumPrograms(), 1)) {
        const auto at = static_cast<std::size_t>(program);
        if (programNames_.size() <= at)
            programNames_.resize(at + 1);
        if (programNames_[at].empty())
            programNames_[at] = text;
    }
    return text;
}

void HostedPlugin::setCurrentProgramName(const std::string& name)
{
    if (getNumPrograms() <= 0 || name == getCurrentProgramName())
        return;
    char text[25] = {};
    copyText(text, name.c_str(), sizeof(text));
    dispatch(effSetProgramName, 0, 0, text);
}

void HostedPlugin::refreshProgramNames()
{
    const int count = getNumPrograms();
    if (count <= 0)
        return;
    char name[kProgramNameBytes] = {};
    if (dispatch(effGetProgramNameIndexed, 0, -1, name) != 0)
        return;
    const int current = static_cast<int>(dispatch(effGetProgram));
    const ProgramSnapshot snapshot = snapshotProgram();
    for (int p = 0; p < count; ++p) {
        setProgram(p);
        getCurrentProgramName();
    }
    setProgram(current);
    restoreSnapshot(snapshot);
}

HostedPlugin::ProgramSnapshot HostedPlugin::snapshotProgram()
{
    const int params = std::max(getNumParameters(), 0);
    ProgramSnapshot snapshot(64 + 4 * static_cast<std::size_t>(params), 0);
    copyText(snapshot.data(), getCurrentProgramName().c_str(), 64);
    for (int i = 0; i < params; ++i) {
        const float v = getParameter(i);
        std::memcpy(snapshot.data() + 64 + 4 * i, &v, 4);
    }
    return snapshot;
}

void HostedPlugin::restoreSnapshot(const ProgramSnapshot& snapshot)
{
    if (snapshot.size() < 64)
        return;
    const auto* name = reinterpret_cast<const char*>(snapshot.data());
    setCurrentProgramName(std::string(name, strnlen(name, 64)));
    const int stored = static_cast<int>((snapshot.size() - 64) / 4);
    for (int i = 0; i < std::min(stored, getNumParameters()); ++i) {
        float v = 0.0f;
        std::memcpy(&v, snapshot.data() + 64 + 4 * i, 4);
        setParameter(i, v);
    }
}

// ---- start and stop ---------------------------------------------------------------

void HostedPlugin::startPlugin()
{
    if (started_ || effect_ == nullptr)
        return;
    started_ = true;
    dispatch(effIdentify);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate_));
    dispatch(effSetBlockSize, 0, std::max(blockSize_, 16));
    dispatch(effOpen);
    if (getNumPrograms() > 1)
        setProgram(0);
    else
        dispatch(effSetProgram, 0, 0);
    for (int i = getNumInputChannels() - 1; i >= 0; --i)
        dispatch(effConnectInput, i, 1);
    for (int o = getNumOutputChannels() - 1; o >= 0; --o)
        dispatch(effConnectOutput, o, 1);
    refreshProgramNames();
}

void HostedPlugin::prepareToPlay(int blockSize, double sampleRate)
{
    processing_.store(false, std::memory_order_release);
    blockSize_ = blockSize;
    sampleRate_ = sampleRate;
    std::fill(std::begin(inputs_), std::end(inputs_), nullptr);
    std::fill(std::begin(outputs_), std::end(outputs_), nullptr);
    tempo_.store(120.0, std::memory_order_relaxed);
    timeInfo_ = VstTimeInfo {};
    timeInfo_.samplePos = 0.0;
    timeInfo_.sampleRate = sampleRate;
    timeInfo_.tempo = 120.0;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    // Only the clock is claimed valid: tempo, position and signature are what
    // this program shows, not a transport a plug-in should follow.
    timeInfo_.flags = kVstNanosValid;

    startPlugin();
    if (!started_)
        return;
    ensureEventCapacity(kPreparedEvents);
    {
        std::lock_guard<std::mutex> lock(midiOutLock_);
        midiOutUsed_ = 0;
    }
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, std::max(blockSize, 16));
    ensureScratch(getNumInputChannels() + getNumOutputChannels(), std::max(blockSize, 16));
    if (!mainsOn_) {
        dispatch(effMainsChanged, 0, 1);
        mainsOn_ = true;
    }
    // A plug-in without an editor shows nothing until a parameter moves:
    // nudge parameter 0 away and back.
    if (!hasEditor() && getNumParameters() > 0) {
        const float v = getParameter(0);
        setParameter(0, v < 0.5f ? 1.0f : 0.0f);
        setParameter(0, v);
    }
    dispatch(effStartProcess);
    processing_.store(true, std::memory_order_release);
}

void HostedPlugin::releaseResources()
{
    processing_.store(false, std::memory_order_release);
    if (started_) {
        dispatch(effStopProcess);
        dispatch(effMainsChanged, 0, 0);
        mainsOn_ = false;
    }
    scratch_.assign(2 * 8, 0.0f);
    scratch_.shrink_to_fit();
    scratchFrames_ = 8;
    freeEventBlock();
    std::lock_guard<std::mutex> lock(midiOutLock_);
    midiOutUsed_ = 0;
}

void HostedPlugin::setVolume(int percent) { volume_.store(std::clamp(percent, 0, 125), std::memory_order_relaxed); }

// ---- event block ----------------------------------------------------------------------

void HostedPlugin::ensureEventCapacity(int count)
{
    if (eventCapacity_ >= count)
        return;
    const int capacity = (count + 32) / 32 * 32;
    const std::size_t bytes = offsetof(VstEvents, events) + sizeof(VstEvent*) * static_cast<std::size_t>(capacity);
    std::vector<unsigned char> storage(std::max(bytes, sizeof(VstEvents)), 0);
    while (static_cast<int>(eventRecords_.size()) < capacity) {
        auto record = std::make_unique<VstMidiEvent>();
        record->type = kVstMidiType;
        record->byteSize = kMidiEventByteSize;
        eventRecords_.push_back(std::move(record));
    }
    auto* block = reinterpret_cast<VstEvents*>(storage.data());
    block->numEvents = eventCount_;
    VstEvent** slots = block->events;
    for (int i = 0; i < capacity; ++i)
        slots[i] = reinterpret_cast<VstEvent*>(eventRecords_[static_cast<std::size_t>(i)].get());
    eventStorage_.swap(storage);
    eventCapacity_ = capacity;
}

void HostedPlugin::freeEventBlock()
{
    eventStorage_.clear();
    eventStorage_.shrink_to_fit();
    eventRecords_.clear();
    eventRecords_.shrink_to_fit();
    eventCapacity_ = 0;
    eventCount_ = 0;
}

// ---- audio ----------------------------------------------------------------------------

void HostedPlugin::addBlockMidi(int samplePosition, const unsigned char* data, int size, int blockFrames)
{
    if (data == nullptr || size <= 0 || size >= 4)
        return;
    ensureEventCapacity(eventCount_ + 1);
    VstMidiEvent& e = *eventRecords_[static_cast<std::size_t>(eventCount_)];
    e.type = kVstMidiType;
    e.byteSize = kMidiEventByteSize;
    e.deltaFrames = std::clamp(samplePosition, 0, std::max(blockFrames - 1, 0));
    e.flags = 0;
    e.noteLength = 0;
    e.noteOffset = 0;
    // A short message carries only its own bytes; the rest stays 0.
    for (int i = 0; i < 4; ++i)
        e.midiData[i] = i < size ? static_cast<char>(data[i]) : 0;
    e.detune = 0;
    e.noteOffVelocity = 0;
    ++eventCount_;
}

void HostedPlugin::ensureScratch(int channels, int frames)
{
    const std::size_t needed = static_cast<std::size_t>(std::max(channels, 1)) * static_cast<std::size_t>(frames);
    if (scratch_.size() < needed)
        scratch_.resize(needed);
    scratchFrames_ = frames;
}

float* HostedPlugin::scratchChannel(int channel, int frames)
{
    float* start = scratch_.data() + static_cast<std::size_t>(channel) * static_cast<std::size_t>(scratchFrames_);
    std::fill(start, start + frames, 0.0f);
    return start;
}

void HostedPlugin::render(float* const* channels, int numChannels, int startSample, int numSamples, int bufferLength)
{
    AEffect* e = effect_;
    if (!processing_.load(std::memory_order_acquire) || e == nullptr || numSamples <= 0) {
        // Stopped or not yet prepared: the device plays silence, the plug-in
        // is not called.
        for (int c = 0; c < numChannels && numSamples > 0; ++c)
            if (channels[c] != nullptr)
                std::fill(channels[c] + startSample, channels[c] + startSample + numSamples, 0.0f);
        eventCount_ = 0;
        return;
    }
    const int n = numSamples;
    timeInfo_.nanoSeconds = millisecondsNow() * 1000000.0;
    timeInfo_.tempo = tempo_.load(std::memory_order_relaxed);

    ensureEventCapacity(1);
    auto* block = reinterpret_cast<VstEvents*>(eventStorage_.data());
    block->numEvents = eventCount_;
    try {
        e->dispatcher(e, effProcessEvents, 0, 0, block, 0.0f);
    } catch (...) {
    }
    eventCount_ = 0;

    const int device = std::min(numChannels, kMaxChannels);
    // The counts were checked at creation, but a plug-in may change them
    // since; the pointer arrays hold no more than they did then.
    const int ins = std::clamp(e->numInputs, 0, kMaxChannels);
    const int outs = std::clamp(e->numOutputs, 0, kMaxChannels);
    if (canReplace(*e)) {
        int c = ins > 1 ? std::max(ins, outs) : (outs <= 1 ? 1 : outs);
        c = std::min(c, kMaxChannels);
        for (int k = 0; k < device; ++k)
            inputs_[k] = channels[k] + startSample;
        if (c > device) {
            ensureScratch(c, n);
            for (int k = c - 1; k >= device; --k)
                inputs_[k] = scratchChannel(k, n);
        }
        try {
            e->processReplacing(e, inputs_, inputs_, n);
        } catch (...) {
        }
    } else if (e->process == nullptr) {
        // No entry left to call (the plug-in took it away): silence.
        for (int c = 0; c < numChannels; ++c)
            if (channels[c] != nullptr)
                std::fill(channels[c] + startSample, channels[c] + startSample + n, 0.0f);
    } else {
        ensureScratch(ins + outs, n);
        for (int k = 0; k < std::min(device, ins); ++k)
            inputs_[k] = channels[k] + startSample;
        for (int k = ins - 1; k >= device; --k)
            inputs_[k] = scratchChannel(k, n);
        for (int o = outs - 1; o >= 0; --o)
            outputs_[o] = scratchChannel(ins + o, n);
        try {
            e->process(e, inputs_, outputs_, n);
        } catch (...) {
        }
        for (int o = 0; o < std::min(device, outs); ++o)
            std::memcpy(channels[o] + startSample, outputs_[o], sizeof(float) * static_cast<std::size_t>(n));
    }

    const float gain = static_cast<float>(volume_.load(std::memory_order_relaxed)) / 100.0f;
    for (int c = 0; c < numChannels; ++c)
        if (channels[c] != nullptr)
            for (int i = 0; i < bufferLength; ++i)
                channels[c][i] *= gain;
}

// ---- MIDI the plug-in sends ------------------------------------------------------------

void HostedPlugin::receivePluginEvents(const VstEvents* events)
{
    if (events == nullptr)
        return;
    std::lock_guard<std::mutex> lock(midiOutLock_);
    VstEvent* const* slots = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = slots[i];
        if (event == nullptr)
            continue;
        const unsigned char* bytes = nullptr;
        std::int32_t size = 0;
        if (event->type == kVstMidiType) {
            bytes = reinterpret_cast<const unsigned char*>(reinterpret_cast<const VstMidiEvent*>(event)->midiData);
            size = shortMidiLength(bytes[0]);
        } else if (event->type == kVstSysExType) {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
            bytes = reinterpret_cast<const unsigned char*>(sysex->sysexDump);
            size = sysex->dumpBytes;
        }
        // What does not fit the buffer (or makes no sense) is dropped.
        if (bytes == nullptr || size <= 0 || midiOutUsed_ + 8 + static_cast<std::size_t>(size) > midiOut_.size())
            continue;
        const std::int32_t position = event->deltaFrames;
        std::memcpy(midiOut_.data() + midiOutUsed_, &position, 4);
        std::memcpy(midiOut_.data() + midiOutUsed_ + 4, &size, 4);
        std::memcpy(midiOut_.data() + midiOutUsed_ + 8, bytes, static_cast<std::size_t>(size));
        midiOutUsed_ += 8 + static_cast<std::size_t>(size);
    }
}

void HostedPlugin::takeOutgoingMidi(const std::function<void(const unsigned char*, int, int)>& send)
{
    std::unique_lock<std::mutex> lock(midiOutLock_, std::try_to_lock);
    if (!lock.owns_lock())
        return;
    std::size_t at = 0;
    while (send && at + 8 <= midiOutUsed_) {
        std::int32_t position = 0;
        std::int32_t size = 0;
        std::memcpy(&position, midiOut_.data() + at, 4);
        std::memcpy(&size, midiOut_.data() + at + 4, 4);
        send(midiOut_.data() + at + 8, size, position);
        at += 8 + static_cast<std::size_t>(size);
    }
    midiOutUsed_ = 0;
}

// ---- host callback --------------------------------------------------------------------------

VstIntPtr HostedPlugin::hostCallback(
    AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    try {
        if (effect != nullptr && effect->resvd2 != 0)
            return reinterpret_cast<HostedPlugin*>(effect->resvd2)->answerHostOpcode(opcode, index, value, ptr, opt);
        return opcode >= 1 && opcode <= 37 ? staticHostAnswer(opcode, index, value, ptr, opt) : 0;
    } catch (...) {
        return 0;
    }
}

VstIntPtr HostedPlugin::staticHostAnswer(VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    // 4096 rather than 2400: what this host has always answered.
    case audioMasterVersion: return 4096;
    case audioMasterGetSampleRate: return 44100;
    case audioMasterGetBlockSize: return 512;
    case audioMasterGetAutomationState:
    case audioMasterSetOutputSampleRate:
    case audioMasterGetVendorVersion: return 1;
    case audioMasterGetVendorString: copyText(ptr, kVendorText, 16); return 1;
    case audioMasterGetProductString: copyText(ptr, kProductText, 128); return 1;
    case audioMasterCanDo: return hostCanDo(ptr) ? 1 : 0;
    default: return 0;
    }
}

VstIntPtr HostedPlugin::answerHostOpcode(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case audioMasterIdle:
        if (listener_ != nullptr)
            listener_->idleRequested(false);
        return 0;
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterProcessEvents: receivePluginEvents(static_cast<const VstEvents*>(ptr)); return 0;
    case audioMasterNeedIdle:
        if (listener_ != nullptr)
            listener_->idleRequested(true);
        return 0;
    case audioMasterSizeWindow:
        if (listener_ != nullptr)
            listener_->editorSizeRequested(index, static_cast<int>(value));
        return 1;
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize: return blockSize_;
    case audioMasterGetDirectory: return reinterpret_cast<VstIntPtr>(info_.libraryFolder.c_str());
    default: return opcode >= 1 && opcode <= 37 ? staticHostAnswer(opcode, index, value, ptr, opt) : 0;
    }
}
