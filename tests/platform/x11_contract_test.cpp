// gtest and the window-system seam first: Xlib's macros (None, Bool, Expose)
// would rewrite their names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "SpareXServer.h"
#include "WindowContract.h"
#include "platform/x11/X11WindowSystem.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

namespace {

using platform::ScreenPoint;

// Plays the host (top-level windows of its own connection) and the user (XTest).
class X11Driver final : public contract::Driver {
public:
    static std::unique_ptr<contract::Driver> make(bool sharedMemory)
    {
        Display* d = XOpenDisplay(nullptr);
        if (d == nullptr)
            return nullptr;
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
            XCloseDisplay(d);
            return nullptr;
        }
        return std::unique_ptr<contract::Driver>(new X11Driver(d, sharedMemory));
    }
    ~X11Driver() override
    {
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XCloseDisplay(d);
    }

    platform::IWindowSystem& system() override { return ws; }
    uintptr_t makeParent(int32_t w, int32_t h) override
    {
        const ::Window p = XCreateSimpleWindow(d, DefaultRootWindow(d), 40 + 8 * static_cast<int>(parents.size()), 30,
            static_cast<unsigned>(w), static_cast<unsigned>(h), 0, 0, 0x303030);
        XSelectInput(d, p, KeyPressMask);  // the host's shortcuts
        XMapWindow(d, p);
        XSync(d, False);
        parents.push_back(p);
        return p;
    }
    void destroyParent(uintptr_t parent) override
    {
        XDestroyWindow(d, static_cast<::Window>(parent));
        XSync(d, False);
    }
    void moveCursor(ScreenPoint to) override
    {
        XTestFakeMotionEvent(d, -1, to.x, to.y, CurrentTime);
        XSync(d, False);
    }
    void button(int32_t b, bool down) override
    {
        XTestFakeButtonEvent(d, static_cast<unsigned>(b), down, CurrentTime);
        XSync(d, False);
    }
    void wheel(int32_t steps) override
    {
        const unsigned b = steps > 0 ? 4 : 5;
        for (int32_t i = 0; i < std::abs(steps); ++i) {
            XTestFakeButtonEvent(d, b, True, CurrentTime);
            XTestFakeButtonEvent(d, b, False, CurrentTime);
        }
        XSync(d, False);
    }
    void key(int32_t vk, bool down) override
    {
        KeySym sym = NoSymbol;
        if (vk >= 'A' && vk <= 'Z')
            sym = XK_a + static_cast<KeySym>(vk - 'A');
        else if (vk == 0x25)
            sym = XK_Left;
        fakeKey(sym, down);
    }
    int hostKeyPresses() override
    {
        wait(0);
        return hostPresses;
    }
    void modifier(uint32_t bit, bool down) override
    {
        fakeKey(bit == platform::kModShift ? XK_Shift_L : bit == platform::kModControl ? XK_Control_L : XK_Alt_L, down);
    }
    void dropFile(platform::WindowId window, const std::string& path) override
    {
        // The source side of XDND 5, as a file manager plays it.
        const ::Window target = static_cast<::Window>(ws.nativeHandle(window));
        if (source == 0)
            source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        std::string uri = "file://";
        for (unsigned char c : path) {
            static const char hex[] = "0123456789ABCDEF";
            if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '+')
                uri.push_back(static_cast<char>(c));
            else
                uri += {'%', hex[c >> 4], hex[c & 15]};
        }
        offered = "# from the test\r\n" + uri + "\r\nfile:///second/file\r\n";
        XSetSelectionOwner(d, atom("XdndSelection"), source, CurrentTime);
        ScreenPoint at;
        ws.cursorPosition(at);
        send(
            target, "XdndEnter", {static_cast<long>(source), 5L << 24, static_cast<long>(atom("text/uri-list")), 0, 0});
        send(target, "XdndPosition",
            {static_cast<long>(source), 0, (static_cast<long>(at.x) << 16) | at.y, CurrentTime,
                static_cast<long>(atom("XdndActionCopy"))});
        send(target, "XdndDrop", {static_cast<long>(source), 0, CurrentTime, 0, 0});
        XSync(d, False);
    }
    void stealCapture() override
    {
        for (::Window p : parents)
            XUnmapWindow(d, p);
        XSync(d, False);
    }
    void giveBackCapture() override
    {
        for (::Window p : parents)
            XMapWindow(d, p);
        XSync(d, False);
    }
    void wait(int32_t ms) override
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            while (XPending(d) > 0) {
                XEvent ev;
                XNextEvent(d, &ev);
                if (ev.type == SelectionRequest)
                    answer(ev.xselectionrequest);
                hostPresses += ev.type == KeyPress;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < end);
    }
    int64_t now() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    bool readPixel(platform::WindowId window, int32_t x, int32_t y, uint32_t& out) override
    {
        XImage* image = XGetImage(d, static_cast<::Window>(ws.nativeHandle(window)), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr)
            return false;
        out = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
        XDestroyImage(image);
        return true;
    }

    platform::X11WindowSystem ws;

