// The editor end to end in a real X server: a host window of plain Xlib opens
// the test plug-in's editor through the built module (effEditOpen with the X11
// window id), pumps effEditIdle as hosts do, and plays the user through XTest.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "TestVstEditor.h"
#include "tests/support/VstTestHost.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The test's own connection: the host's windows and the user's hand.
class XHost {
public:
    static std::unique_ptr<XHost> open()
    {
        Display* d = XOpenDisplay(nullptr);
        int a = 0, b = 0, c = 0, e = 0;
        if (d != nullptr && !XTestQueryExtension(d, &a, &b, &c, &e)) {
            XCloseDisplay(d);
            d = nullptr;
        }
        return d == nullptr ? nullptr : std::unique_ptr<XHost>(new XHost(d));
    }
    ~XHost() { XCloseDisplay(d); }

    ::Window makeWindow(int x, int y)
    {
        const ::Window w
            = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, kTestEditorWidth, kTestEditorHeight, 0, 0, 0x777777);
        XMapWindow(d, w);
        XSync(d, False);
        return w;
    }
    void destroy(::Window w)
    {
        XDestroyWindow(d, w);
        XSync(d, False);
    }
    int children(::Window w)
    {
        ::Window root = 0, parent = 0, *list = nullptr;
        unsigned n = 0;
        XQueryTree(d, w, &root, &parent, &list, &n);
        if (list != nullptr)
            XFree(list);
        return static_cast<int>(n);
    }
    void move(int x, int y)
    {
        XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
        XSync(d, False);
    }
    void button(unsigned b, bool down)
    {
        XTestFakeButtonEvent(d, b, down, CurrentTime);
        XSync(d, False);
    }
    void wheel(int steps)
    {
        for (int i = 0; i < std::abs(steps); ++i) {
            button(steps > 0 ? 4 : 5, true);
            button(steps > 0 ? 4 : 5, false);
        }
    }
    void pointer(int& x, int& y)
    {
        ::Window r = 0, c = 0;
        int wx = 0, wy = 0;
        unsigned m = 0;
        XQueryPointer(d, DefaultRootWindow(d), &r, &c, &x, &y, &wx, &wy, &m);
    }
    // Pixels of the host window that differ from the editor drawn with values (v0, v1).
    int mismatches(::Window w, float v0, float v1)
    {
        XImage* image = XGetImage(d, w, 0, 0, kTestEditorWidth, kTestEditorHeight, AllPlanes, ZPixmap);
        if (image == nullptr)
            return -1;
        int bad = 0;
        const float values[2] = {v0, v1};
        for (int y = 0; y < kTestEditorHeight; ++y)
            for (int x = 0; x < kTestEditorWidth; ++x) {
                unsigned want = kTestEditorBackground;
                for (int i = 0; i < 2; ++i)
                    if (x >= kTestBarX[i] && x < kTestBarX[i] + kTestBarW && y >= kTestBarY
                        && y < kTestBarY + kTestBarH) {
                        const int lit = static_cast<int>(values[i] * kTestBarH + 0.5f);
                        want = y >= kTestBarY + kTestBarH - lit ? kTestEditorBarFull : kTestEditorBarEmpty;
                    }
                bad += (static_cast<unsigned>(XGetPixel(image, x, y)) & 0xFFFFFFu) != want;
            }
        XDestroyImage(image);
        return bad;
    }

private:
    explicit XHost(Display* display)
        : d(display)
    {
    }
    Display* d;
};

// One plug-in instance whose editor lives in a host window.
struct Instance {
    explicit Instance(const PluginModule& module) { EXPECT_NE(host.create(module), nullptr); }
    bool open(::Window parent)
    {
        ERect* rect = nullptr;
        host.dispatch(effEditGetRect, 0, 0, &rect);
        if (rect == nullptr || rect->right != kTestEditorWidth || rect->bottom != kTestEditorHeight)
            return false;
        return host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) != 0;
    }
    void idle() { host.dispatch(effEditIdle); }
    VstTestHost host;
};

