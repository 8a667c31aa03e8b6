// Preset files, the program menu and its commands, on a temporary presets
// folder with the dialogs answered by a script.
#include "effect/product/CDrive.h"
#include "effect/product/PresetFiles.h"
#include "effect/product/ProgramCommands.h"
#include "framework/util/CFileSelector.h"
#include "platform/headless/ScriptedFileDialog.h"
#include "tests/effect/product/product_rig.h"
#include "tests/support/WorkGrowth.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

#include <string>
#include <vector>

namespace {

using namespace producttest;

struct Item {
    std::string text;
    int32_t kind;
    bool highlighted;
};

std::vector<Item> menuOf(CDrive& engine)
{
    std::vector<Item> items;
    presetfiles::buildMenu(engine, [&](const char* t, int32_t k, bool h) { items.push_back({t, k, h}); });
    return items;
}

std::vector<uint8_t> presetWith(float firstValue, const char* name = "inside")
{
    float values[programchunk::kValueCount];
    defaultValues(values);
    values[0] = firstValue;
    return makeChunk(values, name);
}

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = old_;
        r.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_ {};
    void (*previous_)(int) = nullptr;
};

class PresetFiles : public ::testing::Test {
protected:
    PresetFiles() { platform::setFileDialog(&dialog); }
    ~PresetFiles() override { platform::setFileDialog(nullptr); }

    void run(CDrive& engine, int32_t position)
    {
        ProgramCommands commands(
            &engine, nullptr, [&] { ++menuBuilds; }, [&](const char* t) { told.push_back(t); });
        commands.run(position, nullptr);
        for (int tick = 0; tick < 10 && commands.dialogOpen(); ++tick)
            commands.poll();
    }
    std::string name(CDrive& engine) { return engine.getCurrentProgram()->name; }

    DataRoot root;
    platform::ScriptedFileDialog dialog;
    RecordingWrapper host;
    int menuBuilds = 0;
    std::vector<std::string> told;
};

TEST_F(PresetFiles, EmptyFolderMenuHasSevenItemsAndItsNoneEntryDoesNothing)
{
    CDrive engine(&host);
    const std::vector<Item> menu = menuOf(engine);
    ASSERT_EQ(menu.size(), 7u);
    EXPECT_EQ(menu[0].text, "<noname>");
    EXPECT_EQ(menu[1].kind, presetfiles::kTitle);
    EXPECT_EQ(menu[5].text, "Program List");
    EXPECT_EQ(menu[6].text, "<none>");
    run(engine, 6);
    EXPECT_EQ(menuBuilds, 0);
    EXPECT_TRUE(host.changes.empty());
}

TEST_F(PresetFiles, MenuListsPresetsAndHighlightsTheCurrentOneCaseSensitively)
{
    root.addPreset("b.tbprg", presetWith(0.2f));
    root.addPreset("a.tbprg", presetWith(0.1f));
    root.addPreset("x.y.tbprg", presetWith(0.3f));
    root.addPreset("Caps.TBPRG", presetWith(0.4f));
    CDrive engine(&host);  // loads "a", the first in sorted order
    std::vector<Item> menu = menuOf(engine);
    ASSERT_EQ(menu.size(), 9u) << "an extension in capitals is not listed";
    EXPECT_EQ(menu[0].text, "a");
    EXPECT_TRUE(menu[6].highlighted);
    EXPECT_EQ(menu[7].text, "b");
    EXPECT_FALSE(menu[7].highlighted);
    EXPECT_EQ(menu[8].text, "x.y");
    engine.setProgramName(0, "B");
    menu = menuOf(engine);
    EXPECT_FALSE(menu[7].highlighted);

    // The capitalised file can still be loaded through the dialog.
    dialog.pushResult(platform::DialogStatus::Chosen, root.path() + "/Presets/Caps.TBPRG");
    run(engine, presetfiles::kLoadPosition);
    EXPECT_EQ(name(engine), "Caps");
    EXPECT_FLOAT_EQ(engine.getCurrentProgram()->getParameter(0), 0.4f);
    EXPECT_EQ(menuBuilds, 1);
}

