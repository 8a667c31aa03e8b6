// The program menu's file dialogs and the native host's parameter menu in the
// built Tambrell.so under a real X server: a stand-in dialog program on PATH
// answers after a while, XTest answers the menu, and the host's idle calls
// must never wait for either. Needs DISPLAY; skipped without one.
#include "framework/vst/VstOpcodes.h"
#include "tests/support/NativeTestHost.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VstTestHost.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// After gtest: Xlib's macros (None, Bool, Status) would break its templates.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kW = 766;
constexpr int kH = 484;
using Clock = std::chrono::steady_clock;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value)
        : name_(name)
    {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        old_ = had_ ? old : "";
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// True when this process has no child left, ended or running. Asking
// collects nothing: an ended child left behind stays seen.
bool noChildren()
{
    siginfo_t info {};
    errno = 0;
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

class DialogX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr || (display = XOpenDisplay(nullptr)) == nullptr)
            GTEST_SKIP() << "no X display";
        int ev, err, major, minor;
        if (!XTestQueryExtension(display, &ev, &err, &major, &minor))
            GTEST_SKIP() << "no XTest";
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kW, kH, 0, 0, 0);
        XSelectInput(display, parent, StructureNotifyMask);
        XMapWindow(display, parent);
        for (XEvent e;;) {
            XNextEvent(display, &e);
            if (e.type == MapNotify)
                break;
        }
        module = std::make_unique<VstModule>(std::string(TB_MODULE_DIR) + "/Tambrell.so");
        ASSERT_TRUE(module->isLoaded()) << module->error();
        ASSERT_NE(host.create(*module), nullptr);
        host.start(44100.0f, 512);
    }
    void TearDown() override
    {
        if (display == nullptr)
            return;
        if (host.effect() != nullptr) {
            host.dispatch(effEditClose);
            host.close();
        }
        XDestroyWindow(display, parent);
        XCloseDisplay(display);
    }

    // The stand-in: records its arguments, answers `answer` after two seconds
    // and leaves a mark when it gets that far.
    void standIn(const std::string& answer)
    {
        programs.write("zenity",
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + programs.file("args") + "'\n/bin/sleep 2\n: > '"
                + programs.file("answered") + "'\necho '" + answer + "'\n");
        ::chmod(programs.file("zenity").c_str(), 0755);
    }
    bool openEditor()
    {
        if (host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 0)
            return false;
        idle(5);
        return true;
    }
    // The host's idle calls, 20 ms apart; the longest call is kept.
    void idle(int times)
    {
        for (int i = 0; i < times; ++i) {
            const auto start = Clock::now();
            if (native != nullptr)
                native->message(kOrvaneMsgEditorIdle);
            else
                host.dispatch(effEditIdle);
            longestIdle = std::max(longestIdle, Clock::now() - start);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void click(int x, int y) { press(1, x, y); }
    // A press and release of `button` at a point of the editor.
    void press(int button, int x, int y)
    {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(display, parent, DefaultRootWindow(display), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
        XFlush(display);
        idle(2);
        XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
        XFlush(display);
        idle(2);
        XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
        XFlush(display);
        idle(2);
    }
    // The popup menu on the screen (an override-redirect window), or 0.
    static Window shownMenu(Display* on, XWindowAttributes* where = nullptr)
    {
        Window root = DefaultRootWindow(on), up, *children = nullptr, found = 0;
        unsigned n = 0;
        if (XQueryTree(on, root, &root, &up, &children, &n) != 0 && children != nullptr) {
            for (unsigned i = 0; i < n && found == 0; ++i) {
                XWindowAttributes a;
                if (XGetWindowAttributes(on, children[i], &a) != 0 && a.override_redirect
                    && a.map_state == IsViewable) {
                    found = children[i];
                    if (where != nullptr)
                        *where = a;
                }
            }
            XFree(children);
        }
        return found;
    }
    // Idles until `done` holds; false if it still does not after a minute.
    template <typename F> bool idleUntil(F done)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!done() && Clock::now() < deadline)
            idle(1);
        return done();
    }
    // The Options list's item: 2 "Save Program", 3 "Load Program".
    void choose(int item)
    {
        click(33 + 59, 37 + 7);
        click(33 + 59, 37 + 15 + 2 + 3 + 15 * item + 7);
    }
    uint32_t rgb(int x, int y)
    {
        XImage* image = XGetImage(display, parent, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr)
            return 0;
        const uint32_t p = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
        XDestroyImage(image);
        return p;
    }
    std::string programName()
    {
        const std::vector<unsigned char> chunk = host.getChunk(true);
        return chunk.size() >= 460 ? std::string(reinterpret_cast<const char*>(chunk.data() + 204)) : "";
    }
    Window editorWindow()
    {
        Window root, up, *children = nullptr, first = 0;
        unsigned n = 0;
        XQueryTree(display, parent, &root, &up, &children, &n);
        if (children != nullptr) {
            first = n > 0 ? children[0] : 0;
            XFree(children);
        }
        return first;
    }

    tbtest::TempFolder config;
    ScopedEnv home {"XDG_CONFIG_HOME", config.path()};
    ScopedEnv dirs {"XDG_CONFIG_DIRS", config.path()};
    tbtest::TempFolder programs;
    ScopedEnv path {"PATH", programs.path()};
    tbtest::TempFolder saved;
    Display* display = nullptr;
    Window parent = 0;
    std::unique_ptr<VstModule> module;
    VstTestHost host;
    tbtest::NativeTestHost* native = nullptr;  // idles this one's editor instead
    Clock::duration longestIdle {};
};

