#pragma once
// The binary interface between the native host and the plug-in, shared by the
// adaptor and by any host (our test host includes it too). Plain records and
// tables of function pointers only: both sides may be built by different
// compilers, so nothing here relies on a C++ object layout.
//
// 64-bit layouts (x86_64, little-endian). Every field keeps the order and the
// meaning it has in the 32-bit protocol; pointers and handles grow to 8 bytes
// and are aligned to 8, so some fields move:
//
//   TOrvanePlugInfo (168 bytes)          TOrvanePlug, the plug record (184 bytes)
//     0  int32  always 1                   0  operations table pointer
//     8  char*  long name (256 bytes)      8  int32  host tag
//    16  char*  short name (256 bytes)    16  TOrvanePlugInfo*
//    24  int32  flags                     24  editor window handle (0 = closed)
//    28  int32  parameter count           32  132 zero bytes
//    32  int32  0                        164  int32  sample rate
//    36  int32  0                        168  float  pitch step
//    40  128 zero bytes                  176  TOrvaneHost*
//
//   TOrvaneMenuEntry (16 bytes): 0 text pointer, 8 int32 flags.
//   TOrvaneVoiceRecord (40 bytes, no pointers, as in the 32-bit protocol):
//     4 level, 8 pitch (1/100 semitone), 20 and 24 gain inputs, 28 fine
//     pitch (1/100 semitone), 32 and 36 two values for the key record.
//   Item-name record of dispatcher message 52: 520 bytes, text at 256.
//
// Operation tables list one function pointer per slot, in slot order; every
// operation takes its object (plug or host) first. Integer arguments that
// carry pointers or handles are pointer-sized (intptr_t).

#include <cstddef>
#include <cstdint>

struct TOrvanePlug;
struct TOrvaneHost;
struct NativeByteStream;

// ---- information record ------------------------------------------------------

struct TOrvanePlugInfo {
    int32_t version;  // always 1
    int32_t reserved0;
    char* longName;
    char* shortName;
    int32_t flags;
    int32_t parameterCount;
    int32_t reserved20;
    int32_t reserved24;
    int32_t reserved[32];
};
static_assert(offsetof(TOrvanePlugInfo, version) == 0);
static_assert(offsetof(TOrvanePlugInfo, longName) == 8);
static_assert(offsetof(TOrvanePlugInfo, shortName) == 16);
static_assert(offsetof(TOrvanePlugInfo, flags) == 24);
static_assert(offsetof(TOrvanePlugInfo, parameterCount) == 28);
static_assert(offsetof(TOrvanePlugInfo, reserved20) == 32);
static_assert(offsetof(TOrvanePlugInfo, reserved24) == 36);
static_assert(offsetof(TOrvanePlugInfo, reserved) == 40);
static_assert(sizeof(TOrvanePlugInfo) == 168);

inline constexpr int32_t kOrvaneNameCapacity = 256;
inline constexpr int32_t kOrvaneFlagsEffect = 0x200000;
inline constexpr int32_t kOrvaneFlagsInstrument = 0x200011;

// ---- host-owned records --------------------------------------------------------

struct TOrvaneVoiceRecord {
    int32_t reserved0;
    float level;
    float pitch;  // hundredths of a semitone, 6000 = key 60
    float reserved12;
    float reserved16;
    float gainInputs[2];  // turned into a gain pair by host operation 31
    float finePitch;  // hundredths of a semitone
    float keyValues[2];  // copied into the engine's key record
};
static_assert(offsetof(TOrvaneVoiceRecord, level) == 4);
static_assert(offsetof(TOrvaneVoiceRecord, pitch) == 8);
static_assert(offsetof(TOrvaneVoiceRecord, gainInputs) == 20);
static_assert(offsetof(TOrvaneVoiceRecord, finePitch) == 28);
static_assert(offsetof(TOrvaneVoiceRecord, keyValues) == 32);
static_assert(sizeof(TOrvaneVoiceRecord) == 40);

