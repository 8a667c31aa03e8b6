// The popup menu on X11: an override-redirect window just below and right of
// the cursor, with the pointer and keyboard grabbed while it is up. A release
// over an enabled item chooses it; a press outside, Escape, or a window that
// cannot be made dismisses it. Drawn with core X requests: the menu has its own
// display connection for as long as it is up, so it never disturbs the
// editor's. Nothing here waits: the menu comes up in show, and each poll
// handles the events that have arrived since the last one.

#include "platform/x11/X11PopupMenu.h"
#include "platform/x11/X11WindowSystem.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

namespace platform {
namespace {

    // Nothing a menu does may end the host: errors are dropped, and a broken
    // connection of the menu's own closes the menu instead of calling exit().
    int ignoreError(Display*, XErrorEvent*) { return 0; }

    Display* menuDisplay = nullptr;
    XIOErrorHandler previousIo = nullptr;

    int onIoError(Display* d)
    {
        if (d == menuDisplay)
            return 0;
        return previousIo != nullptr ? previousIo(d) : 0;
    }

    void onIoExit(Display*, void* lost) { *static_cast<bool*>(lost) = true; }

    // Held only while a menu's own calls run: between two polls the host's
    // handlers stand. Nested guards leave the handlers to the outermost.
    int guardDepth = 0;
    XErrorHandler previousError = nullptr;

    class ErrorGuard {
    public:
        explicit ErrorGuard(Display* d)
        {
            if (guardDepth++ == 0) {
                previousError = XSetErrorHandler(ignoreError);
                previousIo = XSetIOErrorHandler(onIoError);
                menuDisplay = d;
            }
        }
        ~ErrorGuard()
        {
            if (--guardDepth == 0) {
                XSetIOErrorHandler(previousIo);
                XSetErrorHandler(previousError);
                menuDisplay = nullptr;
            }
        }
        ErrorGuard(const ErrorGuard&) = delete;
        ErrorGuard& operator=(const ErrorGuard&) = delete;
    };

    unsigned long pixelOf(Display* d, int r, int g, int b)
    {
        XColor c {};
        c.red = static_cast<unsigned short>(r * 257);
        c.green = static_cast<unsigned short>(g * 257);
        c.blue = static_cast<unsigned short>(b * 257);
        c.flags = DoRed | DoGreen | DoBlue;
        if (XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &c) == 0)
            return r + g + b > 384 ? WhitePixel(d, DefaultScreen(d)) : BlackPixel(d, DefaultScreen(d));
        return c.pixel;
    }

    struct Menu {
        Display* d = nullptr;
        bool lost = false;
        Window window = 0;
        GC gc = nullptr;
        XFontStruct* font = nullptr;
        const PopupRequest* request = nullptr;  // the run's own copy
        int width = 0;
        int height = 0;
        int hover = -1;
        unsigned long face = 0, text = 0, grey = 0, highlight = 0, highlightText = 0, line = 0;

        int itemAt(int x, int y) const
        {
            if (x < 0 || x >= width || y < 0 || y >= height)
                return -1;
            for (size_t i = 0; i < request->items.size(); ++i) {
                const int top = X11PopupMenu::itemTop(*request, i);
                const int h = request->items[i].separator ? X11PopupMenu::kSeparatorHeight : X11PopupMenu::kItemHeight;
                if (y >= top && y < top + h)
                    return static_cast<int>(i);
            }
            return -1;
        }

        bool choosable(int i) const
        {
            return i >= 0 && static_cast<size_t>(i) < request->items.size() && !request->items[i].disabled
                && !request->items[i].separator;
        }