// Regression: the host's idle call waited inside the dialog program until the
// user answered, and the host's windows froze meanwhile.
TEST_F(DialogX11, SaveDialogRunsBesideTheHostAndSavesWhenAnswered)
{
    const std::string target = saved.file("Answered.tbprg");
    standIn(target);
    ASSERT_TRUE(openEditor());
    longestIdle = {};
    choose(2);
    idleUntil([&] { return exists(target); });
    idle(3);
    // Not waiting for the dialog's two seconds, whatever else holds the machine.
    EXPECT_LT(longestIdle, std::chrono::milliseconds(500));
    ASSERT_TRUE(exists(target));
    EXPECT_EQ(tbtest::readAll(target).size(), 460u);
    EXPECT_EQ(programName(), "Answered");
    const auto args = tbtest::readAll(programs.file("args"));
    const std::string text(args.begin(), args.end());
    EXPECT_NE(text.find("--save\n"), std::string::npos);
    EXPECT_NE(text.find("--attach=" + std::to_string(editorWindow()) + "\n"), std::string::npos);
    EXPECT_TRUE(noChildren());
}

TEST_F(DialogX11, ClosingTheEditorOrThePluginEndsAnOpenDialog)
{
    const std::string target = saved.file("Never.tbprg");
    standIn(target);
    ASSERT_TRUE(openEditor());
    choose(2);
    // The dialog program starts beside the host; a loaded machine starts it late.
    ASSERT_TRUE(idleUntil([&] { return exists(programs.file("args")); })) << "the dialog is open";
    host.dispatch(effEditClose);
    EXPECT_TRUE(noChildren());

    // A second dialog goes with the plug-in itself.
    ::unlink(programs.file("args").c_str());
    ASSERT_TRUE(openEditor());
    choose(3);
    ASSERT_TRUE(idleUntil([&] { return exists(programs.file("args")); }));
    host.close();
    EXPECT_TRUE(noChildren());

    // Past the stand-in's answer: nothing of it is left to answer or save.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_FALSE(exists(programs.file("answered")));
    EXPECT_FALSE(exists(target));
    EXPECT_TRUE(noChildren());
}

// Regression: a parent destroyed under an open dialog stopped the editor's
// ticks; the dialog stayed up, its answer was dropped without a word, and the
// program stayed a zombie until the next open.
TEST_F(DialogX11, AParentDestroyedUnderAnOpenDialogEndsItAtOnce)
{
    const std::string target = saved.file("Never.tbprg");
    standIn(target);
    ASSERT_TRUE(openEditor());
    choose(2);
    ASSERT_TRUE(exists(programs.file("args"))) << "the dialog is open";
    ASSERT_FALSE(noChildren());
    XDestroyWindow(display, parent);
    XSync(display, False);
    // Left alone, the stand-in would answer after two seconds and stay a zombie.
    EXPECT_TRUE(idleUntil([] { return noChildren(); }));
    EXPECT_FALSE(exists(programs.file("answered")));

    // The editor counts as closed: it opens again into a new parent.
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kW, kH, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    EXPECT_TRUE(openEditor());
    EXPECT_FALSE(exists(target));
}

TEST_F(DialogX11, TheNativeEditorEndsAnOpenDialogToo)
{
    const std::string target = saved.file("Never.tbprg");
    standIn(target);
    tbtest::NativeModule library(std::string(TB_MODULE_DIR) + "/Tambrell.so");
    ASSERT_NE(library.entry(), nullptr) << library.error();
    tbtest::NativeTestHost marnoxel(library.entry());
    ASSERT_NE(marnoxel.create(), nullptr);
    marnoxel.message(kOrvaneMsgSampleRate, 0, 44100);
    native = &marnoxel;
    marnoxel.message(kOrvaneMsgEditor, 0, static_cast<intptr_t>(parent));
    idle(5);
    choose(2);
    ASSERT_TRUE(idleUntil([&] { return exists(programs.file("args")); }));
    marnoxel.message(kOrvaneMsgEditor, 0, 0);
    EXPECT_TRUE(noChildren());
    EXPECT_FALSE(exists(programs.file("answered"))) << "closed before the answer";

    ::unlink(programs.file("args").c_str());
    marnoxel.message(kOrvaneMsgEditor, 0, static_cast<intptr_t>(parent));
    idle(5);
    choose(3);
    ASSERT_TRUE(idleUntil([&] { return exists(programs.file("args")); }));
    native = nullptr;
    marnoxel.destroy();
    EXPECT_TRUE(noChildren());
    EXPECT_FALSE(exists(programs.file("answered")));
}