TEST_F(PresetFiles, MenuEntryLoadSelectsTheProgramAndADeletedEntryChangesNothing)
{
    root.addPreset("a.tbprg", presetWith(0.1f));
    const std::string b = root.addPreset("b.tbprg", presetWith(0.9f));
    CDrive engine(&host);
    host.changes.clear();
    const uint32_t switches = engine.getProgramSwitchCount();
    run(engine, 7);
    EXPECT_EQ(engine.getProgramSwitchCount(), switches + 2) << "the open board rebuilds after each switch";
    EXPECT_EQ(name(engine), "b");
    EXPECT_FLOAT_EQ(engine.getCurrentProgram()->getParameter(0), 0.9f);
    // Loaded from the menu, the program is selected twice: 50 values each time.
    EXPECT_EQ(host.changes.size(), 100u);
    EXPECT_EQ(menuBuilds, 1);

    ASSERT_EQ(::unlink(b.c_str()), 0);
    engine.setProgramName(0, "kept");
    host.changes.clear();
    run(engine, 7);
    EXPECT_EQ(name(engine), "kept");
    EXPECT_TRUE(host.changes.empty());
    EXPECT_EQ(menuBuilds, 1);
    run(engine, 99);
    EXPECT_EQ(menuBuilds, 1);
}

TEST_F(PresetFiles, RefusedMenuEntryKeepsValuesAndNameButRebuildsAndSelects)
{
    root.addPreset("a.tbprg", presetWith(0.1f));
    std::vector<uint8_t> wrong = presetWith(0.8f);
    wrong[0] ^= 0xFF;
    root.addPreset("bad.tbprg", wrong);
    CDrive engine(&host);
    host.changes.clear();
    run(engine, 7);
    EXPECT_EQ(name(engine), "a");
    EXPECT_FLOAT_EQ(engine.getCurrentProgram()->getParameter(0), 0.1f);
    EXPECT_EQ(menuBuilds, 1);
    EXPECT_EQ(host.changes.size(), 50u);
}

TEST_F(PresetFiles, ShortMenuEntrySetsItsValuesAndIsNamedAndSelected)
{
    root.addPreset("a.tbprg", presetWith(0.1f));
    std::vector<uint8_t> cut = presetWith(0.8f);
    cut.resize(100);
    root.addPreset("cut.tbprg", cut);
    CDrive engine(&host);
    host.changes.clear();
    run(engine, 7);
    EXPECT_EQ(name(engine), "cut");
    EXPECT_FLOAT_EQ(engine.getCurrentProgram()->getParameter(0), 0.8f);
    EXPECT_EQ(host.changes.size(), 50u) << "only the menu's own switch";
}

TEST_F(PresetFiles, SaveWritesOneChunkRenamesTheProgramAndListsIt)
{
    CDrive engine(&host);
    run(engine, presetfiles::kResetPosition);
    EXPECT_EQ(name(engine), "<noname>");
    engine.getCurrentProgram()->setParameter(1, 0.25f);
    dialog.pushResult(platform::DialogStatus::Chosen, root.path() + "/Presets/lead");
    run(engine, presetfiles::kSavePosition);
    ASSERT_EQ(dialog.requests.size(), 1u);
    EXPECT_EQ(dialog.requests[0].title, "Save Program");
    EXPECT_EQ(dialog.requests[0].fileName, " noname ") << "angle brackets become blanks";
    const std::vector<uint8_t> bytes = tbtest::readAll(root.path() + "/Presets/lead.tbprg");
    ASSERT_EQ(bytes.size(), 460u);
    EXPECT_EQ(name(engine), "lead");
    const std::vector<Item> menu = menuOf(engine);
    ASSERT_EQ(menu.size(), 7u);
    EXPECT_EQ(menu[6].text, "lead");
    EXPECT_TRUE(menu[6].highlighted);
    EXPECT_TRUE(told.empty());
}