private:
    X11Driver(Display* display, bool sharedMemory)
        : d(display)
    {
        ws.allowSharedMemory(sharedMemory);
    }
    Atom atom(const char* name) { return XInternAtom(d, name, False); }
    void fakeKey(KeySym sym, bool down)
    {
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, sym), down, CurrentTime);
        XSync(d, False);
    }
    void send(::Window target, const char* type, std::initializer_list<long> data)
    {
        XEvent e {};
        e.xclient.type = ClientMessage;
        e.xclient.window = target;
        e.xclient.message_type = atom(type);
        e.xclient.format = 32;
        int i = 0;
        for (long v : data)
            e.xclient.data.l[i++] = v;
        XSendEvent(d, target, False, NoEventMask, &e);
    }
    void answer(const XSelectionRequestEvent& r)
    {
        XEvent reply {};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        reply.xselection.property = None;
        if (r.target == atom("text/uri-list")) {
            XChangeProperty(d, r.requestor, r.property, r.target, 8, PropModeReplace,
                reinterpret_cast<const unsigned char*>(offered.data()), static_cast<int>(offered.size()));
            reply.xselection.property = r.property;
        }
        XSendEvent(d, r.requestor, False, NoEventMask, &reply);
        XFlush(d);
    }

    Display* d;
    std::vector<::Window> parents;
    ::Window source = 0;
    std::string offered;
    int hostPresses = 0;
};

}  // namespace

namespace contract {
extern const Backend kX11SharedMemory;
extern const Backend kX11PlainPut;
const Backend kX11SharedMemory {"x11_shm", [] { return X11Driver::make(true); }};
const Backend kX11PlainPut {"x11_put", [] { return X11Driver::make(false); }};
}  // namespace contract

INSTANTIATE_TEST_SUITE_P(x11, WindowContract, ::testing::Values(&contract::kX11SharedMemory, &contract::kX11PlainPut),
    [](const auto& info) { return std::string(info.param->name); });

TEST(X11Translate, KeysymsBecomeVirtualKeys)
{
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_a), 'A');
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_Z), 'Z');
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_7), '7');
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_Return), 0x0D);
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_Escape), 0x1B);
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_Down), 0x28);
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_F12), 0x7B);
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_Shift_R), 0x10);
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_KP_5), 0x65);
    EXPECT_EQ(platform::virtualKeyFromKeysym(XK_odiaeresis), 0);
}

TEST(X11Translate, FirstLocalFileOfAUriList)
{
    auto first = [](const std::string& list) { return platform::firstFileOfUriList(list.data(), list.size()); };
    EXPECT_EQ(first("# comment\r\nhttp://x/y\r\nfile:///a%20b/c%25d.tbprg\r\nfile:///second\r\n"), "/a b/c%d.tbprg");
    EXPECT_EQ(first("file://localhost/tmp/x"), "/tmp/x");
    EXPECT_EQ(first("file://otherhost/tmp/x\nfile:///mine"), "/mine");
    EXPECT_EQ(first("file:///bad%zzhex%4"), "/bad%zzhex%4");
    EXPECT_EQ(first("file:///nul%00here\nfile:///next"), "/next");  // a NUL would cut the path short
    EXPECT_EQ(first("file://"), "");
    EXPECT_EQ(platform::firstFileOfUriList(nullptr, 5), "");
    // Lengths, not terminators, bound the read.
    const char unterminated[] = {'f', 'i', 'l', 'e', ':', '/', '/', '/', 'a', 'b'};
    EXPECT_EQ(platform::firstFileOfUriList(unterminated, 9), "/a");
}

