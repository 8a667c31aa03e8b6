// Kelbrin installed and started as a user does, in a real X server: without
// its plug-in it says so and still ends at once when the system asks; with
// it, its window ties to the menu entry and shows the pedal icon.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempFolder.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Generous: a loaded machine may take long to start a JUCE program.
constexpr auto kStartDeadline = std::chrono::seconds(90);
constexpr auto kEndDeadline = std::chrono::seconds(30);

bool install(const std::string& prefix, const char* component)
{
    const std::string command = std::string("timeout 120 '") + TB_CMAKE + "' --install '" + TB_BUILD_DIR
        + "' --prefix '" + prefix + "' --component " + component + " >/dev/null";
    return std::system(command.c_str()) == 0;
}

// The installed program started from home with HOME there, so its settings
// stay in the test's folder; killed and reaped on every way out.
class Kelbrin {
public:
    Kelbrin(const std::string& prefix, const std::string& home)
    {
        std::vector<std::string> env {"HOME=" + home};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "HOME=", 5) != 0)
                env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& s : env)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string program = prefix + "/bin/Kelbrin";
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, home.c_str());
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Kelbrin()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Kelbrin(const Kelbrin&) = delete;
    Kelbrin& operator=(const Kelbrin&) = delete;

    pid_t pid() const { return pid_; }
    bool running()
    {
        if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_)
            pid_ = -1;
        return pid_ > 0;
    }
    // Waits for the end; false when it is still running at the deadline.
    bool waitForEnd(Clock::duration deadline)
    {
        for (const auto until = Clock::now() + deadline; running() && Clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !running();
    }
    int status() const { return status_; }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// A window property as bytes (format 8) or as longs (format 32, as Xlib
// hands those out); empty when the window lacks it.
template <typename T> std::vector<T> property(Display* d, Window w, const char* name)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<T> items;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1 << 20, False, AnyPropertyType, &type, &format,
            &count, &after, &data)
            == Success
        && data != nullptr && format == (sizeof(T) == 1 ? 8 : 32))
        items.assign(reinterpret_cast<const T*>(data), reinterpret_cast<const T*>(data) + count);
    if (data)
        XFree(data);
    return items;
}

// The program's mapped top-level window with that title, once it shows.
Window waitForWindow(Display* d, Kelbrin& kelbrin, const std::string& title)
{
    for (const auto until = Clock::now() + kStartDeadline; kelbrin.running() && Clock::now() < until;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        Window found = 0;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) {
            for (unsigned i = 0; i < n && found == 0; ++i) {
                const auto pid = property<unsigned long>(d, children[i], "_NET_WM_PID");
                const auto name = property<char>(d, children[i], "WM_NAME");
                XWindowAttributes a {};
                if (pid.size() == 1 && static_cast<pid_t>(pid[0]) == kelbrin.pid()
                    && std::string(name.begin(), name.end()) == title && XGetWindowAttributes(d, children[i], &a)
                    && a.map_state == IsViewable)
                    found = children[i];
            }
            if (children)
                XFree(children);
        }
        if (found != 0)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

class KelbrinDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        // A window may go between listing and asking: not fatal here.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }
    Display* display = nullptr;
    tbtest::TempFolder prefix;
    tbtest::TempFolder home;
};

// Regression: the alert's modal loop consumed the quit request while no main
// window existed, so a signal waited for a click on OK; and every failed
// start ended with status 0.
TEST_F(KelbrinDesktop, SignalDuringTheMissingPluginAlertEndsItAtOnceWithAFailure)
{
    ASSERT_TRUE(install(prefix.path(), "kelbrin"));
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        Kelbrin kelbrin(prefix.path(), home.path());
        ASSERT_GT(kelbrin.pid(), 0);
        ASSERT_NE(waitForWindow(display, kelbrin, "Error!"), 0u) << "the alert never showed";
        const auto sent = Clock::now();
        kill(kelbrin.pid(), signal);
        ASSERT_TRUE(kelbrin.waitForEnd(kEndDeadline)) << "still in the alert";
        // The alert never closes by itself: waiting for a click takes the
        // whole deadline, ending at once a fraction of this bound.
        EXPECT_LT(Clock::now() - sent, std::chrono::seconds(5));
        EXPECT_TRUE(WIFEXITED(kelbrin.status()) && WEXITSTATUS(kelbrin.status()) != 0) << "status " << kelbrin.status();
    }
}

TEST_F(KelbrinDesktop, WindowClassIsTheEntrysAndCarriesThePedalIcon)
{
    ASSERT_TRUE(install(prefix.path(), "plugin"));
    ASSERT_TRUE(install(prefix.path(), "kelbrin"));
    std::string wmClass;
    std::ifstream entry(prefix.file("share/applications/kelbrin.desktop"));
    for (std::string line; std::getline(entry, line);)
        if (line.rfind("StartupWMClass=", 0) == 0)
            wmClass = line.substr(std::strlen("StartupWMClass="));
    ASSERT_NE(wmClass, "") << "the entry names no window class";

    Kelbrin kelbrin(prefix.path(), home.path());
    ASSERT_GT(kelbrin.pid(), 0);
    const Window window = waitForWindow(display, kelbrin, "Tambrell");
    ASSERT_NE(window, 0u) << "the main window never showed";
    XClassHint hint {};
    ASSERT_TRUE(XGetClassHint(display, window, &hint));
    EXPECT_STREQ(hint.res_class, wmClass.c_str());
    XFree(hint.res_name);
    XFree(hint.res_class);

    const auto icon = property<unsigned long>(display, window, "_NET_WM_ICON");
    ASSERT_GE(icon.size(), 2u) << "no _NET_WM_ICON";
    EXPECT_EQ(icon[0], 64u);
    EXPECT_EQ(icon[1], 64u);
    ASSERT_EQ(icon.size(), icon[0] * icon[1] + 2);
    int opaque = 0;
    for (std::size_t i = 2; i < icon.size(); ++i)
        opaque += ((icon[i] >> 24) & 0xFF) == 0xFF;  // Xlib may widen the 32 bits with their sign
    EXPECT_GT(opaque, 64 * 64 / 4) << "the icon is (nearly) empty";

    // A normal quit stays a success.
    kill(kelbrin.pid(), SIGTERM);
    ASSERT_TRUE(kelbrin.waitForEnd(kEndDeadline));
    EXPECT_TRUE(WIFEXITED(kelbrin.status()) && WEXITSTATUS(kelbrin.status()) == 0) << "status " << kelbrin.status();
}

}  // namespace
