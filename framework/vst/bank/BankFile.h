#pragma once
// VST 2 bank (fxBank) and program (fxProgram) files, built and read in memory.
// Header numbers are big-endian, the four-character codes are stored first
// character first. A plug-in with effFlagsProgramChunks is saved as one opaque
// chunk, any other parameter by parameter.
//
// Every size and count read from the data is checked against the data's own
// size before anything reaches the plug-in: a header that claims more than
// the file holds is refused and nothing changes.
//
// Thread use: the message thread, like every dispatcher call of the host.

#include <cstddef>
#include <string>
#include <vector>

#include "framework/vst/VstTypes.h"

// What the bank code needs of a hosted instance. The host's instance class
// answers through a small adapter; tests use fakes.
class BankHost {
public:
    virtual ~BankHost() = default;
    // Null when the plug-in gave no effect.
    virtual const AEffect* effect() const = 0;
    // The plug-in's uniqueID, or the id the host made from the file name.
    virtual VstInt32 uniqueId() const = 0;
    virtual VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) = 0;
    virtual float getParameter(int index) = 0;
    // Sends the value only when it differs from what the plug-in reports.
    virtual void setParameter(int index, float value) = 0;
    virtual void setProgram(int program) = 0;
    virtual std::string getCurrentProgramName() = 0;
    virtual void setCurrentProgramName(const std::string& name) = 0;
    virtual void refreshProgramNames() = 0;
    virtual std::vector<unsigned char> snapshotProgram() = 0;
    virtual void restoreSnapshot(const std::vector<unsigned char>& snapshot) = 0;
};

namespace fxfile {
constexpr VstInt32 kChunkMagic = vstFourCC('C', 'c', 'n', 'K');
constexpr VstInt32 kProgramMagic = vstFourCC('F', 'x', 'C', 'k');
constexpr VstInt32 kProgramChunkMagic = vstFourCC('F', 'P', 'C', 'h');
constexpr VstInt32 kBankMagic = vstFourCC('F', 'x', 'B', 'k');
constexpr VstInt32 kBankChunkMagic = vstFourCC('F', 'B', 'C', 'h');
constexpr std::size_t kProgramHeaderBytes = 56;
constexpr std::size_t kBankHeaderBytes = 156;
constexpr std::size_t kNameBytes = 28;
}  // namespace fxfile

// The plug-in's whole state as a bank file.
std::vector<unsigned char> saveBank(BankHost& plugin);
// One parameter-form program record of the current program into destination,
// which holds at least 56 + 4 * numParams bytes.
void writeProgram(BankHost& plugin, unsigned char* destination);
// Loads a bank or program file into the plug-in; false when the data is
// refused or the plug-in refuses its chunk (effSetChunk answered 0).
bool loadBankOrProgram(BankHost& plugin, const unsigned char* data, std::size_t size);
// One parameter-form program record of size bytes; false unless it is one.
bool applyProgram(BankHost& plugin, const unsigned char* record, std::size_t size);