namespace {
int hostErrors = 0;
int hostHandler(Display*, XErrorEvent*)
{
    ++hostErrors;
    return 0;
}
}  // namespace

// Xlib's default handler ends the process on any X error; a host that destroyed
// its window before closing the editor must survive, and keep its own handler.
TEST(X11WindowSystem, StaleWindowsAreCaughtAndTheHostsHandlerStays)
{
    auto driver = X11Driver::make(true);
    if (driver == nullptr)
        GTEST_SKIP() << "no display";
    auto& ws = static_cast<X11Driver&>(*driver).ws;
    XSetErrorHandler(hostHandler);
    struct Quiet final : platform::IWindowListener {
        void onWindowEvent(const platform::WindowEvent&) override { }
        void onWindowTimer() override { }
    } quiet;
    platform::WindowId w = platform::kNoWindow;
    const int caught = ws.caughtErrors();
    EXPECT_EQ(ws.createChild(0x7FFFF00, 20, 20, &quiet, w), platform::WindowStatus::BadParent);
    EXPECT_GT(ws.caughtErrors(), caught);
    EXPECT_FALSE(ws.connected());  // the failed open let the connection go again

    const uintptr_t parent = driver->makeParent(40, 40);
    ASSERT_EQ(ws.createChild(parent, 20, 20, &quiet, w), platform::WindowStatus::Ok);
    driver->destroyParent(parent);
    // No pump in between: the backend does not know yet that its window is gone.
    std::vector<uint32_t> pixels(400, 0x123456u);
    ws.present(w, {pixels.data(), 20, 20}, 0, 0, 20, 20, 0, 0);
    ws.showCursor(w, false);
    ws.focus(w);
    EXPECT_EQ(ws.destroy(w), platform::WindowStatus::Ok);
    EXPECT_FALSE(ws.connected());
    EXPECT_EQ(hostErrors, 0);
    EXPECT_EQ(XSetErrorHandler(nullptr), &hostHandler);

    // A connection the frame holds outlives its windows until it lets go.
    ASSERT_EQ(ws.connect(), platform::WindowStatus::Ok);
    const uintptr_t parent2 = driver->makeParent(40, 40);
    ASSERT_EQ(ws.createChild(parent2, 20, 20, &quiet, w), platform::WindowStatus::Ok);
    EXPECT_EQ(ws.destroy(w), platform::WindowStatus::Ok);
    EXPECT_TRUE(ws.connected());
    ws.disconnect();
    EXPECT_FALSE(ws.connected());
}

// Errors are reported late: an earlier request's error (the editor's window
// destroyed along with the host's) must not fail the next editor's open.
TEST(X11WindowSystem, AnEarlierErrorDoesNotFailTheNextOpen)
{
    auto driver = X11Driver::make(true);
    if (driver == nullptr)
        GTEST_SKIP() << "no display";
    auto& ws = static_cast<X11Driver&>(*driver).ws;
    struct Quiet final : platform::IWindowListener {
        void onWindowEvent(const platform::WindowEvent&) override { }
        void onWindowTimer() override { }
    } quiet;
    ASSERT_EQ(ws.connect(), platform::WindowStatus::Ok);  // another editor keeps the connection
    const uintptr_t gone = driver->makeParent(40, 40);
    platform::WindowId w = platform::kNoWindow;
    ASSERT_EQ(ws.createChild(gone, 20, 20, &quiet, w), platform::WindowStatus::Ok);
    driver->destroyParent(gone);
    EXPECT_EQ(ws.destroy(w), platform::WindowStatus::Ok);
    EXPECT_EQ(ws.createChild(driver->makeParent(40, 40), 20, 20, &quiet, w), platform::WindowStatus::Ok);
    ws.destroy(w);
    ws.disconnect();
}

