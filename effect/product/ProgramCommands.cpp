#include "effect/product/ProgramCommands.h"

#include "effect/product/CDrive.h"
#include "effect/product/PresetFiles.h"
#include "framework/engine/CProgram.h"
#include "framework/util/CFileList.h"
#include "framework/util/CFileSelector.h"
#include "platform/FileDialog.h"

#include <string>

namespace programcommands {

namespace {

    void prepare(CFileSelector& selector, CDrive& engine, const char* title, const char* fileName)
    {
        selector.setTitle(title);
        selector.setInitialFolder(engine.getPresetsFolder());
        selector.setFileName(fileName);
        selector.setFilterIndex(0);
        selector.addFilter(presetfiles::kFileType, presetfiles::kExtension);
    }

    void saveProgram(CDrive& engine, void* owner, void* module, const std::function<void()>& rebuildMenu)
    {
        CFileSelector selector(module);
        // Copied in the control turn: a host's chunk restore may rewrite it.
        char name[kProgramNameCapacity] = {};
        engine.getProgramName(engine.getCurrentProgramIndex(), name);
        prepare(selector, engine, "Save Program", name);
        const char* path = selector.showSaveDialog(owner);
        if (path == nullptr)
            return;
        if (presetfiles::save(engine, path) != presetfiles::SaveResult::Saved) {
            platform::fileDialog().showMessage("Save Program",
                "The program could not be saved as \"" + std::string(path)
                    + "\". The file and the program's name are unchanged.");
            return;
        }
        rebuildMenu();
    }

    void loadProgram(CDrive& engine, void* owner, void* module, const std::function<void()>& rebuildMenu)
    {
        CFileSelector selector(module);
        prepare(selector, engine, "Load Program", "");
        const char* path = selector.showOpenDialog(owner);
        if (path == nullptr)
            return;
        char baseName[kProgramNameCapacity];
        fileBaseName(path, baseName, sizeof baseName);
        if (presetfiles::load(engine, path, baseName) != presetfiles::LoadResult::NotRead)
            rebuildMenu();
    }

}  // namespace

void run(
    CDrive& engine, int32_t position, void* ownerWindow, void* moduleHandle, const std::function<void()>& rebuildMenu)
{
    switch (position) {
    case presetfiles::kSavePosition: saveProgram(engine, ownerWindow, moduleHandle, rebuildMenu); return;
    case presetfiles::kLoadPosition: loadProgram(engine, ownerWindow, moduleHandle, rebuildMenu); return;
    case presetfiles::kResetPosition: {
        // The reset values and their switch in one turn, so a host's chunk
        // restore on another thread cannot land in between.
        const auto turn = engine.takeControlTurn();
        if (CProgram* program = engine.getCurrentProgram())
            program->reset();
        rebuildMenu();
        engine.selectProgram(0);
        return;
    }
    default: break;
    }
    if (position < presetfiles::kFirstPresetPosition)
        return;
    char baseName[kProgramNameCapacity];
    const char* path
        = engine.getPresetList().getEntry(position - presetfiles::kFirstPresetPosition, baseName, sizeof baseName);
    if (path == nullptr)
        return;
    if (presetfiles::load(engine, path, baseName) == presetfiles::LoadResult::NotRead)
        return;
    rebuildMenu();
    // A chunk refused or cut short still leads to a switch, which pushes the
    // program as it stands to the chain, the host and the editor.
    engine.selectProgram(0);
}

}  // namespace programcommands