        void draw()
        {
            XSetForeground(d, gc, face);
            XFillRectangle(d, window, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
            for (size_t i = 0; i < request->items.size(); ++i) {
                const PopupItem& item = request->items[i];
                const int top = X11PopupMenu::itemTop(*request, i);
                if (item.separator) {
                    XSetForeground(d, gc, line);
                    const int y = top + X11PopupMenu::kSeparatorHeight / 2;
                    XDrawLine(d, window, gc, 4, y, width - 5, y);
                    continue;
                }
                const bool lit = static_cast<int>(i) == hover && choosable(hover);
                if (lit) {
                    XSetForeground(d, gc, highlight);
                    XFillRectangle(d, window, gc, 2, top, static_cast<unsigned>(width - 4), X11PopupMenu::kItemHeight);
                }
                XSetForeground(d, gc, item.disabled ? grey : (lit ? highlightText : text));
                if (item.checked) {
                    const int cy = top + X11PopupMenu::kItemHeight / 2;
                    XPoint tick[3] = {
                        {6, static_cast<short>(cy)}, {9, static_cast<short>(cy + 3)}, {15, static_cast<short>(cy - 4)}};
                    XDrawLines(d, window, gc, tick, 3, CoordModeOrigin);
                }
                const int baseline = top + (X11PopupMenu::kItemHeight + font->ascent - font->descent) / 2;
                XDrawString(d, window, gc, X11PopupMenu::kTextLeft, baseline, item.text.c_str(),
                    static_cast<int>(std::min<size_t>(item.text.size(), 1000)));
            }
            XSetForeground(d, gc, line);
            XDrawRectangle(d, window, gc, 0, 0, static_cast<unsigned>(width - 1), static_cast<unsigned>(height - 1));
            XFlush(d);
        }

        void setHover(int i)
        {
            if (i != hover) {
                hover = i;
                draw();
            }
        }

        void step(int direction)
        {
            const int n = static_cast<int>(request->items.size());
            int i = hover;
            for (int tries = 0; tries < n; ++tries) {
                i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
                if (choosable(i)) {
                    setHover(i);
                    return;
                }
            }
        }

        // 0: still open; -1 dismissed; else the chosen id.
        int32_t handle(XEvent& e)
        {
            switch (e.type) {
            case Expose:
                if (e.xexpose.count == 0)
                    draw();
                break;
            case MotionNotify: setHover(itemAt(e.xmotion.x_root - originX, e.xmotion.y_root - originY)); break;
            case ButtonPress:
                if (!inside(e.xbutton.x_root, e.xbutton.y_root))
                    return -1;
                break;
            case ButtonRelease: {
                const int i = itemAt(e.xbutton.x_root - originX, e.xbutton.y_root - originY);
                if (choosable(i))
                    return request->items[static_cast<size_t>(i)].id;
                break;
            }
            case KeyPress: {
                const KeySym key = XLookupKeysym(&e.xkey, 0);
                if (key == XK_Escape)
                    return -1;
                if (key == XK_Down)
                    step(1);
                else if (key == XK_Up)
                    step(-1);
                else if ((key == XK_Return || key == XK_KP_Enter) && choosable(hover))
                    return request->items[static_cast<size_t>(hover)].id;
                break;
            }
            default: break;
            }
            return 0;
        }

        bool inside(int rootX, int rootY) const
        {
            return rootX >= originX && rootX < originX + width && rootY >= originY && rootY < originY + height;
        }

        int originX = 0;
        int originY = 0;
    };

}  // namespace

int32_t X11PopupMenu::itemTop(const PopupRequest& request, size_t index)
{
    int32_t top = kMargin;
    for (size_t i = 0; i < index && i < request.items.size(); ++i)
        top += request.items[i].separator ? kSeparatorHeight : kItemHeight;
    return top;
}

namespace {

    // A busy server may refuse a connection for a moment: the menu tries
    // again on this many polls before it gives up.
    constexpr int kConnectTries = 10;

    class X11PopupRun final : public IPopupRun {
    public:
        explicit X11PopupRun(const PopupRequest& request)
            : request_(request)
        {
            m_.request = &request_;
        }
        ~X11PopupRun() override { takeDown(); }
        X11PopupRun(const X11PopupRun&) = delete;
        X11PopupRun& operator=(const X11PopupRun&) = delete;

        PopupAnswer poll() override
        {
            if (answer_.status != PopupStatus::Open)
                return answer_;
            if (m_.d == nullptr) {
                if (!comeUp() && ++connectTries_ >= kConnectTries)
                    answer_ = {PopupStatus::Dismissed, 0};
                return answer_;
            }
            {
                ErrorGuard guard(m_.d);
                grab();
                while (answer_.status == PopupStatus::Open && !m_.lost && XPending(m_.d) > 0) {
                    XEvent e;
                    XNextEvent(m_.d, &e);
                    const int32_t answer = m_.handle(e);
                    if (answer > 0)
                        answer_ = {PopupStatus::Chosen, answer};
                    else if (answer < 0)
                        answer_ = {PopupStatus::Dismissed, 0};
                }
                if (m_.lost)
                    answer_ = {PopupStatus::Dismissed, 0};  // a lost connection chose nothing
            }
            if (answer_.status != PopupStatus::Open)
                takeDown();
            return answer_;
        }

