#include "framework/vst/bank/BankFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/vst/VstOpcodes.h"

namespace {

using namespace fxfile;

VstInt32 readBig(const unsigned char* p)
{
    const std::uint32_t v = (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16)
        | (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
    return static_cast<VstInt32>(v);
}

float readBigFloat(const unsigned char* p)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(readBig(p));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void writeBig(unsigned char* p, VstInt32 value)
{
    const auto v = static_cast<std::uint32_t>(value);
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

void writeBigFloat(unsigned char* p, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    writeBig(p, static_cast<VstInt32>(bits));
}

// The name field: 8-bit text up to the first NUL within its 28 bytes.
std::string readName(const unsigned char* p)
{
    const auto* end = std::find(p, p + kNameBytes, 0);
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
}

bool hasChunks(const BankHost& plugin)
{
    return plugin.effect() && (plugin.effect()->flags & effFlagsProgramChunks) != 0;
}

int paramCount(const BankHost& plugin) { return plugin.effect() ? std::max(plugin.effect()->numParams, 0) : 0; }
int programCount(const BankHost& plugin) { return plugin.effect() ? std::max(plugin.effect()->numPrograms, 0) : 0; }
VstInt32 effectVersion(const BankHost& plugin) { return plugin.effect() ? plugin.effect()->version : 0; }

// chunkMagic, byteSize (left 0, as other hosts read it), fxMagic, version,
// fxID, fxVersion and the count at 24.
void writeHeader(unsigned char* p, VstInt32 fxMagic, VstInt32 id, VstInt32 version, VstInt32 count)
{
    writeBig(p, kChunkMagic);
    writeBig(p + 8, fxMagic);
    writeBig(p + 12, 1);
    writeBig(p + 16, id);
    writeBig(p + 20, version);
    writeBig(p + 24, count);
}

std::int64_t programStride(std::int64_t numParams)
{
    return static_cast<std::int64_t>(kProgramHeaderBytes) + 4 * numParams;
}

bool loadParameterBank(BankHost& plugin, const unsigned char* data, std::size_t size)
{
    const VstInt32 numPrograms = readBig(data + 24);
    if (numPrograms < 0)
        return true;
    if (size < kBankHeaderBytes + kProgramHeaderBytes)
        return false;
    const VstInt32 firstParams = readBig(data + kBankHeaderBytes + 24);
    if (firstParams < 0)
        return false;
    const std::int64_t stride = programStride(firstParams);
    const auto total = static_cast<std::int64_t>(size);
    const auto current = static_cast<std::int64_t>(plugin.dispatch(effGetProgram, 0, 0, nullptr, 0.0f));
    // Every record the loop below reaches must lie whole inside the data
    // before the first one changes the plug-in.
    auto recordFits = [&](std::int64_t i) {
        if (i < 0)
            return false;
        const std::int64_t offset = static_cast<std::int64_t>(kBankHeaderBytes) + i * stride;
        if (offset + static_cast<std::int64_t>(kProgramHeaderBytes) > total)
            return false;
        const VstInt32 params = readBig(data + offset + 24);
        return params >= 0 && offset + programStride(params) <= total;
    };
    if (!recordFits(current) || (numPrograms > 0 && !recordFits(static_cast<std::int64_t>(numPrograms) - 1)))
        return false;
    for (std::int64_t i = 0; i < numPrograms; ++i)
        if (!recordFits(i))
            return false;
    auto apply = [&](std::int64_t i) {
        const std::int64_t offset = static_cast<std::int64_t>(kBankHeaderBytes) + i * stride;
        return applyProgram(plugin, data + offset, size - static_cast<std::size_t>(offset));
    };
    for (VstInt32 i = 0; i < numPrograms; ++i) {
        if (i == current)
            continue;
        plugin.setProgram(i);
        if (!apply(i))
            return false;
    }
    if (numPrograms > 0)
        plugin.setProgram(static_cast<int>(current));
    return apply(current);
}

bool loadSingleProgram(BankHost& plugin, const unsigned char* data, std::size_t size)
{
    if (readBig(data) != kChunkMagic || size < kProgramHeaderBytes)
        return false;
    const VstInt32 numParams = readBig(data + 24);
    if (numParams > 0 && programStride(numParams) > static_cast<std::int64_t>(size))
        return false;
    plugin.setCurrentProgramName(readName(data + 28));
    for (VstInt32 i = 0; i < numParams; ++i)
        plugin.setParameter(i, readBigFloat(data + kProgramHeaderBytes + 4 * static_cast<std::size_t>(i)));
    return true;
}

bool loadChunk(BankHost& plugin, const unsigned char* data, std::size_t size, bool program)
{
    const std::size_t sizeAt = program ? kProgramHeaderBytes : kBankHeaderBytes;
    const std::size_t bytesAt = sizeAt + 4;
    if (size < bytesAt)
        return false;
    const VstInt32 chunkSize = readBig(data + sizeAt);
    if (chunkSize > 0 && static_cast<std::uint64_t>(chunkSize) + bytesAt > size)
        return false;
    if (chunkSize > 0 && hasChunks(plugin)) {
        // The plug-in answers 0 when it refuses the chunk: that is a failed
        // load, whatever the file looked like.
        void* bytes = const_cast<unsigned char*>(data + bytesAt);
        if (plugin.dispatch(effSetChunk, program ? 1 : 0, chunkSize, bytes, 0.0f) == 0)
            return false;
        if (!program)
            plugin.refreshProgramNames();
    }
    if (program)
        plugin.setCurrentProgramName(readName(data + 28));
    return true;
}

}  // namespace

void writeProgram(BankHost& plugin, unsigned char* destination)
{
    const int numParams = paramCount(plugin);
    std::memset(destination, 0, static_cast<std::size_t>(programStride(numParams)));
    writeHeader(destination, kProgramMagic, plugin.uniqueId(), effectVersion(plugin), numParams);
    const std::string name = plugin.getCurrentProgramName();
    std::memcpy(destination + 28, name.data(), std::min<std::size_t>(name.size(), kNameBytes - 1));
    for (int i = 0; i < numParams; ++i)
        writeBigFloat(destination + kProgramHeaderBytes + 4 * static_cast<std::size_t>(i), plugin.getParameter(i));
}

std::vector<unsigned char> saveBank(BankHost& plugin)
{
    const VstInt32 id = plugin.uniqueId();
    const VstInt32 version = effectVersion(plugin);
    if (hasChunks(plugin)) {
        void* bytes = nullptr;
        const VstIntPtr answered = plugin.dispatch(effGetChunk, 0, 0, &bytes, 0.0f);
        const std::size_t chunkSize
            = bytes != nullptr && answered > 0 && answered <= INT32_MAX ? static_cast<std::size_t>(answered) : 0;
        std::vector<unsigned char> bank(kBankHeaderBytes + 4 + chunkSize, 0);
        writeHeader(bank.data(), kBankChunkMagic, id, version, programCount(plugin));
        writeBig(bank.data() + kBankHeaderBytes, static_cast<VstInt32>(chunkSize));
        if (chunkSize > 0)
            std::memcpy(bank.data() + kBankHeaderBytes + 4, bytes, chunkSize);
        return bank;
    }
    const int programs = std::max(programCount(plugin), 1);
    const auto stride = static_cast<std::size_t>(programStride(paramCount(plugin)));
    std::vector<unsigned char> bank(kBankHeaderBytes + static_cast<std::size_t>(programs) * stride, 0);
    writeHeader(bank.data(), kBankMagic, id, version, programCount(plugin));
    // A plug-in that reports a program outside its own range still gets a
    // bank that fits: its values go into the nearest record.
    const auto answered = plugin.dispatch(effGetProgram, 0, 0, nullptr, 0.0f);
    const int current = static_cast<int>(std::clamp<VstIntPtr>(answered, 0, programs - 1));
    const auto snapshot = plugin.snapshotProgram();
    writeProgram(plugin, bank.data() + kBankHeaderBytes + static_cast<std::size_t>(current) * stride);
    for (int i = 0; i < programCount(plugin); ++i) {
        if (i == current)
            continue;
        plugin.setProgram(i);
        writeProgram(plugin, bank.data() + kBankHeaderBytes + static_cast<std::size_t>(i) * stride);
    }
    plugin.setProgram(current);
    plugin.restoreSnapshot(snapshot);
    return bank;
}

bool applyProgram(BankHost& plugin, const unsigned char* record, std::size_t size)
{
    if (size < kProgramHeaderBytes || readBig(record) != kChunkMagic || readBig(record + 8) != kProgramMagic)
        return false;
    const VstInt32 numParams = readBig(record + 24);
    if (numParams > 0 && programStride(numParams) > static_cast<std::int64_t>(size))
        return false;
    plugin.setCurrentProgramName(readName(record + 28));
    for (VstInt32 i = 0; i < numParams; ++i)
        plugin.setParameter(i, readBigFloat(record + kProgramHeaderBytes + 4 * static_cast<std::size_t>(i)));
    return true;
}

bool loadBankOrProgram(BankHost& plugin, const unsigned char* data, std::size_t size)
{
    if (data == nullptr || size < kNameBytes)
        return false;
    const VstInt32 chunkMagic = readBig(data);
    if (chunkMagic != kChunkMagic && chunkMagic != vstFourCC('K', 'n', 'c', 'C'))
        return false;
    if (readBig(data + 12) > 1)
        return false;
    const VstInt32 fxMagic = readBig(data + 8);
    if (fxMagic == kBankMagic)
        return loadParameterBank(plugin, data, size);
    if (fxMagic == kProgramMagic)
        return loadSingleProgram(plugin, data, size);
    if (fxMagic == kBankChunkMagic || fxMagic == vstFourCC('h', 'C', 'B', 'F'))
        return loadChunk(plugin, data, size, false);
    if (fxMagic == kProgramChunkMagic || fxMagic == vstFourCC('h', 'C', 'P', 'F'))
        return loadChunk(plugin, data, size, true);
    return false;
}
