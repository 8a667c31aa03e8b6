#pragma once
// What the recording stub plug-in (RecordingVstModule.cpp) shares with the
// tests that load it: how it is set up before its entry is called and what it
// wrote down afterwards. The test finds the record through the module's
// export "tbRecordingStub".

#include "framework/vst/VstTypes.h"

struct RecordedCall {
    VstInt32 opcode;  // kRecordedSetParameter for the setParameter entry
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

constexpr VstInt32 kRecordedSetParameter = -1;
constexpr int kRecordedCallCapacity = 4096;
constexpr int kRecordedEventCapacity = 512;

struct RecordingStubState {
    // Set by the test before the entry runs.
    VstInt32 numInputs = 2;
    VstInt32 numOutputs = 2;
    VstInt32 numPrograms = 1;
    VstInt32 numParams = 4;
    VstInt32 flags = 16;  // effFlagsCanReplacing
    VstInt32 uniqueID = 0;
    bool nullProcess = false;  // no process entry (for a plug-in without replacing)
    // What effGetChunk answers: size and whether the pointer is null.
    VstIntPtr chunkSize = 8;
    bool chunkNull = false;

    // Written by the stub.
    RecordedCall calls[kRecordedCallCapacity];
    int callCount = 0;
    float parameters[16] = {};
    VstIntPtr versionInMain = -1;
    VstIntPtr canDoInMain = -1;
    VstIntPtr canDoWrongInMain = -1;
    VstIntPtr versionAfter = -1;
    VstIntPtr canDoAfter = -1;
    const char* directoryAfter = nullptr;
    // The last effProcessEvents.
    int lastNumEvents = -1;
    VstInt32 deltas[kRecordedEventCapacity] = {};
    unsigned char bytes[kRecordedEventCapacity][4] = {};
    VstInt32 byteSizes[kRecordedEventCapacity] = {};
    // processReplacing and process calls, and what the last one saw.
    int processCalls = 0;
    bool spareInputsSilent = true;  // every input beyond the first was all 0
};