// One entry of a parameter's host menu (dispatcher message 18).
struct TOrvaneMenuEntry {
    const char* text;
    int32_t flags;  // bit 0 disabled, bit 1 checked
};
static_assert(offsetof(TOrvaneMenuEntry, flags) == 8);
static_assert(sizeof(TOrvaneMenuEntry) == 16);
inline constexpr int32_t kOrvaneMenuDisabled = 1;
inline constexpr int32_t kOrvaneMenuChecked = 2;

// The record dispatcher message 52 fills with a name for an item.
inline constexpr int32_t kOrvaneItemRecordSize = 520;
inline constexpr int32_t kOrvaneItemRecordText = 256;

// ---- the host's stream -----------------------------------------------------------

// Both operations move at most count bytes and return how many they moved
// (0 at the end of the stream or on an error).
struct NativeByteStreamOperations {
    int32_t (*read)(NativeByteStream* self, void* buffer, int32_t count);
    int32_t (*write)(NativeByteStream* self, const void* buffer, int32_t count);
};
struct NativeByteStream {
    const NativeByteStreamOperations* operations;
};

// ---- the plug object --------------------------------------------------------------

// Slot order of the plug's operations.
struct TOrvanePlugOperations {
    void (*destroy)(TOrvanePlug* self);  // 0
    int32_t (*handleMessage)(TOrvanePlug* self, int32_t id, intptr_t index, intptr_t value);  // 1
    void (*reserved2)(TOrvanePlug* self);  // 2
    void (*transferState)(TOrvanePlug* self, NativeByteStream* stream, int32_t save);  // 3
    void (*getItemName)(TOrvanePlug* self, int32_t kind, int32_t index, int32_t value, char* text);  // 4
    int32_t (*receiveEvent)(TOrvanePlug* self, int32_t id, float value, intptr_t extra);  // 5
    int32_t (*accessParameter)(TOrvanePlug* self, int32_t index, int32_t value, int32_t flags);  // 6
    void (*renderEffect)(TOrvanePlug* self, const float* input, float* output, int32_t frames);  // 7
    void (*renderGenerator)(TOrvanePlug* self, float* buffer, int32_t* frames);  // 8
    intptr_t (*startVoice)(TOrvanePlug* self, const TOrvaneVoiceRecord* record, intptr_t voiceTag);  // 9
    void (*releaseVoice)(TOrvanePlug* self, intptr_t handle);  // 10
    void (*killVoice)(TOrvanePlug* self, intptr_t handle);  // 11
    int32_t (*voiceEvent)(TOrvanePlug* self, intptr_t handle, int32_t id, intptr_t value);  // 12
    int32_t (*renderVoice)(TOrvanePlug* self, intptr_t a, intptr_t b, intptr_t c, intptr_t d);  // 13
    void (*reserved14)(TOrvanePlug* self);  // 14
    void (*reserved15)(TOrvanePlug* self);  // 15
    void (*receiveMidi)(TOrvanePlug* self, const uint8_t* message);  // 16
    void (*reserved17)(TOrvanePlug* self, intptr_t a, intptr_t b);  // 17
    void (*deleteSelf)(TOrvanePlug* self);  // 18
    void (*killAllVoices)(TOrvanePlug* self);  // 19
};
static_assert(offsetof(TOrvanePlugOperations, accessParameter) == 6 * sizeof(void*));
static_assert(offsetof(TOrvanePlugOperations, receiveMidi) == 16 * sizeof(void*));
static_assert(sizeof(TOrvanePlugOperations) == 20 * sizeof(void*));

// AccessParameter flags.
inline constexpr int32_t kOrvaneParamSet = 1;
inline constexpr int32_t kOrvaneParamGet = 2;
inline constexpr int32_t kOrvaneParamWide = 0x20;  // value on a 16-bit scale

// GetItemName kinds; the host's text buffer holds kOrvaneNameCapacity bytes.
inline constexpr int32_t kOrvaneItemParameterName = 0;
inline constexpr int32_t kOrvaneItemValueText = 1;
inline constexpr int32_t kOrvaneItemExtraName = 2;
inline constexpr int32_t kOrvaneItemProgramName = 6;

