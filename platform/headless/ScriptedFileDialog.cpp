#include "platform/headless/ScriptedFileDialog.h"

namespace platform {
namespace {

    class ScriptedRun final : public IDialogRun {
    public:
        ScriptedRun(DialogResult answer, int runningPolls, std::shared_ptr<int> open)
            : answer_(std::move(answer))
            , runningPolls_(runningPolls)
            , open_(std::move(open))
        {
            ++*open_;
        }
        ~ScriptedRun() override { --*open_; }
        DialogResult poll() override
        {
            if (runningPolls_ > 0) {
                --runningPolls_;
                return {DialogStatus::Running, {}};
            }
            return answer_;
        }

    private:
        DialogResult answer_;
        int runningPolls_;
        std::shared_ptr<int> open_;
    };

}  // namespace

std::unique_ptr<IDialogRun> ScriptedFileDialog::start(const DialogRequest& request)
{
    requests.push_back(request);
    DialogResult r;  // an unscripted dialog is a cancelled one
    if (!results.empty()) {
        r = results.front();
        results.pop_front();
    }
    return std::make_unique<ScriptedRun>(r, runningPolls, open_);
}

std::unique_ptr<IDialogRun> ScriptedFileDialog::startOverwriteQuestion(
    const std::string&, const std::string& path, uintptr_t)
{
    overwriteQuestions.push_back(path);
    bool yes = false;
    if (!overwriteAnswers.empty()) {
        yes = overwriteAnswers.front();
        overwriteAnswers.pop_front();
    }
    return std::make_unique<ScriptedRun>(
        DialogResult {yes ? DialogStatus::Chosen : DialogStatus::Cancelled, {}}, runningPolls, open_);
}

}  // namespace platform
