#include "tests/support/NativeTestHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace tbtest {

NativeModule::NativeModule(const std::string& path)
{
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* e = dlerror();
        error_ = e != nullptr ? e : "dlopen failed";
        return;
    }
    entry_ = reinterpret_cast<CreatePlugInstanceFunction>(dlsym(handle_, "CreatePlugInstance"));
    if (entry_ == nullptr)
        error_ = "no CreatePlugInstance";
}

NativeModule::~NativeModule()
{
    if (handle_ != nullptr)
        dlclose(handle_);
}

namespace {

    int32_t streamRead(NativeByteStream* s, void* buffer, int32_t count);
    int32_t streamWrite(NativeByteStream* s, const void* buffer, int32_t count);
    const NativeByteStreamOperations kStreamOps = {streamRead, streamWrite};

    MemoryStream& streamOf(NativeByteStream* s) { return *reinterpret_cast<MemoryStream::Object*>(s)->owner; }

    int32_t streamRead(NativeByteStream* s, void* buffer, int32_t count)
    {
        MemoryStream& m = streamOf(s);
        const size_t n = std::min(static_cast<size_t>(count < 0 ? 0 : count), m.bytes.size() - m.readAt);
        if (n > 0)  // an empty stream has no data pointer to copy from
            std::memcpy(buffer, m.bytes.data() + m.readAt, n);
        m.readAt += n;
        return static_cast<int32_t>(n);
    }

    int32_t streamWrite(NativeByteStream* s, const void* buffer, int32_t count)
    {
        MemoryStream& m = streamOf(s);
        const auto* b = static_cast<const uint8_t*>(buffer);
        m.bytes.insert(m.bytes.end(), b, b + count);
        return count;
    }

}  // namespace

MemoryStream::MemoryStream()
    : object_ {{&kStreamOps}, this}
{
}

MemoryStream::MemoryStream(std::vector<uint8_t> content)
    : bytes(std::move(content))
    , object_ {{&kStreamOps}, this}
{
}

NativeTestHost& NativeTestHost::of(TOrvaneHost* host) { return *reinterpret_cast<Object*>(host)->owner; }

const TOrvaneHostOperations& NativeTestHost::table()
{
    static const TOrvaneHostOperations ops = [] {
        TOrvaneHostOperations t {};
        t.dispatcher = [](TOrvaneHost* h, int32_t tag, int32_t message, intptr_t index, intptr_t value) -> intptr_t {
            NativeTestHost& self = of(h);
            self.calls.push_back({0, tag, message, index, value, {}});
            if (message == kOrvaneHostMenuEntry) {
                if (value >= 0 && static_cast<size_t>(value) < self.menuEntries.size())
                    return reinterpret_cast<intptr_t>(&self.menuEntries[static_cast<size_t>(value)]);
                return 0;
            }
            if (message == kOrvaneHostItemName && value != 0) {
                auto* record = reinterpret_cast<uint8_t*>(value);
                const size_t room = kOrvaneItemRecordSize - kOrvaneItemRecordText;
                std::memcpy(record + kOrvaneItemRecordText, self.itemNameAnswer.data(),
                    std::min(room, self.itemNameAnswer.size()));
            }
            return 0;
        };
        t.parameterChanged = [](TOrvaneHost* h, int32_t tag, int32_t index, int32_t value) {
            of(h).calls.push_back({1, tag, index, index, value, {}});
        };
        t.showHint = [](TOrvaneHost* h, int32_t tag, const char* text) {
            of(h).calls.push_back({2, tag, 0, 0, 0, text != nullptr ? text : ""});
        };
        t.voiceEnded = [](TOrvaneHost* h, intptr_t voiceTag, intptr_t value) {
            of(h).calls.push_back({5, voiceTag, 0, 0, value, {}});
        };
        t.voiceStarted = [](TOrvaneHost* h, intptr_t voiceTag, int32_t what, intptr_t a, intptr_t) {
            of(h).calls.push_back({6, voiceTag, what, a, 0, {}});
        };
        t.outputBuffer = [](TOrvaneHost* h, int32_t tag, int32_t destination) -> float* {
            of(h).calls.push_back({26, tag, 0, destination, 0, {}});
            return of(h).extraOutput;
        };
        t.voiceGains = [](TOrvaneHost* h, float* first, float* second, float, float) {
            NativeTestHost& self = of(h);
            self.calls.push_back({31, 0, 0, 0, 0, {}});
            *first = self.voiceGains[0];
            *second = self.voiceGains[1];
        };
        t.mixBegin = [](TOrvaneHost* h) { of(h).calls.push_back({34, 0, 0, 0, 0, {}}); };
        t.mixEnd = [](TOrvaneHost* h) { of(h).calls.push_back({35, 0, 0, 0, 0, {}}); };
        return t;
    }();
    return ops;
}

NativeTestHost::NativeTestHost(CreatePlugInstanceFunction entry, int32_t tag)
    : entry_(entry)
    , tag_(tag)
    , object_ {{&table()}, this}
{
}

NativeTestHost::~NativeTestHost() { destroy(); }

TOrvanePlug* NativeTestHost::create()
{
    plug_ = entry_ != nullptr ? entry_(&object_.host, tag_) : nullptr;
    return plug_;
}

void NativeTestHost::destroy()
{
    if (plug_ != nullptr)
        plug_->operations->destroy(plug_);
    plug_ = nullptr;
}

int32_t NativeTestHost::message(int32_t id, intptr_t index, intptr_t value)
{
    return ops().handleMessage(plug_, id, index, value);
}

int32_t NativeTestHost::access(int32_t index, int32_t value, int32_t flags)
{
    return ops().accessParameter(plug_, index, value, flags);
}

std::string NativeTestHost::itemName(int32_t kind, int32_t index, const char* preset)
{
    char text[kOrvaneNameCapacity] = {};
    std::strncpy(text, preset, sizeof text - 1);
    ops().getItemName(plug_, kind, index, 0, text);
    return std::string(text, strnlen(text, sizeof text));
}

std::vector<uint8_t> NativeTestHost::saveState()
{
    MemoryStream stream;
    ops().transferState(plug_, stream.stream(), 1);
    return stream.bytes;
}

void NativeTestHost::restoreState(const std::vector<uint8_t>& bytes)
{
    MemoryStream stream(bytes);
    ops().transferState(plug_, stream.stream(), 0);
}

std::vector<float> NativeTestHost::renderEffect(const std::vector<float>& interleaved)
{
    std::vector<float> out(interleaved.size(), 0.0f);
    ops().renderEffect(plug_, interleaved.data(), out.data(), static_cast<int32_t>(interleaved.size() / 2));
    return out;
}

std::vector<NativeTestHost::Call> NativeTestHost::callsOf(int slot, int32_t message) const
{
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.slot == slot && (message < 0 || slot != 0 || c.message == message))
            out.push_back(c);
    return out;
}

}  // namespace tbtest
