#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class CDrive;
class CFileSelector;

// The commands behind the program menu (its item positions): save, load and
// reset the program, and load a listed preset. Save and load show their
// dialog beside the host and return at once; the editor's ticks poll it and
// finish the command once the user has answered. One dialog at a time.
// UI thread only.
class ProgramCommands {
public:
    // Called wherever the menu must show a new name or list.
    using RebuildMenu = std::function<void()>;
    // A line the user must read (no dialog program, a save that failed, an
    // answer that cannot be used).
    using Tell = std::function<void(const char* text)>;

    static constexpr char kNoDialogProgram[] = "A file dialog needs zenity or kdialog: install one of them.";

    ProgramCommands(CDrive* engine, void* moduleHandle, RebuildMenu rebuildMenu, Tell tell);
    // A dialog still open is taken away.
    ~ProgramCommands();
    ProgramCommands(const ProgramCommands&) = delete;
    ProgramCommands& operator=(const ProgramCommands&) = delete;

    // The command at a menu position; the dialogs belong to ownerWindow (an X11
    // window id). Save and load do nothing while a dialog is open.
    void run(int32_t position, void* ownerWindow);
    // A tick: finishes the save or load whose dialog has been answered.
    void poll();
    // Takes an open dialog away; its answer is dropped and nothing is written.
    void cancel();
    bool dialogOpen() const;

private:
    enum class Pending { None, Save, Load };
    void startDialog(Pending command, void* ownerWindow);
    void finishSave(const char* path);
    void finishLoad(const char* path);
    void tellNoDialogProgram();
    void tellRefused(bool tooLong, Pending command);

    CDrive* engine_;
    void* module_;
    RebuildMenu rebuildMenu_;
    Tell tell_;
    std::unique_ptr<CFileSelector> selector_;
    Pending pending_ = Pending::None;
};