namespace {
// Points DISPLAY at another server for the backend under test, and back.
class ScopedDisplayName {
public:
    explicit ScopedDisplayName(const std::string& name)
        : had_(std::getenv("DISPLAY") != nullptr)
        , saved_(had_ ? std::getenv("DISPLAY") : "")
    {
        setenv("DISPLAY", name.c_str(), 1);
    }
    ~ScopedDisplayName()
    {
        if (had_)
            setenv("DISPLAY", saved_.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    bool had_;
    std::string saved_;
};

struct QuietListener final : platform::IWindowListener {
    void onWindowEvent(const platform::WindowEvent&) override { }
    void onWindowTimer() override { ++ticks; }
    int ticks = 0;
};
}  // namespace

// The server itself goes away (it crashed, the session ended): Xlib would call
// exit() from its I/O error path. The backend marks its windows gone instead,
// and the host goes on.
TEST(X11WindowSystem, ServerGoneIsNoExit)
{
    // Without DISPLAY the window tests stay off: a spare server would take
    // display 0, which JUCE's tests then reach by default and see die.
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    testx::SpareXServer server("320x240x24");
    Display* d = server.connection();
    if (d == nullptr)
        GTEST_SKIP() << "no Xvfb to sacrifice";
    // The host's window stays when the host's connection closes.
    const ::Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 100, 100, 0, 0, 0);
    XMapWindow(d, parent);
    XSetCloseDownMode(d, RetainPermanent);
    XCloseDisplay(d);
    server.forgetConnection();

    const ScopedDisplayName spare(server.name());
    {
        platform::X11WindowSystem ws;
        QuietListener quiet;
        platform::WindowId w = platform::kNoWindow;
        ASSERT_EQ(ws.createChild(parent, 50, 50, &quiet, w), platform::WindowStatus::Ok);
        ws.setTimer(w, 1);
        server.stop();
        std::vector<uint32_t> pixels(2500, 0x123456u);
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ws.pump();
            ws.present(w, {pixels.data(), 50, 50}, 0, 0, 50, 50, 0, 0);
        }
        platform::ScreenPoint p;
        EXPECT_FALSE(ws.cursorPosition(p));
        EXPECT_FALSE(ws.isViewable(w));
        EXPECT_EQ(ws.present(w, {pixels.data(), 50, 50}, 0, 0, 50, 50, 0, 0), platform::PresentStatus::NoTarget);
        EXPECT_EQ(ws.destroy(w), platform::WindowStatus::Ok);
        EXPECT_FALSE(ws.connected());
    }
}

