#include "platform/headless/ScriptedFileDialog.h"

namespace platform {

DialogResult ScriptedFileDialog::run(const DialogRequest& request)
{
    requests.push_back(request);
    if (results.empty())
        return {};  // an unscripted dialog is a cancelled one
    DialogResult r = results.front();
    results.pop_front();
    return r;
}

bool ScriptedFileDialog::confirmOverwrite(const std::string&, const std::string& path)
{
    overwriteQuestions.push_back(path);
    if (overwriteAnswers.empty())
        return false;
    const bool yes = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    return yes;
}

}  // namespace platform
