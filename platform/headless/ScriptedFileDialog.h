#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/FileDialog.h"

namespace platform {

// A dialog backend for tests: answers from a script and records what was asked.
class ScriptedFileDialog final : public IFileDialog {
public:
    void pushResult(DialogStatus status, std::string path = {}) { results.push_back({status, std::move(path)}); }
    void pushOverwriteAnswer(bool yes) { overwriteAnswers.push_back(yes); }

    DialogResult run(const DialogRequest& request) override;
    bool confirmOverwrite(const std::string& title, const std::string& path) override;

    std::vector<DialogRequest> requests;
    std::vector<std::string> overwriteQuestions;

private:
    std::deque<DialogResult> results;
    std::deque<bool> overwriteAnswers;
};

}  // namespace platform
