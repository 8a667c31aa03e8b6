#include <memory>
#include <string>
#include <vector>

#include "platform/FileDialog.h"
#include "platform/desktop/ProgramRunner.h"

namespace platform {
namespace {

    std::string patternsOf(const DialogFilter& f, const char* separator)
    {
        std::string out;
        for (const std::string& e : f.extensions) {
            if (e.empty())
                continue;
            if (!out.empty())
                out += separator;
            out += "*." + e;
        }
        return out.empty() ? std::string("*") : out;
    }

    // kdialog takes the start path as a bare argument: a program name such as
    // "-x" must not be read as an option.
    std::string startPath(const DialogRequest& r)
    {
        const std::string path = r.initialFolder + r.fileName;
        return !path.empty() && path[0] == '-' ? "./" + path : path;
    }

    // The chosen path is everything before the line end the program adds: a
    // name may hold a line break of its own, and cutting there would name a
    // file the user never chose. The caller decides what such a name means.
    std::string withoutLineEnd(const std::string& s)
    {
        return !s.empty() && s.back() == '\n' ? s.substr(0, s.size() - 1) : s;
    }

    // kdialog reads "\n" and "\\" in a message as escapes, and its message box
    // takes a text that looks like markup for rich text. So the text goes as
    // rich text with every character that could mean something spelled out,
    // and its blanks kept, to show exactly as written.
    std::string plainForKdialog(const std::string& text)
    {
        std::string out = "<qt><p style=\"white-space:pre-wrap\">";
        for (const char c : text) {
            switch (c) {
            case '\\': out += "\\\\"; break;
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c; break;
            }
        }
        return out + "</p></qt>";
    }

    // A file dialog prints the chosen path and exits 0; 1 is the user's "cancel".
    DialogResult fileAnswer(const RunningProgram& p)
    {
        DialogResult r;
        if (p.exitCode() == 0) {
            r.path = withoutLineEnd(p.output());
            r.status = r.path.empty() ? DialogStatus::Cancelled : DialogStatus::Chosen;
        } else if (p.exitCode() == 1) {
            r.status = DialogStatus::Cancelled;
        } else {
            r.status = DialogStatus::Failed;
        }
        return r;
    }

    DialogResult questionAnswer(const RunningProgram& p)
    {
        return {p.exitCode() == 0 ? DialogStatus::Chosen : DialogStatus::Cancelled, {}};
    }

    // An answer known before anything was shown.
    class SettledRun final : public IDialogRun {
    public:
        explicit SettledRun(DialogStatus status)
            : result_ {status, {}}
        {
        }
        DialogResult poll() override { return result_; }

    private:
        DialogResult result_;
    };

    // A dialog program on the screen; its end is its answer.
    class ProgramRun final : public IDialogRun {
    public:
        using Reading = DialogResult (*)(const RunningProgram&);
        explicit ProgramRun(Reading reading)
            : reading_(reading)
        {
        }
        bool start(const std::vector<std::string>& argv) { return program_.start(argv); }
        DialogResult poll() override
        {
            if (!answered_) {
                if (!program_.poll())
                    return {DialogStatus::Running, {}};
                answer_ = reading_(program_);
                answered_ = true;
            }
            return answer_;
        }

    private:
        RunningProgram program_;
        Reading reading_;
        DialogResult answer_;
        bool answered_ = false;
    };

    std::vector<DialogFilter> orderedFilters(const DialogRequest& r)
    {
        // Both programs preselect the first filter given, so the chosen one goes first.
        std::vector<DialogFilter> f = r.filters;
        if (r.filterIndex > 0 && static_cast<size_t>(r.filterIndex) < f.size()) {
            DialogFilter chosen = f[static_cast<size_t>(r.filterIndex)];
            f.erase(f.begin() + r.filterIndex);
            f.insert(f.begin(), chosen);
        }
        return f;
    }

    enum class Program { Zenity, Kdialog };

    // Starts a dialog program attached to the owner's window.
    std::unique_ptr<IDialogRun> startDialog(
        Program program, std::vector<std::string> argv, uintptr_t owner, ProgramRun::Reading reading)
    {
        if (owner != 0 && argv.size() > 1) {
            const std::string id = std::to_string(owner);
            if (program == Program::Zenity) {
                argv.push_back("--attach=" + id);
            } else {
                argv.insert(argv.begin() + 1, {"--attach", id});
            }
        }
        auto run = std::make_unique<ProgramRun>(reading);
        if (!run->start(argv))
            return std::make_unique<SettledRun>(DialogStatus::Failed);
        return run;
    }

    class DesktopFileDialog final : public IFileDialog {
    public:
        std::unique_ptr<IDialogRun> start(const DialogRequest& r) override
        {
            if (std::string zenity = findProgram("zenity"); !zenity.empty()) {
                std::vector<std::string> argv {zenity, "--file-selection", "--title=" + r.title};
                if (r.kind == DialogKind::Save)
                    argv.push_back("--save");
                if (!startPath(r).empty())
                    argv.push_back("--filename=" + startPath(r));
                for (const DialogFilter& f : orderedFilters(r)) {
                    argv.push_back("--file-filter=" + f.description + " | " + patternsOf(f, " "));
                }
                return startDialog(Program::Zenity, argv, r.ownerWindow, fileAnswer);
            }
            if (std::string kdialog = findProgram("kdialog"); !kdialog.empty()) {
                std::vector<std::string> argv {kdialog, "--title", r.title,
                    r.kind == DialogKind::Save ? "--getsavefilename" : "--getopenfilename",
                    startPath(r).empty() ? std::string(".") : startPath(r)};
                std::string filter;
                for (const DialogFilter& f : orderedFilters(r)) {
                    if (!filter.empty())
                        filter += "\n";
                    filter += f.description + " (" + patternsOf(f, " ") + ")";
                }
                if (!filter.empty())
                    argv.push_back(filter);
                return startDialog(Program::Kdialog, argv, r.ownerWindow, fileAnswer);
            }
            return std::make_unique<SettledRun>(DialogStatus::Unavailable);
        }

        std::unique_ptr<IDialogRun> startOverwriteQuestion(
            const std::string& title, const std::string& path, uintptr_t owner) override
        {
            const std::string question = "\"" + path + "\" already exists. Replace it?";
            // A path is no markup: "Rock & Roll" or "<b>" must show as written.
            if (std::string zenity = findProgram("zenity"); !zenity.empty()) {
                return startDialog(Program::Zenity,
                    {zenity, "--question", "--no-markup", "--title=" + title, "--text=" + question}, owner,
                    questionAnswer);
            }
            if (std::string kdialog = findProgram("kdialog"); !kdialog.empty()) {
                return startDialog(Program::Kdialog, {kdialog, "--title", title, "--yesno", plainForKdialog(question)},
                    owner, questionAnswer);
            }
            return std::make_unique<SettledRun>(DialogStatus::Unavailable);
        }
    };

    IFileDialog* installed = nullptr;

}  // namespace

IFileDialog& desktopFileDialog()
{
    static DesktopFileDialog dialog;
    return dialog;
}

IFileDialog& fileDialog() { return installed != nullptr ? *installed : desktopFileDialog(); }

void setFileDialog(IFileDialog* backend) { installed = backend; }

}  // namespace platform
