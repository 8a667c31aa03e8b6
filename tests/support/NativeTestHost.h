#pragma once
// A small host of the native protocol for tests: creates an instance through a
// CreatePlugInstance entry (found with dlopen in a built module, or linked in),
// calls the plug's operations as that host does, answers the plug-in's calls
// and records them.
//
// Thread use: the host operations may be entered from any thread the plug-in
// renders on; everything is driven from the test's thread here, so nothing is
// locked.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/native/NativeProtocol.h"

namespace tbtest {

// A module loaded with dlopen and its CreatePlugInstance.
class NativeModule {
public:
    explicit NativeModule(const std::string& path);
    ~NativeModule();
    NativeModule(const NativeModule&) = delete;
    NativeModule& operator=(const NativeModule&) = delete;
    CreatePlugInstanceFunction entry() const { return entry_; }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    CreatePlugInstanceFunction entry_ = nullptr;
    std::string error_;
};

// The host's byte stream over a vector: writes append, reads consume.
class MemoryStream {
public:
    struct Object {
        NativeByteStream stream;
        MemoryStream* owner;
    };

    MemoryStream();
    explicit MemoryStream(std::vector<uint8_t> content);
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    NativeByteStream* stream() { return &object_.stream; }
    std::vector<uint8_t> bytes;
    size_t readAt = 0;

private:
    Object object_;
};

class NativeTestHost {
public:
    struct Call {
        int slot;  // host operation slot
        intptr_t tag;  // host tag, or the voice tag for slots 5 and 6
        int32_t message;  // dispatcher message; index of slot 1
        intptr_t index;
        intptr_t value;
        std::string text;  // hint text of slot 2
    };

    explicit NativeTestHost(CreatePlugInstanceFunction entry, int32_t tag = 77);
    ~NativeTestHost();  // destroys an instance that is still alive
    NativeTestHost(const NativeTestHost&) = delete;
    NativeTestHost& operator=(const NativeTestHost&) = delete;

    TOrvanePlug* create();
    TOrvanePlug* plug() const { return plug_; }
    const TOrvanePlugOperations& ops() const { return *plug_->operations; }
    void destroy();

    // The operations as the host calls them.
    int32_t message(int32_t id, intptr_t index = 0, intptr_t value = 0);
    int32_t access(int32_t index, int32_t value, int32_t flags);
    std::string itemName(int32_t kind, int32_t index, const char* preset = "");
    std::vector<uint8_t> saveState();
    void restoreState(const std::vector<uint8_t>& bytes);
    // Interleaved stereo through RenderEffect in one call.
    std::vector<float> renderEffect(const std::vector<float>& interleaved);

    // Recorded calls of one host slot (and dispatcher message, when given).
    std::vector<Call> callsOf(int slot, int32_t message = -1) const;
    void clearCalls() { calls.clear(); }

    std::vector<Call> calls;
    // Answers of dispatcher message 18, in order; the end is a null answer.
    std::vector<TOrvaneMenuEntry> menuEntries;
    // Written into message 52's record at byte 256 (at most 263 bytes).
    std::string itemNameAnswer;
    // What host operation 26 hands back for any destination (null: none).
    float* extraOutput = nullptr;
    // Gains host operation 31 hands back.
    float voiceGains[2] = {0.5f, 0.25f};

private:
    struct Object {
        TOrvaneHost host;
        NativeTestHost* owner;
    };
    static NativeTestHost& of(TOrvaneHost* host);
    static const TOrvaneHostOperations& table();

    CreatePlugInstanceFunction entry_;
    int32_t tag_;
    Object object_;
    TOrvanePlug* plug_ = nullptr;
};

}  // namespace tbtest