// Regression: the native host's parameter menu (a right click on a knob) ran
// its own event loop inside the host's idle call, and the host's windows froze
// until the user answered.
TEST_F(DialogX11, NativeParameterMenuLeavesTheHostFreeAndActsWhenChosen)
{
    tbtest::NativeModule library(std::string(TB_MODULE_DIR) + "/Tambrell.so");
    ASSERT_NE(library.entry(), nullptr) << library.error();
    tbtest::NativeTestHost marnoxel(library.entry());
    ASSERT_NE(marnoxel.create(), nullptr);
    marnoxel.message(kOrvaneMsgSampleRate, 0, 44100);
    marnoxel.menuEntries = {{"Learn", 0}, {"Forget", 0}};
    native = &marnoxel;
    marnoxel.message(kOrvaneMsgEditor, 0, static_cast<intptr_t>(parent));
    idle(5);
    const int knobX = 173 + 9, knobY = 23 + 9;  // the input level, parameter 0

    // The user, on a connection of their own: once the menu shows, they read
    // it for a second and pick "Forget", the second row (20 pixels each below
    // a 2-pixel margin). A call that waited for the user would take all of it.
    std::thread user([] {
        Display* hand = XOpenDisplay(nullptr);
        if (hand == nullptr)
            return;
        XWindowAttributes menu {};
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (shownMenu(hand, &menu) == 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::seconds(1));
        XTestFakeMotionEvent(hand, -1, menu.x + 30, menu.y + 2 + 20 + 10, CurrentTime);
        XTestFakeButtonEvent(hand, 1, True, CurrentTime);
        XTestFakeButtonEvent(hand, 1, False, CurrentTime);
        XSync(hand, False);
        XCloseDisplay(hand);
    });
    longestIdle = {};
    press(3, knobX, knobY);
    const bool answered = idleUntil([&] { return !marnoxel.callsOf(0, kOrvaneHostMenuChoice).empty(); });
    user.join();
    ASSERT_LT(longestIdle, std::chrono::milliseconds(500))
        << "longest call " << std::chrono::duration_cast<std::chrono::milliseconds>(longestIdle).count() << " ms";
    ASSERT_TRUE(answered);
    const auto chosen = marnoxel.callsOf(0, kOrvaneHostMenuChoice);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].index, 0);
    EXPECT_EQ(chosen[0].value, 1);
    EXPECT_EQ(shownMenu(display), 0u);

    // A menu left open goes with the editor, and with the plug-in.
    press(3, knobX, knobY);
    ASSERT_TRUE(idleUntil([&] { return shownMenu(display) != 0; }));
    marnoxel.message(kOrvaneMsgEditor, 0, 0);
    EXPECT_EQ(shownMenu(display), 0u);
    marnoxel.message(kOrvaneMsgEditor, 0, static_cast<intptr_t>(parent));
    idle(5);
    press(3, knobX, knobY);
    ASSERT_TRUE(idleUntil([&] { return shownMenu(display) != 0; }));
    native = nullptr;
    marnoxel.destroy();
    EXPECT_EQ(shownMenu(display), 0u);
    EXPECT_EQ(marnoxel.callsOf(0, kOrvaneHostMenuChoice).size(), 1u);
}

TEST_F(DialogX11, WithoutADialogProgramTheBoardSaysSoUntilTheNextClick)
{
    ASSERT_TRUE(openEditor());
    const uint32_t before = rgb(128, kH / 2);
    choose(2);
    EXPECT_TRUE(idleUntil([&] { return rgb(128, kH / 2) == 0x202020u; })) << "the note over the board";
    click(700, 300);
    EXPECT_TRUE(idleUntil([&] { return rgb(128, kH / 2) == before; }));
}

