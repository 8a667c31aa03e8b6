// Bank and program files: the published layouts, the checks on what a file
// claims, and the real plug-in's chunk carried through a bank.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/vst/VstOpcodes.h"
#include "framework/vst/bank/BankFile.h"

namespace {

using Bytes = std::vector<unsigned char>;

void putBig(Bytes& b, std::size_t at, VstInt32 v)
{
    for (int k = 0; k < 4; ++k)
        b[at + static_cast<std::size_t>(k)] = static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (24 - 8 * k));
}
VstInt32 getBig(const Bytes& b, std::size_t at)
{
    return static_cast<VstInt32>((std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16)
        | (std::uint32_t(b[at + 2]) << 8) | std::uint32_t(b[at + 3]));
}
void putText(Bytes& b, std::size_t at, const char* text) { std::memcpy(b.data() + at, text, std::strlen(text)); }

// A plug-in that answers from plain fields and records what reaches it.
class FakePlugin : public BankHost {
public:
    FakePlugin(int programs, int params, bool chunks)
    {
        record.numPrograms = programs;
        record.numParams = params;
        record.flags = chunks ? effFlagsProgramChunks : 0;
        record.version = 7;
        values.assign(static_cast<std::size_t>(std::max(programs, 1)), std::vector<float>(params, 0.0f));
        names.assign(values.size(), "");
    }
    const AEffect* effect() const override { return &record; }
    VstInt32 uniqueId() const override { return 0x54616d62; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) override
    {
        if (opcode == effGetProgram)
            return reportedProgram >= 0 ? reportedProgram : current;
        if (opcode == effSetChunk) {
            setChunks.push_back({index, value});
            return acceptChunk ? 1 : 0;
        }
        if (opcode == effGetChunk) {
            *static_cast<void**>(ptr) = chunk.data();
            return static_cast<VstIntPtr>(chunk.size());
        }
        return 0;
    }
    float getParameter(int i) override { return values[current][i]; }
    void setParameter(int i, float v) override
    {
        if (i >= 0 && i < record.numParams)
            values[current][i] = v;
    }
    void setProgram(int n) override { current = std::clamp(n, 0, std::max(record.numPrograms, 1) - 1); }
    std::string getCurrentProgramName() override { return names[current]; }
    void setCurrentProgramName(const std::string& n) override { names[current] = n; }
    void refreshProgramNames() override { ++refreshes; }
    std::vector<unsigned char> snapshotProgram() override { return {}; }
    void restoreSnapshot(const std::vector<unsigned char>&) override { }

    AEffect record {};
    int current = 0;
    int reportedProgram = -1;
    bool acceptChunk = true;
    int refreshes = 0;
    Bytes chunk;
    std::vector<std::vector<float>> values;
    std::vector<std::string> names;
    std::vector<std::pair<VstInt32, VstIntPtr>> setChunks;
};

Bytes header(const char* magic, const char* fx, VstInt32 version, std::size_t size)
{
    Bytes b(size, 0);
    putText(b, 0, magic);
    putText(b, 8, fx);
    putBig(b, 12, version);
    return b;
}

bool load(BankHost& p, const Bytes& b) { return loadBankOrProgram(p, b.data(), b.size()); }

TEST(BankFile, HeaderChecks)
{
    FakePlugin p(0, 2, true);
    EXPECT_FALSE(load(p, header("CcnK", "FBCh", 1, 27)));
    EXPECT_FALSE(load(p, header("CcnK", "Abcd", 1, 28)));
    EXPECT_FALSE(load(p, header("Junk", "FBCh", 1, 160)));
    EXPECT_FALSE(load(p, header("CcnK", "FBCh", 2, 160)));  // version 2 banks stay refused
    EXPECT_TRUE(load(p, header("CcnK", "FBCh", 0, 160)));
    EXPECT_TRUE(load(p, header("CcnK", "FBCh", 1, 160)));
    EXPECT_TRUE(load(p, header("KncC", "FBCh", 1, 160)));
    EXPECT_FALSE(load(p, header("KncC", "FxCk", 1, 64)));
    EXPECT_TRUE(p.setChunks.empty());  // a chunk size of 0 never reaches the plug-in
}

TEST(BankFile, ClaimsBeyondTheFileAreRefusedBeforeAnythingChanges)
{
    FakePlugin p(4, 2, false);
    Bytes prog = header("CcnK", "FxCk", 1, 56 + 8);
    putBig(prog, 24, 1000);  // says 1000 values, holds 2
    putText(prog, 28, "Loud");
    EXPECT_FALSE(load(p, prog));
    EXPECT_EQ(p.names[0], "");

    FakePlugin c(0, 2, true);
    Bytes bank = header("CcnK", "FBCh", 1, 170);
    putBig(bank, 156, 11);  // one byte more than the file holds
    EXPECT_FALSE(load(c, bank));
    putBig(bank, 156, 10);
    EXPECT_TRUE(load(c, bank));
    ASSERT_EQ(c.setChunks.size(), 1u);
    EXPECT_EQ(c.setChunks[0], (std::pair<VstInt32, VstIntPtr> {0, 10}));

    // A parameter bank whose last record is cut short changes no program.
    FakePlugin q(4, 2, false);
    q.values[1][0] = 0.5f;
    Bytes full = saveBank(q);
    q.values[1][0] = 0.25f;
    full.resize(full.size() - 1);
    EXPECT_FALSE(load(q, full));
    EXPECT_EQ(q.values[1][0], 0.25f);
}

