// The popup menu on X11: an override-redirect window just below and right of
// the cursor, with the pointer and keyboard grabbed while it is up. A release
// over an enabled item chooses it; a press outside, Escape, or a window that
// cannot be made dismisses it. Drawn with core X requests: the menu has its own
// short-lived display connection, so it never disturbs the editor's.

#include "platform/x11/X11PopupMenu.h"
#include "platform/x11/X11WindowSystem.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

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

    class ErrorGuard {
    public:
        ErrorGuard()
            : previous_(XSetErrorHandler(ignoreError))
        {
            previousIo = XSetIOErrorHandler(onIoError);
        }
        ~ErrorGuard()
        {
            XSetIOErrorHandler(previousIo);
            XSetErrorHandler(previous_);
            menuDisplay = nullptr;
        }
        ErrorGuard(const ErrorGuard&) = delete;
        ErrorGuard& operator=(const ErrorGuard&) = delete;

    private:
        XErrorHandler previous_;
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
        const PopupRequest* request = nullptr;
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

int32_t X11PopupMenu::track(const PopupRequest& request)
{
    if (request.items.empty())
        return 0;
    ErrorGuard guard;
    Menu m;
    // A busy server may refuse a connection for a moment.
    for (int attempt = 0; attempt < 10 && m.d == nullptr; ++attempt) {
        m.d = XOpenDisplay(nullptr);
        if (m.d == nullptr)
            poll(nullptr, 0, 20);
    }
    if (m.d == nullptr)
        return 0;
    Display* d = m.d;
    menuDisplay = d;
    XSetIOErrorExitHandler(d, onIoExit, &m.lost);
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    m.request = &request;
    m.font = XLoadQueryFont(d, "fixed");
    const bool loadedFont = m.font != nullptr;
    if (!loadedFont)
        m.font = XQueryFont(d, XGContextFromGC(DefaultGC(d, screen)));
    if (m.font == nullptr) {
        XCloseDisplay(d);
        return 0;
    }

    int textWidth = 0;
    for (const PopupItem& item : request.items)
        textWidth = std::max(textWidth,
            XTextWidth(m.font, item.text.c_str(), static_cast<int>(std::min<size_t>(item.text.size(), 1000))));
    m.width = std::min(kTextLeft + textWidth + kTextRight, DisplayWidth(d, screen));
    m.height = std::min(itemTop(request, request.items.size()) + kMargin, DisplayHeight(d, screen));

    // Just off the cursor, so the release of the click that opened the menu
    // lands outside it; kept on the screen.
    Window r, c;
    int cx = 0, cy = 0, wx, wy;
    unsigned mask;
    XQueryPointer(d, root, &r, &c, &cx, &cy, &wx, &wy, &mask);
    m.originX = std::clamp(cx + 1, 0, std::max(0, DisplayWidth(d, screen) - m.width));
    m.originY = std::clamp(cy + 1, 0, std::max(0, DisplayHeight(d, screen) - m.height));

    m.face = pixelOf(d, 240, 240, 236);
    m.text = pixelOf(d, 16, 16, 16);
    m.grey = pixelOf(d, 150, 150, 150);
    m.highlight = pixelOf(d, 48, 84, 150);
    m.highlightText = pixelOf(d, 255, 255, 255);
    m.line = pixelOf(d, 120, 120, 120);

    XSetWindowAttributes attributes {};
    attributes.override_redirect = True;
    attributes.background_pixel = m.face;
    attributes.event_mask
        = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask | StructureNotifyMask;
    m.window = XCreateWindow(d, root, m.originX, m.originY, static_cast<unsigned>(m.width),
        static_cast<unsigned>(m.height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    m.gc = XCreateGC(d, m.window, 0, nullptr);
    if (loadedFont)
        XSetFont(d, m.gc, m.font->fid);
    XMapRaised(d, m.window);
    XSync(d, False);

    // The press that opened the menu left the editor's connection holding the
    // pointer for as long as the button is down; it lets go so the menu can
    // track a press-drag-release. Another client may hold a grab for a moment;
    // a menu without its grab still works inside its own window.
    x11WindowSystem().yieldPointer();
    bool pointer = false;
    bool keyboard = false;
    for (int attempt = 0; attempt < 20 && !(pointer && keyboard); ++attempt) {
        if (!pointer)
            pointer = XGrabPointer(d, m.window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                          GrabModeAsync, GrabModeAsync, None, None, CurrentTime)
                == GrabSuccess;
        if (pointer && !keyboard)
            keyboard = XGrabKeyboard(d, m.window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!(pointer && keyboard))
            poll(nullptr, 0, 10);
    }
    m.draw();

    int32_t result = 0;
    pollfd fd {ConnectionNumber(d), POLLIN, 0};
    for (bool open = true; open;) {
        while (open && !m.lost && XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            const int32_t answer = m.handle(e);
            if (answer != 0) {
                result = answer > 0 ? answer : 0;
                open = false;
            }
        }
        if (!open || m.lost)
            break;  // a lost connection chose nothing
        fd.revents = 0;
        if (poll(&fd, 1, 100) < 0 || (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            break;
    }

    XUngrabKeyboard(d, CurrentTime);
    XUngrabPointer(d, CurrentTime);
    XFreeGC(d, m.gc);
    XDestroyWindow(d, m.window);
    if (loadedFont)
        XFreeFont(d, m.font);
    else
        XFreeFontInfo(nullptr, m.font, 0);
    XCloseDisplay(d);
    return result;
}

X11PopupMenu& x11PopupMenu()
{
    static X11PopupMenu menu;
    return menu;
}

}  // namespace platform