// A display of another pixel layout (16 bits, 5-6-5) gets the colours through
// its visual's masks: the raw 0x00RRGGBB value would read as a different colour.
TEST(X11WindowSystem, ColoursSurviveASixteenBitDisplay)
{
    // Without DISPLAY the window tests stay off: a spare server would take
    // display 0, which JUCE's tests then reach by default and see die.
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    testx::SpareXServer server("320x240x16");
    Display* d = server.connection();
    if (d == nullptr)
        GTEST_SKIP() << "no Xvfb to spare";
    const ::Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 40, 40, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    const ScopedDisplayName spare(server.name());
    for (const bool shm : {true, false}) {
        platform::X11WindowSystem ws;
        ws.allowSharedMemory(shm);
        QuietListener quiet;
        platform::WindowId w = platform::kNoWindow;
        ASSERT_EQ(ws.createChild(parent, 20, 20, &quiet, w), platform::WindowStatus::Ok);
        std::vector<uint32_t> pixels(400, 0x00FF0000u);  // red
        for (int i = 0; i < 200; ++i)
            pixels[i] = 0x000000FFu;  // the bottom half, rows being bottom-up: blue
        // The backend's own connection maps and draws; the server may serve this
        // connection first, and reading a window that is not mapped yet is an X error.
        const auto xid = static_cast<::Window>(ws.nativeHandle(w));
        XWindowAttributes a {};
        for (int i = 0; i < 400 && (!XGetWindowAttributes(d, xid, &a) || a.map_state != IsViewable); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(a.map_state, IsViewable);
        const Visual* v = DefaultVisual(d, DefaultScreen(d));
        unsigned long top = 0, bottom = 0;
        for (int i = 0; i < 200 && (top != v->red_mask || bottom != v->blue_mask); ++i) {
            ws.present(w, {pixels.data(), 20, 20}, 0, 0, 20, 20, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            XImage* image = XGetImage(d, xid, 0, 0, 20, 20, AllPlanes, ZPixmap);
            ASSERT_NE(image, nullptr);
            top = XGetPixel(image, 5, 5);
            bottom = XGetPixel(image, 5, 15);
            XDestroyImage(image);
        }
        EXPECT_EQ(top, v->red_mask) << "shared memory " << shm;
        EXPECT_EQ(bottom, v->blue_mask) << "shared memory " << shm;
        ws.destroy(w);
    }
}

namespace {
// The cursor the server shows now, as a picture to compare.
std::vector<unsigned long> shownCursor(Display* d)
{
    std::vector<unsigned long> out;
    if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
        out.assign(image->pixels, image->pixels + image->width * image->height);
        out.push_back(image->width);
        out.push_back(image->xhot);
        XFree(image);
    }
    return out;
}
}  // namespace

// Over the editor the user sees the arrow, whatever cursor the host's window
// has; an endless drag hides it and the end of the drag brings the arrow back.
TEST(X11WindowSystem, TheWindowShowsTheArrowUnlessHidden)
{
    auto driver = X11Driver::make(true);
    if (driver == nullptr)
        GTEST_SKIP() << "no display";
    // Its windows and cursors go with the connection, on every way out.
    const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(nullptr), XCloseDisplay);
    Display* d = connection.get();
    ASSERT_NE(d, nullptr);
    int event = 0, error = 0;
    if (!XFixesQueryExtension(d, &event, &error))
        GTEST_SKIP() << "no XFixes";
    auto& ws = static_cast<X11Driver&>(*driver).ws;
    QuietListener quiet;
    const Cursor watch = XCreateFontCursor(d, XC_watch);
    const Cursor arrow = XCreateFontCursor(d, XC_left_ptr);
    const uintptr_t host = driver->makeParent(120, 80);
    XDefineCursor(d, static_cast<::Window>(host), watch);
    // A window of the test's with the arrow, to learn what the arrow looks like.
    const ::Window reference = XCreateSimpleWindow(d, DefaultRootWindow(d), 300, 300, 40, 40, 0, 0, 0);
    XDefineCursor(d, reference, arrow);
    XMapWindow(d, reference);
    XSync(d, False);
    platform::WindowId w = platform::kNoWindow;
    ASSERT_EQ(ws.createChild(host, 60, 40, &quiet, w), platform::WindowStatus::Ok);
    ScreenPoint origin;
    ASSERT_TRUE(ws.windowOrigin(w, origin));
    auto cursorAt = [&](int x, int y) {
        driver->moveCursor({x, y});
        driver->wait(20);
        ws.pump();
        XSync(d, False);
        return shownCursor(d);
    };
    const auto arrowShape = cursorAt(310, 310);
    const auto watchShape = cursorAt(origin.x + 100, origin.y + 70);  // the host's window beside ours
    ASSERT_NE(arrowShape, watchShape);
    EXPECT_EQ(cursorAt(origin.x + 20, origin.y + 20), arrowShape);
    ASSERT_EQ(ws.capture(w), platform::WindowStatus::Ok);
    ws.showCursor(w, false);
    EXPECT_NE(cursorAt(origin.x + 22, origin.y + 20), arrowShape);
    ws.showCursor(w, true);
    ws.releaseCapture();
    EXPECT_EQ(cursorAt(origin.x + 24, origin.y + 20), arrowShape);
    ws.destroy(w);
}
