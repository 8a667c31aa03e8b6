// Where "Help contents" finds the manual, and what opening it reports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/util/HelpContents.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(HelpContents, ManualBesideTheProgramFirstThenTheInstalledOne)
{
    tbtest::TempFolder prefix;
    const std::string bin = prefix.makeFolder("bin");
    EXPECT_EQ(findManual(bin), "");
    prefix.makeFolder("bin/Tambrell.html");  // a folder of that name is no manual
    prefix.makeFolder("share/doc/tambrell");
    prefix.write("share/doc/tambrell/Tambrell.html", "<html></html>");
    EXPECT_EQ(findManual(bin), bin + "/../share/doc/tambrell/Tambrell.html");
    rmdir(prefix.file("bin/Tambrell.html").c_str());
    const std::string beside = prefix.write("bin/Tambrell.html", "<html></html>");
    EXPECT_EQ(findManual(bin), beside);
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
