// Bank and program files as the host reads them: any bytes into a plug-in
// that records what reaches it. Whatever the file claims, every parameter
// index stays inside the plug-in's range, every chunk handed to the plug-in
// lies inside the file, and a refused file never reaches the plug-in unless
// it is a parameter bank whose later record is refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/vst/VstOpcodes.h"
#include "framework/vst/bank/BankFile.h"

namespace {

class Recorder : public BankHost {
public:
    Recorder(const uint8_t* data, size_t size, bool chunks, int programs)
        : data_(data)
        , size_(size)
    {
        record_.numPrograms = programs;
        record_.numParams = 8;
        record_.flags = chunks ? effFlagsProgramChunks : 0;
    }
    const AEffect* effect() const override { return &record_; }
    VstInt32 uniqueId() const override { return 1; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32, VstIntPtr value, void* ptr, float) override
    {
        if (opcode == effGetProgram)
            return current_;
        if (opcode == effSetChunk) {
            const auto* p = static_cast<const uint8_t*>(ptr);
            if (value <= 0 || p < data_ || static_cast<size_t>(p - data_) + static_cast<size_t>(value) > size_)
                std::abort();
            volatile uint8_t sink = p[value - 1];
            (void)sink;
            ++calls;
            return 1;
        }
        return 0;
    }
    float getParameter(int i) override { return values_[i]; }
    void setParameter(int i, float v) override
    {
        ++calls;
        if (i >= 0 && i < record_.numParams)
            values_[i] = v;
    }
    void setProgram(int n) override { current_ = std::clamp(n, 0, std::max(record_.numPrograms, 1) - 1); }
    std::string getCurrentProgramName() override { return ""; }
    void setCurrentProgramName(const std::string& name) override
    {
        if (name.size() > 28)
            std::abort();
        ++calls;
    }
    void refreshProgramNames() override { }
    std::vector<unsigned char> snapshotProgram() override { return {}; }
    void restoreSnapshot(const std::vector<unsigned char>&) override { }

    int calls = 0;

private:
    const uint8_t* data_;
    size_t size_;
    AEffect record_ {};
    int current_ = 0;
    float values_[8] = {};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (int programs : {0, 3}) {
        for (bool chunks : {false, true}) {
            Recorder plugin(data, size, chunks, programs);
            const bool accepted = loadBankOrProgram(plugin, data, size);
            const bool parameterBank = size >= 12 && std::memcmp(data + 8, "FxBk", 4) == 0;
            if (!accepted && plugin.calls > 0 && !parameterBank)
                std::abort();
        }
    }
    return 0;
}