    private:
        // Connects, makes the window and tries the grabs; false while the
        // server refuses the connection. A menu that cannot be drawn is
        // dismissed.
        bool comeUp()
        {
            m_.d = XOpenDisplay(nullptr);
            if (m_.d == nullptr)
                return false;
            Display* d = m_.d;
            ErrorGuard guard(d);
            XSetIOErrorExitHandler(d, onIoExit, &m_.lost);
            const int screen = DefaultScreen(d);
            const Window root = RootWindow(d, screen);
            m_.font = XLoadQueryFont(d, "fixed");
            loadedFont_ = m_.font != nullptr;
            if (!loadedFont_)
                m_.font = XQueryFont(d, XGContextFromGC(DefaultGC(d, screen)));
            if (m_.font == nullptr) {
                answer_ = {PopupStatus::Dismissed, 0};
                takeDown();
                return true;
            }

            int textWidth = 0;
            for (const PopupItem& item : request_.items)
                textWidth = std::max(textWidth,
                    XTextWidth(m_.font, item.text.c_str(), static_cast<int>(std::min<size_t>(item.text.size(), 1000))));
            m_.width
                = std::min(X11PopupMenu::kTextLeft + textWidth + X11PopupMenu::kTextRight, DisplayWidth(d, screen));
            m_.height = std::min(X11PopupMenu::itemTop(request_, request_.items.size()) + X11PopupMenu::kMargin,
                DisplayHeight(d, screen));

            // Just off the cursor, so the release of the click that opened the
            // menu lands outside it; kept on the screen.
            Window r, c;
            int cx = 0, cy = 0, wx, wy;
            unsigned mask;
            XQueryPointer(d, root, &r, &c, &cx, &cy, &wx, &wy, &mask);
            m_.originX = std::clamp(cx + 1, 0, std::max(0, DisplayWidth(d, screen) - m_.width));
            m_.originY = std::clamp(cy + 1, 0, std::max(0, DisplayHeight(d, screen) - m_.height));

            m_.face = pixelOf(d, 240, 240, 236);
            m_.text = pixelOf(d, 16, 16, 16);
            m_.grey = pixelOf(d, 150, 150, 150);
            m_.highlight = pixelOf(d, 48, 84, 150);
            m_.highlightText = pixelOf(d, 255, 255, 255);
            m_.line = pixelOf(d, 120, 120, 120);

            XSetWindowAttributes attributes {};
            attributes.override_redirect = True;
            attributes.background_pixel = m_.face;
            attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask
                | KeyPressMask | StructureNotifyMask;
            m_.window = XCreateWindow(d, root, m_.originX, m_.originY, static_cast<unsigned>(m_.width),
                static_cast<unsigned>(m_.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
            m_.gc = XCreateGC(d, m_.window, 0, nullptr);
            if (loadedFont_)
                XSetFont(d, m_.gc, m_.font->fid);
            XMapRaised(d, m_.window);
            XSync(d, False);

            // The press that opened the menu left the editor's connection
            // holding the pointer for as long as the button is down; it lets
            // go so the menu can track a press-drag-release.
            x11WindowSystem().yieldPointer();
            grab();
            m_.draw();
            return true;
        }

        // Another client may hold a grab for a moment, so each poll tries
        // again until the menu has both; a menu without its grab still works
        // inside its own window.
        void grab()
        {
            if (pointer_ && keyboard_)
                return;
            if (!pointer_)
                pointer_ = XGrabPointer(m_.d, m_.window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                               GrabModeAsync, GrabModeAsync, None, None, CurrentTime)
                    == GrabSuccess;
            if (pointer_ && !keyboard_)
                keyboard_
                    = XGrabKeyboard(m_.d, m_.window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        }

        void takeDown()
        {
            Display* d = m_.d;
            if (d == nullptr)
                return;
            {
                ErrorGuard guard(d);
                if (m_.window != 0) {
                    XUngrabKeyboard(d, CurrentTime);
                    XUngrabPointer(d, CurrentTime);
                    XFreeGC(d, m_.gc);
                    XDestroyWindow(d, m_.window);
                }
                if (m_.font != nullptr) {
                    if (loadedFont_)
                        XFreeFont(d, m_.font);
                    else
                        XFreeFontInfo(nullptr, m_.font, 0);
                }
                XCloseDisplay(d);
            }
            m_.d = nullptr;
            m_.window = 0;
            m_.gc = nullptr;
            m_.font = nullptr;
        }

        PopupRequest request_;
        Menu m_;
        bool loadedFont_ = false;
        bool pointer_ = false;
        bool keyboard_ = false;
        int connectTries_ = 0;
        PopupAnswer answer_ {PopupStatus::Open, 0};
    };

}  // namespace

std::unique_ptr<IPopupRun> X11PopupMenu::show(const PopupRequest& request)
{
    if (request.items.empty())
        return nullptr;
    auto run = std::make_unique<X11PopupRun>(request);
    run->poll();  // comes up, unless the server refuses for the moment
    return run;
}

X11PopupMenu& x11PopupMenu()
{
    static X11PopupMenu menu;
    return menu;
}

}  // namespace platform
