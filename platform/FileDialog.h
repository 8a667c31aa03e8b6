#pragma once
#include <string>
#include <vector>

// Open/save file dialogs, in place of the system's common dialogs. The backend
// shows the dialog; the caller keeps the rules (existing file, overwrite question,
// default extension) so that every backend behaves alike.
namespace platform {

enum class DialogKind { Open, Save };
enum class DialogStatus { Chosen, Cancelled, Failed };

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
};

struct DialogResult {
    DialogStatus status = DialogStatus::Cancelled;
    std::string path;
};

class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    virtual DialogResult run(const DialogRequest& request) = 0;
    // Yes/no question before a file is replaced; false means "keep it".
    virtual bool confirmOverwrite(const std::string& title, const std::string& path) = 0;
    // Tells the user that something they asked for did not happen.
    virtual void showMessage(const std::string& title, const std::string& text)
    {
        (void)title;
        (void)text;
    }
};

// The process's dialog backend: the one installed, else the desktop one.
IFileDialog& fileDialog();
// Installs a backend (tests); null returns to the desktop one. The caller keeps ownership.
void setFileDialog(IFileDialog* backend);

// The desktop backend: zenity, else kdialog, run without a shell. No such program
// found counts as cancelled.
IFileDialog& desktopFileDialog();

}  // namespace platform
