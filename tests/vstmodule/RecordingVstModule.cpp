// A plug-in written straight against the VST 2.4 record, without the
// framework, that writes down every call a host makes and what the host
// answered, so host code can be checked opcode by opcode. It passes audio
// through unchanged.

#include <algorithm>
#include <cstring>

#include "framework/vst/VstOpcodes.h"
#include "framework/vst/VstRecords.h"
#include "tests/vstmodule/RecordingStub.h"

#define TB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

RecordingStubState gState;
AEffect gEffect;
audioMasterCallback gHost = nullptr;
unsigned char gChunk[64] = {};

void record(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt)
{
    if (gState.callCount < kRecordedCallCapacity)
        gState.calls[gState.callCount++] = {opcode, index, value, opt};
}

VstIntPtr dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    record(opcode, index, value, opt);
    switch (opcode) {
    case effOpen: {
        gState.versionAfter = gHost(effect, audioMasterVersion, 0, 0, nullptr, 0.0f);
        char canDo[] = "sendVstEvents";
        gState.canDoAfter = gHost(effect, audioMasterCanDo, 0, 0, canDo, 0.0f);
        gState.directoryAfter
            = reinterpret_cast<const char*>(gHost(effect, audioMasterGetDirectory, 0, 0, nullptr, 0.0f));
        return 0;
    }
    case effGetProgramNameIndexed:
        if (ptr != nullptr)
            std::strcpy(static_cast<char*>(ptr), "Stub");
        return 1;
    case effProcessEvents: {
        const auto* events = static_cast<const VstEvents*>(ptr);
        gState.lastNumEvents = events != nullptr ? events->numEvents : -1;
        for (int i = 0; events != nullptr && i < events->numEvents && i < kRecordedEventCapacity; ++i) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
            gState.deltas[i] = midi->deltaFrames;
            std::memcpy(gState.bytes[i], midi->midiData, 4);
            gState.byteSizes[i] = midi->byteSize;
        }
        return 1;
    }
    case effGetChunk:
        if (ptr != nullptr)
            *static_cast<void**>(ptr) = gState.chunkNull ? nullptr : gChunk;
        return gState.chunkSize;
    case effClose: return 0;
    default: return 0;
    }
}

void processReplacing(AEffect*, float** inputs, float** outputs, VstInt32 frames)
{
    ++gState.processCalls;
    // A host hands at most 64 channels a side, whatever the counts say.
    const int ins = std::min(gEffect.numInputs, 64);
    bool silent = true;
    for (int c = 1; c < ins; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            silent = silent && inputs[c][i] == 0.0f;
    gState.spareInputsSilent = silent;
    for (int c = 0; c < gEffect.numOutputs && c < ins; ++c)
        if (outputs[c] != inputs[c])
            std::memcpy(outputs[c], inputs[c], sizeof(float) * static_cast<std::size_t>(frames));
}

void setParameter(AEffect*, VstInt32 index, float value)
{
    record(kRecordedSetParameter, index, 0, value);
    if (index >= 0 && index < 16)
        gState.parameters[index] = value;
}

float getParameter(AEffect*, VstInt32 index) { return index >= 0 && index < 16 ? gState.parameters[index] : 0.0f; }

AEffect* create(audioMasterCallback host)
{
    gHost = host;
    gState.callCount = 0;
    gState.versionInMain = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    char canDo[] = "sendVstEvents";
    gState.canDoInMain = host(nullptr, audioMasterCanDo, 0, 0, canDo, 0.0f);
    char wrong[] = "sendVstEvent";
    gState.canDoWrongInMain = host(nullptr, audioMasterCanDo, 0, 0, wrong, 0.0f);

    gEffect = AEffect {};
    gEffect.magic = kEffectMagic;
    gEffect.dispatcher = &dispatcher;
    gEffect.process = gState.nullProcess ? nullptr : &processReplacing;
    gEffect.processReplacing = &processReplacing;
    gEffect.setParameter = &setParameter;
    gEffect.getParameter = &getParameter;
    gEffect.numPrograms = gState.numPrograms;
    gEffect.numParams = gState.numParams;
    gEffect.numInputs = gState.numInputs;
    gEffect.numOutputs = gState.numOutputs;
    gEffect.flags = gState.flags;
    gEffect.uniqueID = gState.uniqueID;
    gEffect.version = 1;
    return &gEffect;
}

}  // namespace

TB_EXPORT RecordingStubState* tbRecordingStub() { return &gState; }

TB_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return create(host); }

// The symbol "main"; C++ keeps that name for the program's entry.
TB_EXPORT AEffect* tbRecordingLegacyMain(audioMasterCallback host) __asm__("main");
AEffect* tbRecordingLegacyMain(audioMasterCallback host) { return create(host); }