// Regression: the temporary file was the target's name plus a suffix, too
// long a file name for the longest preset names, and a new preset was made
// 0644 whatever the user's umask.
TEST_F(PresetFiles, SaveFitsTheLongestNameAndANewPresetTakesTheUmask)
{
    CDrive engine(&host);
    const std::string longName = "b" + std::string(248, 'x');
    const std::string file = root.path() + "/Presets/" + longName + ".tbprg";
    const mode_t umask = ::umask(027);
    const presetfiles::SaveResult result = presetfiles::save(engine, file.c_str());
    ::umask(umask);
    ASSERT_EQ(result, presetfiles::SaveResult::Saved);
    EXPECT_EQ(name(engine), longName);
    struct stat st { };
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    const auto folder = std::filesystem::directory_iterator(root.path() + "/Presets");
    EXPECT_EQ(std::distance(begin(folder), end(folder)), 1) << "no temporary file is left";
}

// Regression: a write that failed used to rename the program and rescan the
// list as if the preset had been saved.
TEST_F(PresetFiles, FailedSaveKeepsTheOldFileAndNameAndSaysSo)
{
    const std::string old = root.addPreset("keep.tbprg", presetWith(0.1f, "keep"));
    CDrive engine(&host);
    engine.setProgramName(0, "mine");
    dialog.pushResult(platform::DialogStatus::Chosen, old);
    dialog.pushOverwriteAnswer(true);
    {
        // Files may not grow beyond 100 bytes for a moment (root included).
        FileSizeLimit limit(100);
        run(engine, presetfiles::kSavePosition);
    }
    EXPECT_EQ(name(engine), "mine");
    EXPECT_EQ(tbtest::readAll(old), presetWith(0.1f, "keep"));
    EXPECT_EQ(menuBuilds, 0);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("could not be saved"), std::string::npos);
    EXPECT_EQ(engine.getPresetList().getCount(), 1);
}

// The dialogs run beside the host: a command returns while its dialog is
// open and finishes on the tick that sees the answer; meanwhile a second
// dialog command does nothing, and a dialog taken away writes nothing.
TEST_F(PresetFiles, DialogCommandsFinishOnALaterTickOneAtATime)
{
    CDrive engine(&host);
    engine.setProgramName(0, "mine");
    ProgramCommands commands(
        &engine, nullptr, [&] { ++menuBuilds; }, [&](const char* t) { told.push_back(t); });
    const std::string lead = root.path() + "/Presets/lead.tbprg";
    dialog.runningPolls = 2;
    dialog.pushResult(platform::DialogStatus::Chosen, lead);
    commands.run(presetfiles::kSavePosition, nullptr);
    commands.run(presetfiles::kLoadPosition, nullptr);
    EXPECT_EQ(dialog.requests.size(), 1u) << "one dialog at a time";
    commands.poll();
    EXPECT_TRUE(commands.dialogOpen());
    EXPECT_NE(::access(lead.c_str(), F_OK), 0);
    commands.poll();
    EXPECT_FALSE(commands.dialogOpen());
    EXPECT_EQ(tbtest::readAll(lead).size(), 460u);
    EXPECT_EQ(name(engine), "lead");
    EXPECT_EQ(menuBuilds, 1);

    const std::string other = root.path() + "/Presets/other.tbprg";
    dialog.pushResult(platform::DialogStatus::Chosen, other);
    commands.run(presetfiles::kSavePosition, nullptr);
    EXPECT_EQ(dialog.openDialogs(), 1);
    commands.cancel();
    EXPECT_EQ(dialog.openDialogs(), 0);
    commands.poll();
    commands.poll();
    EXPECT_NE(::access(other.c_str(), F_OK), 0);
    EXPECT_EQ(name(engine), "lead");

    // Nothing to show a dialog with: the user is told on every try, the log once.
    dialog.runningPolls = 0;
    dialog.pushResult(platform::DialogStatus::Unavailable);
    dialog.pushResult(platform::DialogStatus::Unavailable);
    ::testing::internal::CaptureStderr();
    commands.run(presetfiles::kLoadPosition, nullptr);
    commands.run(presetfiles::kSavePosition, nullptr);
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_STREQ(told[1].c_str(), ProgramCommands::kNoDialogProgram);
    EXPECT_EQ(log, "Tambrell: " + told[0] + "\n");
    EXPECT_EQ(menuBuilds, 1);
}