// HandleMessage ids.
inline constexpr int32_t kOrvaneMsgEditor = 0;
inline constexpr int32_t kOrvaneMsgReset = 2;
inline constexpr int32_t kOrvaneMsgSampleRate = 4;
inline constexpr int32_t kOrvaneMsgSwitch = 11;
// Linux has no system event loop that would run the editor: while the editor
// is open the host sends this from its UI thread every 20 ms or so, and the
// editor handles its window's events and timer then.
inline constexpr int32_t kOrvaneMsgEditorIdle = 0x100;

struct TOrvanePlug {
    const TOrvanePlugOperations* operations;
    int32_t hostTag;
    int32_t reserved4;
    TOrvanePlugInfo* info;
    uintptr_t editorWindow;
    uint8_t reserved[132];
    int32_t sampleRate;
    float pitchStep;
    int32_t reserved172;
    TOrvaneHost* host;
};
static_assert(offsetof(TOrvanePlug, operations) == 0);
static_assert(offsetof(TOrvanePlug, hostTag) == 8);
static_assert(offsetof(TOrvanePlug, info) == 16);
static_assert(offsetof(TOrvanePlug, editorWindow) == 24);
static_assert(offsetof(TOrvanePlug, reserved) == 32);
static_assert(offsetof(TOrvanePlug, sampleRate) == 164);
static_assert(offsetof(TOrvanePlug, pitchStep) == 168);
static_assert(offsetof(TOrvanePlug, host) == 176);
static_assert(sizeof(TOrvanePlug) == 184);

// ---- the host object ---------------------------------------------------------------

using OrvaneHostUnused = void (*)(TOrvaneHost* self);

// Slot order of the host's operations; slots the plug-in never calls are
// placeholders.
struct TOrvaneHostOperations {
    intptr_t (*dispatcher)(TOrvaneHost* self, int32_t tag, int32_t message, intptr_t index, intptr_t value);  // 0
    void (*parameterChanged)(TOrvaneHost* self, int32_t tag, int32_t index, int32_t value);  // 1
    void (*showHint)(TOrvaneHost* self, int32_t tag, const char* text);  // 2
    OrvaneHostUnused unused3[2];  // 3, 4
    void (*voiceEnded)(TOrvaneHost* self, intptr_t voiceTag, intptr_t value);  // 5
    void (*voiceStarted)(TOrvaneHost* self, intptr_t voiceTag, int32_t what, intptr_t a, intptr_t b);  // 6
    OrvaneHostUnused unused7[19];  // 7 .. 25
    float* (*outputBuffer)(TOrvaneHost* self, int32_t tag, int32_t destination);  // 26
    OrvaneHostUnused unused27[4];  // 27 .. 30
    void (*voiceGains)(TOrvaneHost* self, float* first, float* second, float a, float b);  // 31
    OrvaneHostUnused unused32[2];  // 32, 33
    void (*mixBegin)(TOrvaneHost* self);  // 34
    void (*mixEnd)(TOrvaneHost* self);  // 35
};
static_assert(offsetof(TOrvaneHostOperations, voiceEnded) == 5 * sizeof(void*));
static_assert(offsetof(TOrvaneHostOperations, outputBuffer) == 26 * sizeof(void*));
static_assert(offsetof(TOrvaneHostOperations, voiceGains) == 31 * sizeof(void*));
static_assert(sizeof(TOrvaneHostOperations) == 36 * sizeof(void*));

// Dispatcher messages the plug-in sends.
inline constexpr int32_t kOrvaneHostMenuChoice = 0;
inline constexpr int32_t kOrvaneHostCommand3 = 3;
inline constexpr int32_t kOrvaneHostSwitchAnswer = 5;
inline constexpr int32_t kOrvaneHostMenuEntry = 18;
inline constexpr int32_t kOrvaneHostInstrument = 33;
inline constexpr int32_t kOrvaneHostCommand50 = 50;
inline constexpr int32_t kOrvaneHostItemName = 52;

// The host hands this to CreatePlugInstance; whatever else the host keeps
// follows the table pointer.
struct TOrvaneHost {
    const TOrvaneHostOperations* operations;
};

// The module's entry, exported as "CreatePlugInstance".
using CreatePlugInstanceFunction = TOrvanePlug* (*)(TOrvaneHost* host, int32_t tag);