class X11Editor : public ::testing::Test {
protected:
    void SetUp() override
    {
        x = XHost::open();
        if (x == nullptr)
            GTEST_SKIP() << "no display with XTest";
        module = std::make_unique<PluginModule>(TB_TEST_VST_MODULE_EDITOR);
        ASSERT_TRUE(module->isLoaded()) << module->error();
    }
    // Idles the editors as a host does (every 10 ms here) until `done` holds or
    // `maxMs` have passed; the default only ends a wait that never ends, as a
    // loaded machine may take seconds for what takes milliseconds here.
    template <class F> bool idleUntil(std::initializer_list<Instance*> editors, F done, int maxMs = 60000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        do {
            for (Instance* e : editors)
                e->idle();
            if (done())
                return true;
            sleepMs(10);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    bool shows(Instance& e, ::Window w, float v0, float v1)
    {
        return idleUntil({&e}, [&] { return x->mismatches(w, v0, v1) == 0; });
    }

    std::unique_ptr<XHost> x;
    std::unique_ptr<PluginModule> module;
};

TEST_F(X11Editor, PaintsAndFollowsClicksDragsAndTheWheel)
{
    const ::Window hostWindow = x->makeWindow(100, 100);
    Instance e(*module);
    ASSERT_TRUE(e.open(hostWindow));
    ASSERT_EQ(x->children(hostWindow), 1);
    EXPECT_TRUE(shows(e, hostWindow, 0.5f, 0.5f)) << x->mismatches(hostWindow, 0.5f, 0.5f) << " pixels differ";

    // A click frames an edit for the host's automation and changes nothing.
    const int barX = 100 + kTestBarX[0] + kTestBarW / 2, barY = 100 + kTestBarY + 60;
    x->move(barX, barY);
    x->button(1, true);
    x->button(1, false);
    EXPECT_TRUE(idleUntil({&e}, [&] { return e.host.count(audioMasterEndEdit) == 1; }));
    EXPECT_EQ(e.host.count(audioMasterBeginEdit), 1);
    EXPECT_FLOAT_EQ(e.host.getParameter(0), 0.5f);

    // An endless drag: 30 pixels up raise the value by 0.3; the cursor comes back.
    x->button(1, true);
    idleUntil(
        {&e}, [] { return false; }, 60);
    for (int step = 1; step <= 3; ++step) {
        x->move(barX, barY - 10 * step);
        idleUntil(
            {&e}, [] { return false; }, 30);
    }
    x->button(1, false);
    EXPECT_TRUE(idleUntil({&e}, [&] { return e.host.count(audioMasterEndEdit) == 2; }));
    EXPECT_NEAR(e.host.getParameter(0), 0.8f, 0.011f);
    int px = 0, py = 0;
    x->pointer(px, py);
    EXPECT_EQ(px, barX);
    EXPECT_EQ(py, barY);
    EXPECT_FALSE(e.host.automations().empty());

    // The wheel over the second bar: two notches up.
    x->move(100 + kTestBarX[1] + 10, barY);
    x->wheel(2);
    EXPECT_TRUE(idleUntil({&e}, [&] { return std::fabs(e.host.getParameter(1) - 0.6f) < 0.001f; }));
    const float v0 = e.host.getParameter(0);
    EXPECT_TRUE(shows(e, hostWindow, v0, 0.6f)) << x->mismatches(hostWindow, v0, 0.6f) << " pixels differ";

    // A window that covered the editor goes: the server never clears the editor's
    // window, so only the copy from the back buffer on Expose brings the picture back.
    const ::Window cover = x->makeWindow(150, 150);
    x->destroy(cover);
    EXPECT_GT(x->mismatches(hostWindow, v0, 0.6f), 0);
    EXPECT_TRUE(shows(e, hostWindow, v0, 0.6f)) << x->mismatches(hostWindow, v0, 0.6f) << " pixels differ";

    // A value the host sets shows on a later tick.
    e.host.setParameter(1, 0.25f);
    EXPECT_TRUE(shows(e, hostWindow, v0, 0.25f));
    e.host.dispatch(effEditClose);
    EXPECT_EQ(x->children(hostWindow), 0);
    x->destroy(hostWindow);
}

TEST_F(X11Editor, ClosesAndReopensAndTwoEditorsShareTheProcess)
{
    const ::Window w1 = x->makeWindow(60, 60);
    const ::Window w2 = x->makeWindow(500, 300);
    Instance a(*module), b(*module);
    ASSERT_TRUE(a.open(w1));
    EXPECT_TRUE(shows(a, w1, 0.5f, 0.5f));
    a.host.dispatch(effEditClose);
    EXPECT_EQ(x->children(w1), 0);
    a.host.setParameter(0, 0.1f);
    ASSERT_TRUE(a.open(w1));
    EXPECT_TRUE(shows(a, w1, 0.1f, 0.5f));

    b.host.setParameter(1, 0.9f);
    ASSERT_TRUE(b.open(w2));
    EXPECT_TRUE(idleUntil({&a, &b}, [&] { return x->mismatches(w2, 0.5f, 0.9f) == 0; }));
    a.host.dispatch(effEditClose);
    b.host.setParameter(0, 0.7f);
    EXPECT_TRUE(idleUntil({&b}, [&] { return x->mismatches(w2, 0.7f, 0.9f) == 0; }));
    b.host.dispatch(effEditClose);
    x->destroy(w1);
    x->destroy(w2);
}

TEST_F(X11Editor, HostWindowDestroyedBeforeCloseLeavesTheHostRunning)
{
    const ::Window doomed = x->makeWindow(80, 80);
    Instance e(*module);
    ASSERT_TRUE(e.open(doomed));
    EXPECT_TRUE(shows(e, doomed, 0.5f, 0.5f));
    x->destroy(doomed);
    e.host.setParameter(0, 0.3f);  // a repaint into the window that is gone
    idleUntil(
        {&e}, [] { return false; }, 150);
    e.host.dispatch(effEditClose);
    e.idle();

    // Still alive, and the editor opens again in a new window.
    const ::Window again = x->makeWindow(80, 80);
    ASSERT_TRUE(e.open(again));
    EXPECT_TRUE(shows(e, again, 0.3f, 0.5f));
    e.host.dispatch(effEditClose);
    x->destroy(again);
}

}  // namespace