// Regression: an answer of 1,024 bytes or more was dropped without a word,
// and a name with a line break was saved under its first line.
TEST_F(PresetFiles, AnswersUpToThePathLimitAreTakenTheRestRefusedWithANote)
{
    CDrive engine(&host);
    // Folders nested until the preset's path is the longest the system takes.
    const size_t longest = CFileSelector::kPathCapacity - 1;
    std::string folder = root.path() + "/Presets";
    while (longest - folder.size() > 250) {
        folder += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }
    const std::string name = std::string(longest - folder.size() - 7, 'n');
    const std::string path = folder + "/" + name + ".tbprg";
    ASSERT_EQ(path.size(), longest);
    dialog.pushResult(platform::DialogStatus::Chosen, path);
    run(engine, presetfiles::kSavePosition);
    EXPECT_EQ(tbtest::readAll(path).size(), 460u);
    EXPECT_EQ(PresetFiles::name(engine), name);
    EXPECT_TRUE(told.empty());

    dialog.pushResult(platform::DialogStatus::Chosen, folder + "/" + name + "x.tbprg");
    run(engine, presetfiles::kLoadPosition);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "The chosen path is longer than the 4095 bytes a path can have. Nothing was loaded.");

    const std::string broken = root.path() + "/Presets/lead\nx.tbprg";
    dialog.pushResult(platform::DialogStatus::Chosen, broken);
    run(engine, presetfiles::kSavePosition);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1], "The chosen name holds a line break, which a program's name cannot have. Nothing was saved.");
    EXPECT_NE(::access(broken.c_str(), F_OK), 0);
    EXPECT_NE(::access((root.path() + "/Presets/lead").c_str(), F_OK), 0);
    EXPECT_EQ(PresetFiles::name(engine), name);
}

// Regression: saving onto a device or pipe replaced it with a regular file.
TEST_F(PresetFiles, SaveLeavesAnythingButARegularFileAlone)
{
    CDrive engine(&host);
    engine.setProgramName(0, "mine");
    const std::string fifo = root.path() + "/Presets/pipe.tbprg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(presetfiles::save(engine, fifo.c_str()), presetfiles::SaveResult::Failed);
    struct stat st { };
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(presetfiles::save(engine, (root.path() + "/no/such/x.tbprg").c_str()), presetfiles::SaveResult::Failed);
    EXPECT_EQ(name(engine), "mine");

    // A link is written through: the file it names gets the preset.
    const std::string real = root.addPreset("real.tbprg", presetWith(0.1f));
    const std::string link = root.path() + "/Presets/link.tbprg";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    EXPECT_EQ(presetfiles::save(engine, link.c_str()), presetfiles::SaveResult::Saved);
    struct stat ls { };
    ASSERT_EQ(::lstat(link.c_str(), &ls), 0);
    EXPECT_TRUE(S_ISLNK(ls.st_mode));
    EXPECT_EQ(tbtest::readAll(real).size(), 460u);
}

