#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <string>

#include "framework/util/CFileSelector.h"
#include "platform/headless/ScriptedFileDialog.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Waiting.h"

namespace {

using platform::DialogKind;
using platform::DialogStatus;

class FileSelectorTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setFileDialog(&script); }
    void TearDown() override { platform::setFileDialog(nullptr); }
    platform::ScriptedFileDialog script;
    tbtest::TempFolder tmp;
};

TEST_F(FileSelectorTest, WithoutFiltersNoDialogIsShown)
{
    CFileSelector s;
    script.pushResult(DialogStatus::Chosen, tmp.file("x"));
    EXPECT_EQ(s.showOpenDialog(nullptr), nullptr);
    EXPECT_EQ(s.showSaveDialog(nullptr), nullptr);
    EXPECT_TRUE(script.requests.empty());
}

TEST_F(FileSelectorTest, OpenPassesTheRequestAndNeedsAnExistingFile)
{
    const std::string existing = tmp.write("Clean.tbprg", std::string("x"));
    CFileSelector s;
    s.setTitle("Load Program");
    s.addFilter("Tambrell Program", "tbprg");
    s.setInitialFolder(tmp.path().c_str());
    script.pushResult(DialogStatus::Chosen, existing);
    const char* chosen = s.showOpenDialog(nullptr);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(std::string(chosen), existing);
    ASSERT_EQ(script.requests.size(), 1u);
    const auto& r = script.requests[0];
    EXPECT_EQ(r.kind, DialogKind::Open);
    EXPECT_EQ(r.title, "Load Program");
    EXPECT_EQ(r.initialFolder, tmp.path() + "/");
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].description, "Tambrell Program");
    EXPECT_EQ(r.filters[0].extensions, std::vector<std::string> {"tbprg"});

    script.pushResult(DialogStatus::Chosen, tmp.file("missing.tbprg"));
    EXPECT_EQ(s.showOpenDialog(nullptr), nullptr);
    script.pushResult(DialogStatus::Chosen, tmp.path());  // a folder is not a file
    EXPECT_EQ(s.showOpenDialog(nullptr), nullptr);
    script.pushResult(DialogStatus::Cancelled);
    EXPECT_EQ(s.showOpenDialog(nullptr), nullptr);
}

TEST_F(FileSelectorTest, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing)
{
    CFileSelector s;
    s.setTitle("Save Program");
    s.addFilter("Any", nullptr);
    s.addFilter("Tambrell Program", "tbprg");
    s.setFilterIndex(1);
    script.pushResult(DialogStatus::Chosen, tmp.file("Lead"));
    const char* chosen = s.showSaveDialog(nullptr);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(std::string(chosen), tmp.file("Lead.tbprg"));
    EXPECT_TRUE(script.overwriteQuestions.empty());
    EXPECT_EQ(script.requests[0].filters[0].extensions, std::vector<std::string> {"*"});

    tmp.write("Lead.tbprg", std::string("old"));
    script.pushResult(DialogStatus::Chosen, tmp.file("Lead"));
    script.pushOverwriteAnswer(false);
    EXPECT_EQ(s.showSaveDialog(nullptr), nullptr);
    script.pushResult(DialogStatus::Chosen, tmp.file("Lead.tbprg"));
    script.pushOverwriteAnswer(true);
    EXPECT_NE(s.showSaveDialog(nullptr), nullptr);
    EXPECT_EQ(script.overwriteQuestions.size(), 2u);
}

TEST_F(FileSelectorTest, FileNameLosesPathAndPatternCharacters)
{
    CFileSelector s;
    s.setFileName("<noname>");
    EXPECT_STREQ(s.getFileName(), " noname ");
    s.setFileName("a/b*c\\d");
    EXPECT_STREQ(s.getFileName(), "a b c\\d");
    s.setFileName(nullptr);
    EXPECT_STREQ(s.getFileName(), "");
    s.setFilterIndex(-3);
    EXPECT_EQ(s.getFilterIndex(), 0);
    s.setTitle("T");
    s.setTitle(nullptr);
    EXPECT_STREQ(s.getTitle(), "T");
}

