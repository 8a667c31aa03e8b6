// Where "Help contents" finds the manual, and what opening it reports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/util/HelpContents.h"
#include "tests/support/TempFolder.h"

namespace {

// Regression: the installed manual was named ".../bin/../share/doc/...".
TEST(HelpContents, ManualBesideTheProgramFirstThenTheInstalledOneResolved)
{
    tbtest::TempFolder prefix;
    const std::string root = std::filesystem::canonical(prefix.path()).string();
    const std::string bin = prefix.makeFolder("bin");
    EXPECT_EQ(findManual(bin), "");
    EXPECT_EQ(installedManualPath(bin), root + "/share/doc/tambrell/Tambrell.html");
    prefix.makeFolder("bin/Tambrell.html");  // a folder of that name is no manual
    prefix.makeFolder("share/doc/tambrell");
    prefix.write("share/doc/tambrell/Tambrell.html", "<html></html>");
    EXPECT_EQ(findManual(bin), root + "/share/doc/tambrell/Tambrell.html");
    // A link to the program's folder from elsewhere: ".." is taken from where
    // the link leads, as the system does, not cut off the text.
    std::filesystem::create_directory_symlink(bin, prefix.makeFolder("other") + "/bin");
    EXPECT_EQ(findManual(prefix.file("other/bin")), root + "/share/doc/tambrell/Tambrell.html");
    rmdir(prefix.file("bin/Tambrell.html").c_str());
    prefix.write("bin/Tambrell.html", "<html></html>");
    EXPECT_EQ(findManual(bin), root + "/bin/Tambrell.html");
}

// Without xdg-open the window says so at once (checked here without a display).
TEST(HelpContents, WithoutXdgOpenNothingStarts)
{
    tbtest::TempFolder empty;
    const std::string old = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", empty.path().c_str(), 1);
    bool called = false;
    const bool started = openAndReport("/nowhere/Tambrell.html", [&called](int) { called = true; });
    setenv("PATH", old.c_str(), 1);
    EXPECT_FALSE(started);
    EXPECT_FALSE(called);
}

}  // namespace