// Waits for done() to hold, at most a minute; whether it did.
template <class F> bool waitFor(F done)
{
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Exit codes of a scenario run in a pid namespace of its own.
constexpr int kNoPidNamespace = 77;
constexpr int kNoPidChoice = 78;
constexpr int kNoDisplay = 79;

// Runs body as the first process of a new pid namespace, where the next pid
// can be chosen; its exit code, or -1 when it had to be killed. Everything in
// the namespace dies with that first process.
template <class Body> int inPidNamespace(Body body)
{
    std::fflush(nullptr);
    const pid_t outer = ::fork();
    if (outer < 0)
        return -1;
    if (outer == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::unshare(CLONE_NEWPID) != 0)
            ::_exit(kNoPidNamespace);
        const pid_t first = ::fork();
        if (first < 0)
            ::_exit(kNoPidNamespace);
        if (first == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int code = body();
            std::fflush(nullptr);
            ::_exit(code);
        }
        int status = 0;
        while (::waitpid(first, &status, 0) < 0 && errno == EINTR) { }
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    // Ended here before the test's own limit would leave it running.
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    int status = 0;
    while (::waitpid(outer, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(outer, SIGKILL);
            ::waitpid(outer, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The display, the plug-in and the host are made inside the namespace.
class DialogX11InPidNamespace : public DialogX11 {
protected:
    void SetUp() override { }
};

// Regression: stopping a dialog program signalled its pid and process group
// without knowing whether the pid was still its own. A host that ignores
// SIGCHLD frees the pid when the program ends; handed on to a stranger, that
// stranger was killed by effEditClose.
TEST_F(DialogX11InPidNamespace, AFreedPidHandedToAStrangerSurvivesTheEditorsClose)
{
    const int code = inPidNamespace([&]() -> int {
        struct sigaction ignore { };
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGCHLD, &ignore, nullptr);
        ::sigaction(SIGPIPE, &ignore, nullptr);
        DialogX11::SetUp();
        if (IsSkipped())
            return kNoDisplay;
        if (HasFailure())
            return 1;
        // The stand-in ends (cancelled) when told, between two of the host's idle calls.
        programs.write("zenity",
            "#!/bin/sh\necho $$ > '" + programs.file("pid") + "'\nwhile [ ! -e '" + programs.file("go")
                + "' ]; do /bin/sleep 0.02; done\n");
        ::chmod(programs.file("zenity").c_str(), 0755);
        EXPECT_TRUE(openEditor());
        choose(2);
        pid_t freed = 0;
        waitFor([&] {
            const auto text = tbtest::readAll(programs.file("pid"));
            if (!text.empty() && text.back() == '\n')
                freed = static_cast<pid_t>(std::atoi(std::string(text.begin(), text.end()).c_str()));
            return freed != 0;
        });
        programs.write("go", std::string());
        // No idle meanwhile: the editor does not see the program end.
        waitFor([&] { return freed > 0 && ::kill(freed, 0) != 0; });
        EXPECT_GT(freed, 1);
        EXPECT_NE(::kill(freed, 0), 0) << "the program has ended and its pid is free";

        int line[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, line), 0);
        // The stranger leads a group of its own, as the program did, and
        // echoes what it is sent for as long as it lives. The kernel may still
        // be letting go of the pid for a moment after the program is gone: a
        // stranger born with another pid goes, and the next one tries again.
        pid_t stranger = -1;
        bool chosen = true;
        waitFor([&] {
            if (stranger > 0) {
                ::kill(stranger, SIGKILL);
                ::waitpid(stranger, nullptr, 0);
            }
            std::FILE* next = std::fopen("/proc/sys/kernel/ns_last_pid", "w");
            if (next == nullptr || std::fprintf(next, "%d", freed - 1) < 0 || std::fclose(next) != 0) {
                chosen = false;
                return true;
            }
            stranger = ::fork();
            if (stranger == 0) {
                ::setpgid(0, 0);
                for (char c = 0; ::read(line[1], &c, 1) == 1 && ::write(line[1], &c, 1) == 1;) { }
                ::_exit(0);
            }
            return stranger == freed;
        });
        if (!chosen)
            return kNoPidChoice;
        ::setpgid(stranger, stranger);
        ::close(line[1]);
        EXPECT_EQ(stranger, freed) << "the stranger got the freed pid";

        host.dispatch(effEditClose);
        char c = 'x';
        pollfd echo {line[0], POLLIN, 0};
        EXPECT_TRUE(::write(line[0], &c, 1) == 1 && ::poll(&echo, 1, 10000) == 1 && ::read(line[0], &c, 1) == 1)
            << "the stranger survives";
        ::kill(stranger, SIGKILL);
        DialogX11::TearDown();
        return HasFailure() ? 1 : 0;
    });
    if (code == kNoPidNamespace)
        GTEST_SKIP() << "no pid namespace can be made here (unshare needs CAP_SYS_ADMIN: run as root)";
    if (code == kNoPidChoice)
        GTEST_SKIP() << "the namespace's next pid cannot be chosen (/proc/sys/kernel/ns_last_pid)";
    if (code == kNoDisplay)
        GTEST_SKIP() << "no X display";
    EXPECT_EQ(code, 0) << "see the failures reported from inside the namespace above";
}

}  // namespace
