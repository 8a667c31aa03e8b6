#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "framework/util/CFileList.h"
#include "tests/support/TempFolder.h"

namespace {

std::string baseOf(const CFileList& l, int i)
{
    char base[256];
    return l.getEntry(i, base, sizeof base) != nullptr ? std::string(base) : std::string("<null>");
}

TEST(FileList, ListsOnlyRegularFilesWithTheExactExtension)
{
    tbtest::TempFolder tmp;
    tmp.write("a.tbprg", std::string("x"));
    tmp.write("b.TBPRG", std::string("x"));
    tmp.write("c.tbprg.bak", std::string("x"));
    tmp.makeFolder("d.tbprg");
    ASSERT_EQ(::mkfifo(tmp.file("e.tbprg").c_str(), 0600), 0);
    CFileList l;
    l.addExtension("tbprg", false);
    ASSERT_TRUE(l.scanFolder(tmp.path().c_str()));
    ASSERT_EQ(l.getCount(), 1);
    EXPECT_EQ(std::string(l.getEntry(0)), tmp.path() + "/a.tbprg");
}

TEST(FileList, SortsCaseInsensitivelyThenBytewise)
{
    tbtest::TempFolder tmp;
    for (const char* n : {"b.tbprg", "B.tbprg", "a.tbprg", "C.tbprg", "ab.tbprg"})
        tmp.write(n, std::string("x"));
    CFileList l;
    l.addExtension("tbprg", false);
    ASSERT_TRUE(l.scanFolder((tmp.path() + "/").c_str()));
    ASSERT_EQ(l.getCount(), 5);
    EXPECT_EQ(baseOf(l, 0), "a");
    EXPECT_EQ(baseOf(l, 1), "ab");
    EXPECT_EQ(baseOf(l, 2), "B");
    EXPECT_EQ(baseOf(l, 3), "b");
    EXPECT_EQ(baseOf(l, 4), "C");
    // A trailing separator is not doubled.
    EXPECT_EQ(std::string(l.getEntry(0)), tmp.path() + "/a.tbprg");
}

TEST(FileList, EmptyExtensionListTakesEverythingIncludingFolders)
{
    tbtest::TempFolder tmp;
    tmp.write("plain", std::string("x"));
    tmp.makeFolder("sub");
    CFileList l;
    ASSERT_TRUE(l.scanFolder(tmp.path().c_str()));
    ASSERT_EQ(l.getCount(), 2);
    bool folder = false;
    char ext[8] = "junk";
    EXPECT_NE(l.getEntry(1, nullptr, 0, ext, sizeof ext, &folder), nullptr);
    EXPECT_TRUE(folder);
    EXPECT_STREQ(ext, "");
}

TEST(FileList, FolderEntriesSelectFoldersOnly)
{
    tbtest::TempFolder tmp;
    tmp.write("f", std::string("x"));
    tmp.makeFolder("g");
    CFileList l;
    l.addExtension("", true);
    ASSERT_TRUE(l.scanFolder(tmp.path().c_str()));
    ASSERT_EQ(l.getCount(), 1);
    EXPECT_EQ(baseOf(l, 0), "g");
}

TEST(FileList, EntryNamesAndBounds)
{
    tbtest::TempFolder tmp;
    tmp.write("Warm Lead.tbprg", std::string("x"));
    tmp.makeFolder("dotted.dir");
    tmp.write("dotted.dir/noext", std::string("x"));
    CFileList l;
    l.addExtension("tbprg", false);
    ASSERT_TRUE(l.scanFolder(tmp.path().c_str()));
    char base[256];
    char ext[32];
    ASSERT_NE(l.getEntry(0, base, sizeof base, ext, sizeof ext), nullptr);
    EXPECT_STREQ(base, "Warm Lead");
    EXPECT_STREQ(ext, "tbprg");
    EXPECT_EQ(l.getEntry(-1), nullptr);
    EXPECT_EQ(l.getEntry(l.getCount()), nullptr);
    // Small buffers get a cut, terminated name.
    char tiny[4];
    l.getEntry(0, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "War");

    // A dot in a folder name is not the file's extension.
    CFileList any;
    any.addExtension("dir/noext", false);
    ASSERT_TRUE(any.scanFolder((tmp.path() + "/dotted.dir").c_str()));
    EXPECT_EQ(any.getCount(), 0);
}

TEST(FileList, MissingFolderEmptiesTheListAndFails)
{
    tbtest::TempFolder tmp;
    tmp.write("a.tbprg", std::string("x"));
    CFileList l;
    ASSERT_TRUE(l.scanFolder(tmp.path().c_str()));
    ASSERT_EQ(l.getCount(), 1);
    EXPECT_FALSE(l.scanFolder(tmp.file("nope").c_str()));
    EXPECT_EQ(l.getCount(), 0);
    EXPECT_EQ(l.getEntry(0), nullptr);
    EXPECT_FALSE(l.scanFolder(nullptr));
}

TEST(FileList, BaseNameTakesTheLastComponentCutAtItsLastDot)
{
    char out[64];
    fileBaseName("/x/y.z/Clean.v2.tbprg", out, sizeof out);
    EXPECT_STREQ(out, "Clean.v2");
    fileBaseName("noext", out, sizeof out);
    EXPECT_STREQ(out, "noext");
    fileBaseName("/dir.d/file", out, sizeof out);
    EXPECT_STREQ(out, "file");
}

}  // namespace
