#include "effect/product/ProgramCommands.h"

#include "effect/product/CDrive.h"
#include "effect/product/PresetFiles.h"
#include "framework/engine/CProgram.h"
#include "framework/util/CFileList.h"
#include "framework/util/CFileSelector.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <string>

ProgramCommands::ProgramCommands(CDrive* engine, void* moduleHandle, RebuildMenu rebuildMenu, Tell tell)
    : engine_(engine)
    , module_(moduleHandle)
    , rebuildMenu_(std::move(rebuildMenu))
    , tell_(std::move(tell))
{
}

ProgramCommands::~ProgramCommands() { cancel(); }

bool ProgramCommands::dialogOpen() const { return pending_ != Pending::None; }

void ProgramCommands::cancel()
{
    selector_.reset();
    pending_ = Pending::None;
}

void ProgramCommands::run(int32_t position, void* ownerWindow)
{
    if (engine_ == nullptr)
        return;
    CDrive& engine = *engine_;
    switch (position) {
    case presetfiles::kSavePosition: startDialog(Pending::Save, ownerWindow); return;
    case presetfiles::kLoadPosition: startDialog(Pending::Load, ownerWindow); return;
    case presetfiles::kResetPosition: {
        // The reset values and their switch in one turn, so a host's chunk
        // restore on another thread cannot land in between.
        const auto turn = engine.takeControlTurn();
        if (CProgram* program = engine.getCurrentProgram())
            program->reset();
        rebuildMenu_();
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
    rebuildMenu_();
    // A chunk refused or cut short still leads to a switch, which pushes the
    // program as it stands to the chain, the host and the editor.
    engine.selectProgram(0);
}

void ProgramCommands::startDialog(Pending command, void* ownerWindow)
{
    // The user answers the dialog already open first.
    if (pending_ != Pending::None)
        return;
    auto* selector = new (std::nothrow) CFileSelector(module_);
    if (selector == nullptr)
        return;
    selector_.reset(selector);
    const bool save = command == Pending::Save;
    // The proposed name is copied now, in the control turn: a host's chunk
    // restore may rewrite it.
    char name[kProgramNameCapacity] = {};
    if (save)
        engine_->getProgramName(engine_->getCurrentProgramIndex(), name);
    selector->setTitle(save ? "Save Program" : "Load Program");
    selector->setInitialFolder(engine_->getPresetsFolder());
    selector->setFileName(name);
    selector->setFilterIndex(0);
    selector->addFilter(presetfiles::kFileType, presetfiles::kExtension);
    if (!(save ? selector->startSaveDialog(ownerWindow) : selector->startOpenDialog(ownerWindow))) {
        selector_.reset();
        return;
    }
    pending_ = command;
    // An answer known at once (nothing to show a dialog with) is taken on this click.
    poll();
}

void ProgramCommands::poll()
{
    if (pending_ == Pending::None || selector_ == nullptr)
        return;
    const CFileSelector::DialogState state = selector_->pollDialog();
    if (state == CFileSelector::DialogState::Running)
        return;
    const Pending command = pending_;
    pending_ = Pending::None;
    if (state == CFileSelector::DialogState::Unavailable)
        tellNoDialogProgram();
    if (state == CFileSelector::DialogState::TooLong || state == CFileSelector::DialogState::LineBreak)
        tellRefused(state == CFileSelector::DialogState::TooLong, command);
    if (state == CFileSelector::DialogState::Chosen) {
        const std::string path = selector_->getChosenPath();
        if (command == Pending::Save)
            finishSave(path.c_str());
        else
            finishLoad(path.c_str());
    }
    selector_.reset();
}

void ProgramCommands::finishSave(const char* path)
{
    if (engine_ == nullptr)
        return;
    if (presetfiles::save(*engine_, path) != presetfiles::SaveResult::Saved) {
        const std::string text = "The program could not be saved as \"" + std::string(path)
            + "\". The file and the program's name are unchanged.";
        if (tell_)
            tell_(text.c_str());
        return;
    }
    rebuildMenu_();
}

void ProgramCommands::finishLoad(const char* path)
{
    if (engine_ == nullptr)
        return;
    char baseName[kProgramNameCapacity];
    fileBaseName(path, baseName, sizeof baseName);
    if (presetfiles::load(*engine_, path, baseName) != presetfiles::LoadResult::NotRead)
        rebuildMenu_();
}

void ProgramCommands::tellRefused(bool tooLong, Pending command)
{
    if (!tell_)
        return;
    // Without the path: one that is too long would fill the board, and one
    // with a line break would not read as one name.
    std::string text = "The chosen name holds a line break, which a program's name cannot have.";
    if (tooLong) {
        text = "The chosen path is longer than the " + std::to_string(CFileSelector::kPathCapacity - 1)
            + " bytes a path can have.";
    }
    text += command == Pending::Save ? " Nothing was saved." : " Nothing was loaded.";
    tell_(text.c_str());
}

void ProgramCommands::tellNoDialogProgram()
{
    // On the board every time the user asks, in the host's log once.
    if (tell_)
        tell_(kNoDialogProgram);
    static std::atomic<bool> logged {false};
    if (!logged.exchange(true))
        std::fprintf(stderr, "Tambrell: %s\n", kNoDialogProgram);
}
