// Kelbrin's main window in a real X server, with a plug-in it must refuse.

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "host/app/KelbrinSettings.h"
#include "host/app/MainWindow.h"
#include "host/util/HelpContents.h"
#include "tests/support/TempFolder.h"
#include "tests/vstmodule/RecordingStub.h"

namespace {

// JUCE's own handler (report and carry on) is an application's; a test
// program gets the same here.
int ignoreXError(::Display*, XErrorEvent*) { return 0; }

// Regression: a plug-in refused at load left an empty window and no word why.
TEST(MainWindowX11, RefusedPluginIsReportedAndTheWindowStillOpens)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    juce::ScopedJuceInitialiser_GUI juce;
    juce::XWindowSystem::getInstance();
    juce::X11Symbols::getInstance()->xSetErrorHandler(ignoreXError);
    auto info = loadPluginModule(TB_RECORDING_VST_MODULE, 256, 48000.0);
    ASSERT_TRUE(info);
    auto* stub = reinterpret_cast<RecordingStubState* (*)()>(info->module->symbol("tbRecordingStub"))();
    *stub = RecordingStubState {};
    stub->numOutputs = 65;
    juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    auto settings = openKelbrinSettings(folder.getFile());
    {
        MainWindow window("Tambrell", std::move(info), nullptr, *settings);
        EXPECT_EQ(window.plugin(), nullptr);
        EXPECT_TRUE(window.isVisible());
        auto* alert = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent());
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->getName(), "Error!");
        alert->exitModalState(0);
        juce::MessageManager::getInstance()->runDispatchLoopUntil(50);
    }
    settings.reset();
    folder.getFile().deleteRecursively();
}

// The current folder and PATH for one test, put back on every path out.
class ScopedFolderAndPath {
public:
    ScopedFolderAndPath(const std::string& folder, const std::string& pathFront)
        : folder_(std::filesystem::current_path())
        , path_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        std::filesystem::current_path(folder);
        setenv("PATH", (pathFront + ":" + path_).c_str(), 1);
    }
    ~ScopedFolderAndPath()
    {
        std::filesystem::current_path(folder_);
        setenv("PATH", path_.c_str(), 1);
    }

private:
    std::filesystem::path folder_;
    std::string path_;
};

// Regression: the help folder and the link files reached JUCE as ASCII, so
// below a folder such as "José" the Help menu had no links, and a link file
// whose name is not ASCII was listed but opened nothing.
TEST(MainWindowX11, HelpLinksBelowAFolderWhoseNameIsNotAscii)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    juce::ScopedJuceInitialiser_GUI juce;
    juce::XWindowSystem::getInstance();
    juce::X11Symbols::getInstance()->xSetErrorHandler(ignoreXError);
    tbtest::TempFolder root;
    const std::string home = root.makeFolder("Jos\xc3\xa9");
    const std::string links = home + "/system/internet/about";
    std::filesystem::create_directories(links);
    const std::string link = links + "/Caf\xc3\xa9 \xe2\x80\x93 forum.url";
    std::ofstream(link) << "[InternetShortcut]\nURL=https://example.org/\n";
    // A stand-in for the desktop's opener writes down what it was given.
    const std::string bin = root.makeFolder("bin");
    const std::string opened = root.file("opened");
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened << ".part'\nmv '" << opened
                                     << ".part' '" << opened << "'\n";
    ASSERT_EQ(chmod((bin + "/xdg-open").c_str(), 0755), 0);
    juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    auto settings = openKelbrinSettings(folder.getFile());
    {
        const ScopedFolderAndPath place(home, bin);
        MainWindow window("Tambrell", nullptr, nullptr, *settings);
        juce::String text;
        for (juce::PopupMenu::MenuItemIterator item(window.helpMenu()); item.next();)
            if (item.getItem().itemID == 2)
                text = item.getItem().text;
        EXPECT_EQ(text.toStdString(), "Caf\xc3\xa9 \xe2\x80\x93 forum");
        window.handleHelpItem(2);
        for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
             !std::filesystem::exists(opened) && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream file(opened);
    const std::string asked((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(asked, link);
    settings.reset();
    folder.getFile().deleteRecursively();
}

// Help > "Help contents": the manual goes to xdg-open (a stand-in here that
// records what it was given); a missing manual, or an xdg-open that cannot
// open it, is said in a message instead of nothing happening.
TEST(MainWindowX11, HelpContentsOpensTheManualOrSaysWhyNot)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    juce::ScopedJuceInitialiser_GUI juce;
    juce::XWindowSystem::getInstance();
    juce::X11Symbols::getInstance()->xSetErrorHandler(ignoreXError);
    juce::TemporaryFile temp;
    const juce::File folder = temp.getFile();
    ASSERT_TRUE(folder.createDirectory());
    const juce::File record = folder.getChildFile("opened");
    const juce::File standIn = folder.getChildFile("xdg-open");
    struct PathGuard {
        std::string old = std::getenv("PATH") ? std::getenv("PATH") : "";
        ~PathGuard() { setenv("PATH", old.c_str(), 1); }
    } path;
    // Only the stand-in: never the desktop's own xdg-open.
    setenv("PATH", folder.getFullPathName().toRawUTF8(), 1);
    auto writeStandIn = [&](int status) {
        standIn.replaceWithText(
            "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.getFullPathName() + "'\nexit " + juce::String(status) + "\n",
            false, false, "\n");
        standIn.setExecutePermission(true);
        record.deleteFile();
    };
    // The message, if one shows within the time given; closed again.
    auto takeMessage = [](int ms) -> juce::String {
        const auto until = juce::Time::getMillisecondCounter() + static_cast<juce::uint32>(ms);
        while (juce::Time::getMillisecondCounter() < until) {
            if (auto* alert = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent())) {
                const juce::String title = alert->getName();
                alert->exitModalState(0);
                juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
                return title;
            }
            juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
        }
        return {};
    };
    const juce::File manual = folder.getChildFile(juce::String::fromUTF8("Gu\xc3\xad"
                                                                         "a de Tambrell.html"));
    ASSERT_TRUE(manual.replaceWithText("<html></html>"));
    auto settings = openKelbrinSettings(folder);
    {
        MainWindow window("Tambrell", nullptr, nullptr, *settings);
        writeStandIn(0);
        window.openHelpContents(manual.getFullPathName().toStdString());
        // The opener runs beside the window: wait for it to have been asked.
        for (const auto until = juce::Time::getMillisecondCounter() + 60000u;
             !record.existsAsFile() && juce::Time::getMillisecondCounter() < until;)
            juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
        EXPECT_EQ(takeMessage(1500), "");
        EXPECT_EQ(record.loadFileAsString(), manual.getFullPathName());

        writeStandIn(3);
        window.openHelpContents(manual.getFullPathName().toStdString());
        EXPECT_EQ(takeMessage(60000), "Help contents");

        writeStandIn(0);
        window.openHelpContents(folder.getChildFile("gone.html").getFullPathName().toStdString());
        window.openHelpContents("");
        EXPECT_EQ(takeMessage(60000), "Help contents");
        EXPECT_EQ(takeMessage(60000), "Help contents");
        juce::MessageManager::getInstance()->runDispatchLoopUntil(200);
        EXPECT_FALSE(record.exists());  // nothing was handed to xdg-open
    }
    settings.reset();
    folder.deleteRecursively();
}

