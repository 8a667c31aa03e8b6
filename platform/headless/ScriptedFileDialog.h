#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileDialog.h"

namespace platform {

// A dialog backend for tests: answers from a script and records what was asked.
// A dialog answers at its first poll unless runningPolls says how many polls
// it still reports Running first.
class ScriptedFileDialog final : public IFileDialog {
public:
    void pushResult(DialogStatus status, std::string path = {}) { results.push_back({status, std::move(path)}); }
    void pushOverwriteAnswer(bool yes) { overwriteAnswers.push_back(yes); }

    std::unique_ptr<IDialogRun> start(const DialogRequest& request) override;
    std::unique_ptr<IDialogRun> startOverwriteQuestion(
        const std::string& title, const std::string& path, uintptr_t ownerWindow) override;

    // Dialogs started and not yet taken away.
    int openDialogs() const { return *open_; }

    std::vector<DialogRequest> requests;
    std::vector<std::string> overwriteQuestions;
    int runningPolls = 0;

private:
    std::deque<DialogResult> results;
    std::deque<bool> overwriteAnswers;
    std::shared_ptr<int> open_ = std::make_shared<int>(0);
};

}  // namespace platform
