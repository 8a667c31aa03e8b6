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
    void showMessage(const std::string& title, const std::string& text) override
    {
        messages.push_back(title + ": " + text);
    }

    std::vector<DialogRequest> requests;
    std::vector<std::string> overwriteQuestions;
    std::vector<std::string> messages;

private:
    std::deque<DialogResult> results;
    std::deque<bool> overwriteAnswers;
};

}  // namespace platform
