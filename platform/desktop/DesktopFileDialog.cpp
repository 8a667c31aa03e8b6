#include <string>
#include <vector>

#include "platform/DialogOwner.h"
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

    std::string firstLine(const std::string& s)
    {
        const size_t nl = s.find('\n');
        return nl == std::string::npos ? s : s.substr(0, nl);
    }

    DialogResult resultOf(const ProgramOutput& o)
    {
        DialogResult r;
        if (!o.started)
            return r;  // cancelled
        if (o.exitCode == 0) {
            r.path = firstLine(o.standardOutput);
            r.status = r.path.empty() ? DialogStatus::Cancelled : DialogStatus::Chosen;
        } else if (o.exitCode == 1) {
            r.status = DialogStatus::Cancelled;
        } else {
            r.status = DialogStatus::Failed;
        }
        return r;
    }

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

    // Runs a dialog program attached to the window of the dialog's owner, whose
    // events are served meanwhile so that it keeps painting.
    ProgramOutput runDialog(Program program, std::vector<std::string> argv)
    {
        const DialogOwner* owner = dialogOwner();
        if (owner == nullptr)
            return runProgram(argv);
        if (owner->nativeWindow != 0 && argv.size() > 1) {
            const std::string id = std::to_string(owner->nativeWindow);
            if (program == Program::Zenity) {
                argv.push_back("--attach=" + id);
            } else {
                argv.insert(argv.begin() + 1, {"--attach", id});
            }
        }
        return runProgram(argv, 1 << 16, owner->whileWaiting);
    }

    class DesktopFileDialog final : public IFileDialog {
    public:
        DialogResult run(const DialogRequest& r) override
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
                return resultOf(runDialog(Program::Zenity, argv));
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
                return resultOf(runDialog(Program::Kdialog, argv));
            }
            return {};  // nothing to show a dialog with: the user could not choose
        }

        bool confirmOverwrite(const std::string& title, const std::string& path) override
        {
            const std::string question = "\"" + path + "\" already exists. Replace it?";
            if (std::string zenity = findProgram("zenity"); !zenity.empty()) {
                return runDialog(Program::Zenity, {zenity, "--question", "--title=" + title, "--text=" + question})
                           .exitCode
                    == 0;
            }
            if (std::string kdialog = findProgram("kdialog"); !kdialog.empty()) {
                return runDialog(Program::Kdialog, {kdialog, "--title", title, "--yesno", question}).exitCode == 0;
            }
            return false;
        }

        void showMessage(const std::string& title, const std::string& text) override
        {
            if (std::string zenity = findProgram("zenity"); !zenity.empty()) {
                runDialog(Program::Zenity, {zenity, "--error", "--no-markup", "--title=" + title, "--text=" + text});
                return;
            }
            if (std::string kdialog = findProgram("kdialog"); !kdialog.empty())
                runDialog(Program::Kdialog, {kdialog, "--title", title, "--error", text});
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
