#pragma once

#include "effect/product/CDrive.h"
#include "effect/product/ProgramChunk.h"
#include "framework/engine/CPluginWrapper.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CDriveDef;

// The multi-effect's definition, installed when the test program starts, as the
// plug-in module installs its own.
CDriveDef* driveDefinition() noexcept;

namespace producttest {

// Records what the engine tells the host.
class RecordingWrapper : public CPluginWrapper {
public:
    void parameterChanged(int32_t index, float value) override { changes.emplace_back(index, value); }
    std::vector<std::pair<int32_t, float>> changes;
};

// Sets an environment variable (or removes it for null) for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_;
};

// A data folder with a Presets sub-folder, made the configured root through
// a private XDG configuration for as long as it lives.
class DataRoot {
public:
    DataRoot();
    const std::string& path() const { return folder.path(); }
    std::string addPreset(const std::string& fileName, const std::vector<uint8_t>& bytes) const;

    tbtest::TempFolder config;
    tbtest::TempFolder folder;
    ScopedEnv home;
    ScopedEnv dirs;
};

// The defaults of the program as a chunk's values.
void defaultValues(float (&values)[programchunk::kValueCount]);
std::vector<uint8_t> makeChunk(const float (&values)[programchunk::kValueCount], const char* name);
std::vector<uint8_t> chunkOf(CDrive& engine);
// Replaces the engine's preset list with `count` entries "/p/00000.tbprg" ..
// (no files behind them), as a scan of a folder that big would leave it.
void fillPresetList(CDrive& engine, int count);

}  // namespace producttest