TEST_F(FileSelectorTest, InitialFolderFallsBackToTheNearestExistingAncestor)
{
    CFileSelector s;
    tmp.makeFolder("Presets");
    s.setInitialFolder((tmp.path() + "/Presets/missing/deeper").c_str());
    EXPECT_STREQ(s.getInitialFolder(), (tmp.path() + "/Presets/").c_str());
    s.setInitialFolder("no-such-relative-folder/x");
    EXPECT_STREQ(s.getInitialFolder(), "");
    s.setInitialFolder(nullptr);
    EXPECT_STREQ(s.getInitialFolder(), "");
}

TEST_F(FileSelectorTest, ClearFiltersForgetsTitleAndFilters)
{
    CFileSelector s;
    s.setTitle("Save Program");
    s.addFilter("Tambrell Program", "tbprg");
    s.setFilterIndex(2);
    s.clearFilters();
    EXPECT_EQ(s.getFilterCount(), 0);
    EXPECT_EQ(s.getFilterIndex(), 0);
    EXPECT_STREQ(s.getTitle(), "");
}

// Puts a folder of fake dialog programs first (and only) on PATH for one test;
// each fake writes its arguments one per line, so a test sees exactly the
// argument vector it was started with.
class FakeDialogPrograms {
public:
    FakeDialogPrograms()
    {
        const char* old = std::getenv("PATH");
        saved_ = old != nullptr ? old : "";
        ::setenv("PATH", tmp_.path().c_str(), 1);
    }
    ~FakeDialogPrograms() { ::setenv("PATH", saved_.c_str(), 1); }
    void add(const std::string& name, const std::string& afterRecording)
    {
        tmp_.write(name, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + tmp_.file("args") + "'\n" + afterRecording);
        ::chmod(tmp_.file(name).c_str(), 0755);
    }
    std::string recordedArgs() const
    {
        const auto bytes = tbtest::readAll(tmp_.file("args"));
        return std::string(bytes.begin(), bytes.end());
    }

private:
    tbtest::TempFolder tmp_;
    std::string saved_;
};

platform::DialogRequest saveProgramRequest()
{
    platform::DialogRequest r;
    r.kind = DialogKind::Save;
    r.title = "Save Program";
    r.filters.push_back({"Tambrell Program", {"tbprg"}});
    return r;
}

// The answer of a dialog program, waited for (at most a minute: a loaded
// machine may start the program late).
platform::DialogResult answerOf(std::unique_ptr<platform::IDialogRun> run)
{
    platform::DialogResult r {DialogStatus::Running, {}};
    tbtest::waitUntil([&] { return (r = run->poll()).status != DialogStatus::Running; });
    return r;
}

TEST(DesktopFileDialog, NoDialogProgramMeansUnavailable)
{
    FakeDialogPrograms none;  // an empty folder: neither zenity nor kdialog
    EXPECT_EQ(answerOf(platform::desktopFileDialog().start(saveProgramRequest())).status, DialogStatus::Unavailable);
    EXPECT_NE(
        answerOf(platform::desktopFileDialog().startOverwriteQuestion("t", "/x", 0)).status, DialogStatus::Chosen);
}

TEST(DesktopFileDialog, RunsZenityWithAnArgumentVectorAndReadsTheChoice)
{
    // A shell would have split the title and expanded the pattern.
    FakeDialogPrograms fake;
    fake.add("zenity", "echo '/chosen/Warm Lead.tbprg'\n");
    auto r = saveProgramRequest();
    r.initialFolder = "/p/";
    r.fileName = "My $HOME *";
    r.ownerWindow = 77;
    const auto result = answerOf(platform::desktopFileDialog().start(r));

    EXPECT_EQ(result.status, DialogStatus::Chosen);
    EXPECT_EQ(result.path, "/chosen/Warm Lead.tbprg");
    EXPECT_EQ(fake.recordedArgs(),
        "--file-selection\n--title=Save Program\n--save\n--filename=/p/My $HOME *\n"
        "--file-filter=Tambrell Program | *.tbprg\n--attach=77\n");
}

// Regression: in a host that ignores SIGCHLD (its children are never
// zombies, so their status cannot be read) every answer was lost.
TEST(DesktopFileDialog, AnswersReachAHostThatIgnoresItsChildren)
{
    FakeDialogPrograms fake;
    fake.add("zenity", "echo /chosen/a.tbprg\n");
    struct sigaction ignore {
    }, old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGCHLD, &ignore, &old);
    const auto result = answerOf(platform::desktopFileDialog().start(saveProgramRequest()));
    ::sigaction(SIGCHLD, &old, nullptr);
    EXPECT_EQ(result.status, DialogStatus::Chosen);
    EXPECT_EQ(result.path, "/chosen/a.tbprg");
}

