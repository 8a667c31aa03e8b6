// The help folder's link files and the utility library under them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/util/QKOsUtilLib.h"
#include "host/util/UrlFileFilter.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(HelpLinks, FilterTakesOnlyLowerCaseUrlAsTheLastExtension)
{
    UrlFileFilter filter;
    EXPECT_EQ(filter.classId(), 23);
    EXPECT_TRUE(filter.accept("Home page.url"));
    EXPECT_FALSE(filter.accept("Home page.URL"));
    EXPECT_FALSE(filter.accept("Home page.url.txt"));
    EXPECT_FALSE(filter.accept("url"));
    EXPECT_FALSE(filter.accept("."));
    EXPECT_FALSE(filter.accept(".."));
}

TEST(HelpLinks, EmptyAndFilledFolders)
{
    tbtest::TempFolder folder;
    QKOsUtilLib::Directory empty;
    const auto* none = listHelpLinks(empty, folder.path());
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->count(), 0);
    EXPECT_EQ(empty.entryCount(), 2);  // "." and ".."
    EXPECT_TRUE(helpLinkItems(none).empty());
    EXPECT_EQ(helpAboutId(none), 2);

    for (const char* name : {"Forum.url", "Manual.URL", "Shop.url", "notes.txt"})
        std::ofstream(folder.path() + "/" + name) << "x";
    // The folder's own order, as the system enumerates it.
    std::vector<std::string> expected;
    DIR* dir = opendir(folder.path().c_str());
    while (const dirent* e = readdir(dir))
        if (UrlFileFilter().accept(e->d_name))
            expected.push_back(std::string(e->d_name).substr(0, std::strlen(e->d_name) - 4));
    closedir(dir);

    QKOsUtilLib::Directory filled;
    const auto* links = listHelpLinks(filled, folder.path());
    ASSERT_NE(links, nullptr);
    const auto items = helpLinkItems(links);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].id, 2);
    EXPECT_EQ(items[1].id, 3);
    EXPECT_EQ(items[0].text, expected[0]);
    EXPECT_EQ(items[1].text, expected[1]);
    EXPECT_EQ(helpAboutId(links), 4);
    EXPECT_EQ(std::string(links->getText(0)), folder.path() + "/" + expected[0] + ".url");

    QKOsUtilLib::Directory missing;
    EXPECT_EQ(listHelpLinks(missing, folder.path() + "/nowhere")->count(), 0);
}

struct ByText : QKOsUtilLib::Comparator {
    int compare(const char* a, int, const char* b, int) override { return std::strcmp(a, b); }
};

TEST(StringList, SplitKeepsQuotedDelimitersAndSorts)
{
    QKOsUtilLib::StringList list;
    ASSERT_EQ(list.reserveTexts(16, 2, 3), 0);
    ASSERT_EQ(list.splitText("  beta ,\"a, b\",, gamma\t\r\n", ",", 0), 0);
    ASSERT_EQ(list.count(), 3);
    EXPECT_STREQ(list.getText(0), "beta");
    EXPECT_STREQ(list.getText(1), "a, b");
    EXPECT_STREQ(list.getText(2), "gamma");
    EXPECT_EQ(list.getText(3), nullptr);
    EXPECT_EQ(list.sortTexts(nullptr), -1);  // no comparator yet
    ByText byText;
    ASSERT_EQ(list.sortTexts(&byText), 0);
    EXPECT_STREQ(list.getText(0), "a, b");
    EXPECT_STREQ(list.getText(2), "gamma");
    ASSERT_EQ(list.addText("alpha", 5), 0);  // a sorted list stays sorted
    EXPECT_STREQ(list.getText(0), "a, b");
    EXPECT_STREQ(list.getText(1), "alpha");
    list.clearTexts();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.addText("x", 0), -1);
}

TEST(Buffer, FailuresAnswerMinusOneAndChangeNothing)
{
    QKOsUtilLib::Buffer buffer;
    EXPECT_EQ(buffer.classId(), 18);
    EXPECT_EQ(buffer.initBuffer(0, 0, 0, 1, 0), -1);
    ASSERT_EQ(buffer.initBuffer(5, 0, 0, 2, 0), 0);
    EXPECT_EQ(buffer.capacity(), 8u);
    ASSERT_EQ(buffer.setData("abc", 3), 0);
    EXPECT_EQ(buffer.setData("abc", 0), -1);
    ASSERT_EQ(buffer.appendData("defghijkl", 9), 0);
    EXPECT_STREQ(buffer.text(), "abcdefghijkl");
    ASSERT_EQ(buffer.setText("hi"), 0);
    EXPECT_EQ(buffer.capacity(), 32u);
}

}  // namespace