TEST(BankFile, RefusedChunkIsAFailedLoad)
{
    FakePlugin p(0, 2, true);
    p.acceptChunk = false;
    Bytes bank = header("CcnK", "FBCh", 1, 164);
    putBig(bank, 156, 4);
    EXPECT_FALSE(load(p, bank));
    EXPECT_EQ(p.refreshes, 0);
}

TEST(BankFile, ProgramChunkIntoPluginWithoutChunksOnlyNamesIt)
{
    FakePlugin p(1, 2, false);
    Bytes prog = header("CcnK", "FPCh", 1, 64);
    putText(prog, 28, "Crunch");
    putBig(prog, 56, 4);
    EXPECT_TRUE(load(p, prog));
    EXPECT_TRUE(p.setChunks.empty());
    EXPECT_EQ(p.names[0], "Crunch");
}

TEST(BankFile, ParameterBankRoundTripKeepsTheCurrentProgramSelected)
{
    FakePlugin p(3, 2, false);
    p.values = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
    p.names = {"A", std::string(30, 'x'), "C"};
    p.current = 1;
    Bytes bank = saveBank(p);
    ASSERT_EQ(bank.size(), 156u + 3u * (56u + 8u));
    EXPECT_EQ(getBig(bank, 4), 0);  // byteSize is left 0
    const std::size_t second = 156 + 64;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bank[second + 28])), std::string(27, 'x'));
    EXPECT_EQ(bank[second + 28 + 27], 0);

    FakePlugin q(3, 2, false);
    q.current = 1;
    EXPECT_TRUE(load(q, bank));
    EXPECT_EQ(q.values, p.values);
    EXPECT_EQ(q.current, 1);
    EXPECT_EQ(q.names[2], "C");
}

TEST(BankFile, ProgramOutsideThePluginsRangeIsSavedIntoTheBank)
{
    FakePlugin p(2, 1, false);
    p.reportedProgram = 9;  // regression: the record went past the end of the block
    const Bytes bank = saveBank(p);
    EXPECT_EQ(bank.size(), 156u + 2u * 60u);
}

// The built plug-in, opened as a host opens it.
class RealPlugin : public BankHost {
public:
    RealPlugin()
    {
        library_ = dlopen(TB_MODULE_DIR "/Tambrell.so", RTLD_NOW | RTLD_LOCAL);
        if (!library_)
            return;
        auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library_, "VSTPluginMain"));
        effect_ = entry ? entry(&callback) : nullptr;
        if (effect_) {
            dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
            dispatch(effSetBlockSize, 0, 256, nullptr, 0.0f);
            dispatch(effOpen, 0, 0, nullptr, 0.0f);
        }
    }
    ~RealPlugin() override
    {
        if (effect_)
            dispatch(effClose, 0, 0, nullptr, 0.0f);
        if (library_)
            dlclose(library_);
    }
    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
    {
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    const AEffect* effect() const override { return effect_; }
    VstInt32 uniqueId() const override { return effect_->uniqueID; }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float opt) override
    {
        return effect_->dispatcher(effect_, op, index, value, ptr, opt);
    }
    float getParameter(int i) override { return effect_->getParameter(effect_, i); }
    void setParameter(int i, float v) override { effect_->setParameter(effect_, i, v); }
    void setProgram(int) override { }
    std::string getCurrentProgramName() override { return ""; }
    void setCurrentProgramName(const std::string&) override { }
    void refreshProgramNames() override { }
    std::vector<unsigned char> snapshotProgram() override { return {}; }
    void restoreSnapshot(const std::vector<unsigned char>&) override { }

private:
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
};

TEST(BankFile, RealPluginChunkRoundTrip)
{
    RealPlugin plugin;
    ASSERT_NE(plugin.effect(), nullptr) << dlerror();
    ASSERT_NE(plugin.effect()->flags & effFlagsProgramChunks, 0);
    const float before = plugin.getParameter(0);
    void* bytes = nullptr;
    const auto chunkSize = plugin.dispatch(effGetChunk, 0, 0, &bytes, 0.0f);
    const Bytes bank = saveBank(plugin);
    ASSERT_EQ(bank.size(), 160u + static_cast<std::size_t>(chunkSize));
    EXPECT_EQ(getBig(bank, 8), fxfile::kBankChunkMagic);
    EXPECT_EQ(getBig(bank, 156), chunkSize);

    plugin.setParameter(0, before > 0.5f ? 0.1f : 0.9f);
    EXPECT_TRUE(load(plugin, bank));
    EXPECT_FLOAT_EQ(plugin.getParameter(0), before);

    Bytes damaged = bank;
    putBig(damaged, 156, static_cast<VstInt32>(chunkSize) + 1);
    EXPECT_FALSE(load(plugin, damaged));
}

}  // namespace