// Regression: the dialog program inherited every descriptor the host had left
// without close-on-exec, and kept every signal the host ignores ignored.
TEST(DesktopFileDialog, TheProgramGetsOnlyTheStandardStreamsAndDefaultSignals)
{
    FakeDialogPrograms fake;
    tbtest::TempFolder seen;
    fake.add("zenity",
        "/bin/ls -l /proc/$$/fd/ > '" + seen.file("fds") + "'\n/bin/grep -E '^Sig(Ign|Blk)' /proc/$$/status > '"
            + seen.file("signals") + "'\necho /chosen/a.tbprg\n");
    const std::string secret = seen.write("host-secret", std::string("x"));
    const int inherited = ::open(secret.c_str(), O_RDONLY);
    ASSERT_GE(inherited, 0);
    struct sigaction ignore {
    }, old[3] {};
    ignore.sa_handler = SIG_IGN;
    const int ignored[3] = {SIGHUP, SIGPIPE, SIGXFSZ};
    for (int i = 0; i < 3; ++i)
        ::sigaction(ignored[i], &ignore, &old[i]);
    const auto result = answerOf(platform::desktopFileDialog().start(saveProgramRequest()));
    for (int i = 0; i < 3; ++i)
        ::sigaction(ignored[i], &old[i], nullptr);
    ::close(inherited);

    EXPECT_EQ(result.status, DialogStatus::Chosen);
    const auto fds = tbtest::readAll(seen.file("fds"));
    ASSERT_FALSE(fds.empty());
    EXPECT_EQ(std::string(fds.begin(), fds.end()).find("host-secret"), std::string::npos);
    const auto signals = tbtest::readAll(seen.file("signals"));
    EXPECT_EQ(std::string(signals.begin(), signals.end()), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
}

// Regression: a path in the replace question was read as markup, so a name
// with "&" or "<" showed no text at all.
TEST(DesktopFileDialog, TheReplaceQuestionShowsThePathAsWritten)
{
    const std::string path = "/p/Rock & Roll <b>\\n.tbprg";
    {
        FakeDialogPrograms fake;
        fake.add("zenity", "exit 0\n");
        EXPECT_EQ(answerOf(platform::desktopFileDialog().startOverwriteQuestion("Save Program", path, 0)).status,
            DialogStatus::Chosen);
        EXPECT_EQ(fake.recordedArgs(),
            "--question\n--no-markup\n--title=Save Program\n--text=\"" + path + "\" already exists. Replace it?\n");
    }
    FakeDialogPrograms fake;
    fake.add("kdialog", "exit 1\n");
    EXPECT_EQ(answerOf(platform::desktopFileDialog().startOverwriteQuestion("Save Program", path, 0)).status,
        DialogStatus::Cancelled);
    EXPECT_EQ(fake.recordedArgs(),
        "--title\nSave Program\n--yesno\n<qt><p style=\"white-space:pre-wrap\">&quot;/p/Rock &amp; Roll "
        "&lt;b&gt;\\\\n.tbprg&quot; already exists. Replace it?</p></qt>\n");
}

// Regression: a chosen name with a line break was cut at the break, and the
// program was saved under a name the user never chose (the selector refuses it).
TEST(DesktopFileDialog, AnswersAreTakenWholeLineBreaksIncluded)
{
    FakeDialogPrograms fake;
    fake.add("zenity", "printf '/chosen/first\\nsecond.tbprg\\n'\n");
    EXPECT_EQ(answerOf(platform::desktopFileDialog().start(saveProgramRequest())).path, "/chosen/first\nsecond.tbprg");
}

TEST(DesktopFileDialog, KdialogGetsAStartPathThatCannotPassForAnOption)
{
    // Regression: a program named like an option ("--help") with no initial
    // folder reached kdialog as a bare argument and was taken for one.
    FakeDialogPrograms fake;
    fake.add("kdialog", "exit 1\n");
    auto r = saveProgramRequest();
    r.fileName = "--help";
    const auto result = answerOf(platform::desktopFileDialog().start(r));

    EXPECT_EQ(result.status, DialogStatus::Cancelled);
    EXPECT_EQ(fake.recordedArgs(), "--title\nSave Program\n--getsavefilename\n./--help\nTambrell Program (*.tbprg)\n");
}

}  // namespace
