// Where "Help contents" finds the manual, and what opening it reports.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
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

// PATH holds only a stand-in xdg-open that ends with the given status, or none.
struct StandInPath {
    explicit StandInPath(const tbtest::TempFolder& folder, int status)
        : old(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        if (status >= 0) {
            const std::string script = folder.write("xdg-open", "#!/bin/sh\nexit " + std::to_string(status) + "\n");
            chmod(script.c_str(), 0755);
        }
        setenv("PATH", folder.path().c_str(), 1);
    }
    ~StandInPath() { setenv("PATH", old.c_str(), 1); }
    std::string old;
};

int statusOf(int standInStatus)
{
    tbtest::TempFolder folder;
    StandInPath path(folder, standInStatus);
    auto done = std::make_shared<std::promise<int>>();
    std::future<int> status = done->get_future();
    if (!openAndReport("/nowhere/Tambrell.html", [done](int s) { done->set_value(s); }))
        return -100;
    return status.wait_for(std::chrono::seconds(20)) == std::future_status::ready ? status.get() : -200;
}

TEST(HelpContents, OpeningReportsWhetherXdgOpenCouldOpenIt)
{
    EXPECT_EQ(statusOf(0), 0);
    EXPECT_EQ(statusOf(4), 4);
    EXPECT_EQ(statusOf(-1), -100);  // no xdg-open at all
}

}  // namespace
