#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Open/save file dialogs, in place of the system's common dialogs. A dialog
// runs beside its caller: starting one returns at once, and the caller asks on
// its own ticks whether the user has answered, so the host's windows never
// wait for the user. The backend shows the dialog; the caller keeps the rules
// (existing file, overwrite question, default extension) so that every backend
// behaves alike. UI thread only.
namespace platform {

enum class DialogKind { Open, Save };
enum class DialogStatus {
    Running,  // the user has not answered yet
    Chosen,
    Cancelled,
    Failed,
    Unavailable,  // nothing on this system can show a dialog
};

struct DialogFilter {
    std::string description;
    std::vector<std::string> extensions;  // without "*."; "*" for any
};

struct DialogRequest {
    DialogKind kind = DialogKind::Open;
    std::string title;
    std::string initialFolder;  // ends in '/' or is empty
    std::string fileName;  // suggested name, may be empty
    std::vector<DialogFilter> filters;
    int filterIndex = 0;
    uintptr_t ownerWindow = 0;  // the X11 window the dialog belongs to; 0: none
};

struct DialogResult {
    DialogStatus status = DialogStatus::Cancelled;
    std::string path;  // as the user chose it, whatever its length or characters
};

// One dialog on the screen. Destroying it while the user still has it open
// takes it away; its answer is lost.
class IDialogRun {
public:
    virtual ~IDialogRun() = default;
    // Running until the user answers; from then on the answer, every time.
    virtual DialogResult poll() = 0;
};

class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    virtual std::unique_ptr<IDialogRun> start(const DialogRequest& request) = 0;
    // Yes/no question before a file is replaced: Chosen means "replace it".
    virtual std::unique_ptr<IDialogRun> startOverwriteQuestion(
        const std::string& title, const std::string& path, uintptr_t ownerWindow)
        = 0;
};

// The process's dialog backend: the one installed, else the desktop one.
IFileDialog& fileDialog();
// Installs a backend (tests); null returns to the desktop one. The caller keeps ownership.
void setFileDialog(IFileDialog* backend);

// The desktop backend: zenity, else kdialog, run without a shell. Without
// either, every dialog answers Unavailable.
IFileDialog& desktopFileDialog();

}  // namespace platform