// Regression: saving replaced a preset its owner had write-protected, and a
// replaced preset lost its mode.
TEST_F(PresetFiles, SaveKeepsWriteProtectionAndTheModeOfAReplacedPreset)
{
    CDrive engine(&host);
    const std::string own = root.addPreset("own.tbprg", presetWith(0.1f));
    ASSERT_EQ(::chmod(own.c_str(), 0600), 0);
    EXPECT_EQ(presetfiles::save(engine, own.c_str()), presetfiles::SaveResult::Saved);
    struct stat st { };
    ASSERT_EQ(::stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string kept = root.addPreset("kept.tbprg", presetWith(0.1f, "kept"));
    ASSERT_EQ(::chmod(kept.c_str(), 0444), 0);
    // Root may write anything: save as an ordinary user.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod((root.path() + "/Presets").c_str(), 0777), 0);
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const presetfiles::SaveResult result = presetfiles::save(engine, kept.c_str());
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(result, presetfiles::SaveResult::Failed);
    EXPECT_EQ(tbtest::readAll(kept), presetWith(0.1f, "kept"));
    EXPECT_EQ(name(engine), "own");
}

TEST_F(PresetFiles, StepsThroughTheListWithoutWrapping)
{
    root.addPreset("a.tbprg", presetWith(0.1f));
    root.addPreset("b.tbprg", presetWith(0.2f));
    root.addPreset("c.tbprg", presetWith(0.3f));
    CDrive engine(&host);
    engine.setProgramName(0, "b");
    EXPECT_EQ(presetfiles::step(engine, +1), presetfiles::StepResult::Accepted);
    EXPECT_EQ(name(engine), "c");
    EXPECT_FLOAT_EQ(engine.getCurrentProgram()->getParameter(0), 0.3f);
    EXPECT_EQ(presetfiles::step(engine, +1), presetfiles::StepResult::AtEnd);
    EXPECT_EQ(name(engine), "c");
    engine.setProgramName(0, "b");
    EXPECT_EQ(presetfiles::step(engine, -1), presetfiles::StepResult::Accepted);
    EXPECT_EQ(name(engine), "a");
    EXPECT_EQ(presetfiles::step(engine, -1), presetfiles::StepResult::AtEnd);
    engine.setProgramName(0, "B");
    EXPECT_EQ(presetfiles::step(engine, +1), presetfiles::StepResult::NoMatch);
}

// Regression: the menu and the preset buttons counted every entry from the
// list's head, quadratic in the list's length (seconds for 40,000 entries).
// Ten times the entries must cost about ten times the work, not a hundred.
TEST_F(PresetFiles, MenuAndStepWalkALongListOnce)
{
    CDrive engine(&host);
    auto walk = [&](int entries) {
        fillPresetList(engine, entries);
        char last[16];
        std::snprintf(last, sizeof last, "%05d", entries - 1);
        engine.setProgramName(0, last);
        std::vector<Item> menu;
        const double took = tbtest::leastThreadSeconds(5, [&] {
            menu = menuOf(engine);
            EXPECT_EQ(presetfiles::step(engine, +1), presetfiles::StepResult::AtEnd);
        });
        EXPECT_EQ(menu.size(), 6u + static_cast<size_t>(entries));
        EXPECT_TRUE(!menu.empty() && menu.back().highlighted);
        return took;
    };
    const double small = walk(4000);
    const double big = walk(40000);
    EXPECT_LT(big, 40.0 * small) << small << " s for 4,000 entries, " << big << " s for 40,000";
}

// File names hold at most 255 bytes, so a listed base name has at most 249
// characters and always fits a program name whole.
TEST_F(PresetFiles, StepCarriesTheLongestPossibleNameWhole)
{
    root.addPreset("a.tbprg", presetWith(0.1f));
    const std::string longName = "b" + std::string(248, 'x');
    root.addPreset(longName + ".tbprg", presetWith(0.2f));
    CDrive engine(&host);
    ASSERT_EQ(name(engine), "a");
    EXPECT_EQ(presetfiles::step(engine, +1), presetfiles::StepResult::Accepted);
    EXPECT_EQ(name(engine), longName);
    EXPECT_EQ(presetfiles::step(engine, -1), presetfiles::StepResult::Accepted);
    EXPECT_EQ(name(engine), "a");
}

}  // namespace