// Regression: every failure of xdg-open was reported as "found no program",
// and a manual's path was shown as given (".../bin/../share/...").
TEST(MainWindowX11, HelpContentsSaysWhatXdgOpenReportedWithTheResolvedPath)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    juce::ScopedJuceInitialiser_GUI juce;
    juce::XWindowSystem::getInstance();
    juce::X11Symbols::getInstance()->xSetErrorHandler(ignoreXError);
    tbtest::TempFolder root;
    const std::string bin = root.makeFolder("bin");
    root.makeFolder("share/doc/tambrell");
    root.write("share/doc/tambrell/Tambrell.html", "<html></html>");
    const std::string manual = std::filesystem::canonical(root.path()).string() + "/share/doc/tambrell/Tambrell.html";
    struct PathGuard {
        std::string old = std::getenv("PATH") ? std::getenv("PATH") : "";
        ~PathGuard() { setenv("PATH", old.c_str(), 1); }
    } path;
    setenv("PATH", bin.c_str(), 1);  // only the stand-in
    // The next message's text (its title, ". ", its message), closed again;
    // empty when none shows within a generous deadline.
    auto takeMessage = [] {
        for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
             std::chrono::steady_clock::now() < until;) {
            if (auto* alert = dynamic_cast<juce::AlertWindow*>(juce::Component::getCurrentlyModalComponent())) {
                const std::string text = alert->getDescription().toStdString();
                alert->exitModalState(0);
                juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
                return text;
            }
            juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
        }
        return std::string();
    };
    juce::TemporaryFile folder;
    ASSERT_TRUE(folder.getFile().createDirectory());
    auto settings = openKelbrinSettings(folder.getFile());
    {
        MainWindow window("Tambrell", nullptr, nullptr, *settings);
        const char* const said[] = {"refused its command line (status 1)", "found no file", "found no program",
            "started for the manual failed (status 4)"};
        for (int status = 1; status <= 4; ++status) {
            std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nexit " << status << "\n";
            ASSERT_EQ(chmod((bin + "/xdg-open").c_str(), 0755), 0);
            window.openHelpContents(findManual(bin));
            const std::string text = takeMessage();
            EXPECT_NE(text.find(said[status - 1]), std::string::npos) << text;
            EXPECT_NE(text.find("\n\n" + manual), std::string::npos) << text;
        }
        window.openHelpContents("");
        const std::string missing = takeMessage();
        EXPECT_NE(missing.find("share/doc/tambrell/Tambrell.html"), std::string::npos) << missing;
        EXPECT_EQ(missing.find("/../"), std::string::npos) << missing;
    }
    settings.reset();
    folder.getFile().deleteRecursively();
}

}  // namespace
