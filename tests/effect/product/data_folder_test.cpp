#include "tests/effect/product/product_rig.h"

#include "effect/product/DataFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

using namespace producttest;

namespace {

std::string readFrom(const std::string& path)
{
    char out[256] = "untouched";
    if (!datafolder::readRootFolderFrom(path.c_str(), out, sizeof out))
        return "<none>";
    return out;
}

}  // namespace

TEST(DataFolderConfig, ReadsTheRootFolderKey)
{
    tbtest::TempFolder t;
    EXPECT_EQ(readFrom(t.write("a.conf", "rootFolder=/data/tb\n")), "/data/tb");
    EXPECT_EQ(
        readFrom(t.write("b.conf", "# comment\n; other\n\n  rootFolder =  /with space/x/  \r\n")), "/with space/x");
    EXPECT_EQ(readFrom(t.write("c.conf", "rootFolderX=/no\nrootfolder=/no\n")), "<none>");
    EXPECT_EQ(readFrom(t.write("d.conf", "rootFolder=\n")), "<none>");
    EXPECT_EQ(readFrom(t.write("e.conf", "rootFolder=/last/line/without/newline")), "/last/line/without/newline");
    EXPECT_EQ(readFrom(t.file("missing.conf")), "<none>");
}

TEST(DataFolderConfig, OverlongLinesAndValuesAreSkippedWhole)
{
    tbtest::TempFolder t;
    // A line longer than the reader's buffer must not be taken in pieces,
    // even when a piece of it looks like a key.
    const std::string filler(5000, 'a');
    EXPECT_EQ(readFrom(t.write("a.conf", "x=" + filler + "rootFolder=/fake\nrootFolder=/real\n")), "/real");
    // A value that does not fit the caller's buffer is not cut.
    EXPECT_EQ(readFrom(t.write("b.conf", "rootFolder=/" + std::string(300, 'v') + "\n")), "<none>");
}

// Regression: the configuration was read with stdio from whatever the path
// named, so a FIFO there blocked the host while it created the plug-in, and a
// link to /dev/zero kept the reader going for ever.
TEST(DataFolderConfig, OnlyRegularFilesAreRead)
{
    tbtest::TempFolder t;
    const std::string fifo = t.file("fifo.conf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readFrom(fifo), "<none>");
    const std::string zero = t.file("zero.conf");
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    EXPECT_EQ(readFrom(zero), "<none>");
    EXPECT_EQ(readFrom(t.path()), "<none>");
    EXPECT_EQ(readFrom(t.write("huge.conf", std::string(70000, '#') + "\nrootFolder=/late\n")), "<none>");
}

TEST(DataFolderConfig, UserConfigWinsOverSystemFolders)
{
    tbtest::TempFolder user, sysA, sysB;
    user.makeFolder("Ostravelin");
    sysA.makeFolder("Ostravelin");
    sysB.makeFolder("Ostravelin");
    sysB.write("Ostravelin/Tambrell.conf", "rootFolder=/from/b\n");
    const std::string dirs = "relative/ignored::" + sysA.path() + ":" + sysB.path();
    ScopedEnv home("XDG_CONFIG_HOME", user.path().c_str());
    ScopedEnv system("XDG_CONFIG_DIRS", dirs.c_str());

    char out[1024];
    ASSERT_TRUE(datafolder::findConfiguredRoot(out, sizeof out));
    EXPECT_STREQ(out, "/from/b");
    sysA.write("Ostravelin/Tambrell.conf", "rootFolder=/from/a\n");
    ASSERT_TRUE(datafolder::findConfiguredRoot(out, sizeof out));
    EXPECT_STREQ(out, "/from/a");
    user.write("Ostravelin/Tambrell.conf", "rootFolder=/from/user\n");
    ASSERT_TRUE(datafolder::findConfiguredRoot(out, sizeof out));
    EXPECT_STREQ(out, "/from/user");
}

TEST(DataFolderConfig, HomeConfigIsUsedWithoutXdgConfigHome)
{
    tbtest::TempFolder home, none;
    home.makeFolder(".config/Ostravelin");
    home.write(".config/Ostravelin/Tambrell.conf", "rootFolder=/from/home\n");
    ScopedEnv h("HOME", home.path().c_str());
    ScopedEnv x("XDG_CONFIG_HOME", nullptr);
    ScopedEnv d("XDG_CONFIG_DIRS", none.path().c_str());
    char out[1024];
    ASSERT_TRUE(datafolder::findConfiguredRoot(out, sizeof out));
    EXPECT_STREQ(out, "/from/home");
}

TEST(DataFolderConfig, WithoutConfigTheLibraryFolderIsTheRoot)
{
    tbtest::TempFolder none;
    ScopedEnv x("XDG_CONFIG_HOME", none.path().c_str());
    ScopedEnv d("XDG_CONFIG_DIRS", none.path().c_str());
    char library[1024], root[1024];
    ASSERT_TRUE(datafolder::libraryFolder(library, sizeof library));
    EXPECT_EQ(library[0], '/');
    datafolder::findRootFolder(1, root, sizeof root);
    EXPECT_STREQ(root, library);
}

TEST(DataFolderConfig, NativeFormatAlwaysUsesTheLibraryFolder)
{
    DataRoot configured;
    char library[1024], root[1024];
    ASSERT_TRUE(datafolder::libraryFolder(library, sizeof library));
    datafolder::findRootFolder(1, root, sizeof root);
    EXPECT_EQ(std::string(root), configured.path());
    datafolder::findRootFolder(3, root, sizeof root);
    EXPECT_STREQ(root, library);
}

TEST(DataFolderConfig, JoinedFoldersAreCutToTheirBuffer)
{
    char out[12];
    datafolder::joinFolder("/a/b", "Presets", out, sizeof out);
    EXPECT_STREQ(out, "/a/b/Preset");
}
