#include "platform/x11/X11WindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

// Xlib's event-type macro would shadow the window event of the same name.
constexpr int kXExposeEvent = Expose;
#undef Expose

namespace platform {

namespace {

    // --- The guard against Xlib's default handlers, which end the process --------
    //
    // Only this backend reads its own connection, so every X error of ours surfaces
    // inside one of its calls; each of them runs under a Guard. Errors of other
    // connections (the host's) go on to the handler that was in place.
    struct GuardState {
        Display* display = nullptr;
        int depth = 0;
        XErrorHandler previousError = nullptr;
        XIOErrorHandler previousIo = nullptr;
        int errors = 0;
        bool ioFailed = false;
    };
    GuardState guardState;

    int onXError(Display* display, XErrorEvent* event)
    {
        if (display == guardState.display) {
            ++guardState.errors;
            return 0;
        }
        return guardState.previousError != nullptr ? guardState.previousError(display, event) : 0;
    }

    int onXIoError(Display* display)
    {
        if (display == guardState.display) {
            guardState.ioFailed = true;
            return 0;
        }
        return guardState.previousIo != nullptr ? guardState.previousIo(display) : 0;
    }

    // Called by Xlib instead of exit() when our connection breaks.
    void onXIoExit(Display*, void*) { guardState.ioFailed = true; }

    class Guard {
    public:
        explicit Guard(Display* display)
        {
            if (guardState.depth++ == 0) {
                guardState.display = display;
                guardState.previousError = XSetErrorHandler(onXError);
                guardState.previousIo = XSetIOErrorHandler(onXIoError);
            }
        }
        ~Guard()
        {
            if (--guardState.depth == 0) {
                XSetErrorHandler(guardState.previousError);
                XSetIOErrorHandler(guardState.previousIo);
                guardState.display = nullptr;
            }
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
    };

    int64_t nowMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Where one 8-bit channel goes in a pixel of the visual: into the bits of its
    // mask, keeping the channel's top bits when the mask is narrower.
    struct Channel {
        int shift = 0;
        int bits = 0;
        explicit Channel(unsigned long mask)
        {
            for (; mask != 0 && (mask & 1) == 0; mask >>= 1)
                ++shift;
            for (; (mask & 1) != 0; mask >>= 1)
                ++bits;
        }
        unsigned long place(uint32_t value) const
        {
            if (bits == 0)
                return 0;
            const unsigned long v = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
            return v << shift;
        }
    };

    // What every editor window selects; keys only for an editor that handles them.
    constexpr long kWindowEvents
        = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;
    constexpr long kKeyEvents = KeyPressMask | KeyReleaseMask;

    constexpr long kXdndVersion = 5;
    constexpr int32_t kMaxSide = 16384;

}  // namespace

struct X11WindowSystem::State {
    struct Win {
        ::Window xid = 0;
        uintptr_t parent = 0;
        IWindowListener* listener = nullptr;
        int32_t width = 0;
        int32_t height = 0;
        Visual* visual = nullptr;
        int depth = 0;
        GC gc = nullptr;
        XImage* image = nullptr;
        XShmSegmentInfo shm {};
        bool shmAttached = false;
        bool gone = false;
        bool goneTold = false;  // the listener has had its Gone event
        int32_t interval = 0;
        int64_t lastTick = 0;  // the grid point of the last tick
    };
    struct Drag {
        WindowId target = kNoWindow;
        ::Window source = 0;
        long version = 0;
        bool offersUris = false;
        bool dropping = false;
    };

    Display* display = nullptr;
    bool broken = false;
    bool held = false;  // connect() without its disconnect() yet
    bool shmAllowed = true;
    bool shmOffered = false;
    int pumping = 0;
    std::map<WindowId, Win> windows;
    std::map<::Window, WindowId> byXid;
    WindowId nextId = 1;
    WindowId captured = kNoWindow;
    Cursor blank = 0;
    Cursor arrow = 0;
    Drag drag;
    Atom xdndAware = 0, xdndEnter = 0, xdndPosition = 0, xdndStatus = 0, xdndLeave = 0, xdndDrop = 0, xdndFinished = 0,
         xdndSelection = 0, xdndTypeList = 0, xdndActionCopy = 0, uriList = 0, dropProperty = 0;

    Win* find(WindowId id)
    {
        auto it = windows.find(id);
        return it == windows.end() ? nullptr : &it->second;
    }
    bool usable() const { return display != nullptr && !broken && !guardState.ioFailed; }

    bool open();
    void closeIfUnused();
    void releaseImage(Win& w);
    bool makeImage(Win& w);
    bool viewable(const Win& w) const;
    void deliver(WindowId id, const WindowEvent& e);
    void dispatch(XEvent& ev);
    void clientMessage(WindowId id, const XClientMessageEvent& m);
    void selectionArrived(WindowId id, const XSelectionEvent& e);
    void sendToSource(Atom type, long l1, long l4);
    void noticeBrokenConnection();
};

bool X11WindowSystem::State::open()
{
    if (display != nullptr && !usable() && windows.empty() && pumping == 0) {
        // The server went away earlier and nothing holds the dead connection: start anew.
        const bool keep = held;
        held = false;
        closeIfUnused();
        held = keep;
    }
    if (display != nullptr)
        return usable();
    display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    broken = false;
    guardState.ioFailed = false;
    XSetIOErrorExitHandler(display, onXIoExit, nullptr);
    Guard guard(display);
    const char* names[] = {"XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop",
        "XdndFinished", "XdndSelection", "XdndTypeList", "XdndActionCopy", "text/uri-list", "TAMBRELL_DROP"};
    Atom atoms[12] = {};
    XInternAtoms(display, const_cast<char**>(names), 12, False, atoms);
    Atom* slots[] = {&xdndAware, &xdndEnter, &xdndPosition, &xdndStatus, &xdndLeave, &xdndDrop, &xdndFinished,
        &xdndSelection, &xdndTypeList, &xdndActionCopy, &uriList, &dropProperty};
    for (int i = 0; i < 12; ++i)
        *slots[i] = atoms[i];
    // An all-transparent cursor hides the pointer during an endless drag.
    const ::Window root = DefaultRootWindow(display);
    const char zero = 0;
    Pixmap empty = XCreateBitmapFromData(display, root, &zero, 1, 1);
    XColor black {};
    blank = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
    // Without a cursor of its own the window would show whatever its host's shows.
    arrow = XCreateFontCursor(display, XC_left_ptr);
    int major = 0, minor = 0;
    Bool pixmaps = False;
    shmOffered = XShmQueryVersion(display, &major, &minor, &pixmaps) == True;
    return usable();
}

void X11WindowSystem::State::closeIfUnused()
{
    if (display == nullptr || held || !windows.empty() || pumping > 0)
        return;
    {
        Guard guard(display);
        if (usable() && blank != 0)
            XFreeCursor(display, blank);
        if (usable() && arrow != 0)
            XFreeCursor(display, arrow);
        XCloseDisplay(display);
    }
    display = nullptr;
    blank = 0;
    arrow = 0;
    captured = kNoWindow;
    drag = {};
}

void X11WindowSystem::State::releaseImage(Win& w)
{
    if (w.image == nullptr)
        return;
    if (w.shm.shmaddr != nullptr) {
        if (w.shmAttached && usable())
            XShmDetach(display, &w.shm);
        shmdt(w.shm.shmaddr);
        w.image->data = nullptr;  // not Xlib's to free
        w.shm = {};
        w.shmAttached = false;
    }
    XDestroyImage(w.image);
    w.image = nullptr;
}

bool X11WindowSystem::State::makeImage(Win& w)
{
    if (w.image != nullptr)
        return true;
    if (shmAllowed && shmOffered) {
        XImage* image = XShmCreateImage(display, w.visual, static_cast<unsigned>(w.depth), ZPixmap, nullptr, &w.shm,
            static_cast<unsigned>(w.width), static_cast<unsigned>(w.height));
        if (image != nullptr) {
            const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(image->height);
            w.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
            void* addr = w.shm.shmid >= 0 ? shmat(w.shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
            if (addr != reinterpret_cast<void*>(-1)) {
                w.shm.shmaddr = static_cast<char*>(addr);
                image->data = w.shm.shmaddr;
                w.shm.readOnly = False;
                XSync(display, False);  // earlier requests' errors are not the attach's
                const int before = guardState.errors;
                XShmAttach(display, &w.shm);
                XSync(display, False);  // a server that cannot reach our memory says so now
                // Marked for removal at once: the segment goes when both sides detach,
                // even if the process ends without closing.
                shmctl(w.shm.shmid, IPC_RMID, nullptr);
                if (guardState.errors == before) {
                    w.shmAttached = true;
                    w.image = image;
                    return true;
                }
                shmdt(w.shm.shmaddr);
            } else if (w.shm.shmid >= 0) {
                shmctl(w.shm.shmid, IPC_RMID, nullptr);
            }
            image->data = nullptr;
            XDestroyImage(image);
            w.shm = {};
        }
    }
    const size_t rowBytes = static_cast<size_t>(w.width) * 4u;
    char* data = static_cast<char*>(std::calloc(static_cast<size_t>(w.height), rowBytes));
    if (data == nullptr)
        return false;
    w.image = XCreateImage(display, w.visual, static_cast<unsigned>(w.depth), ZPixmap, 0, data,
        static_cast<unsigned>(w.width), static_cast<unsigned>(w.height), 32, 0);
    if (w.image == nullptr) {
        std::free(data);
        return false;
    }
    if (static_cast<size_t>(w.image->bytes_per_line) * static_cast<size_t>(w.height)
        > rowBytes * static_cast<size_t>(w.height)) {
        XDestroyImage(w.image);  // a layout wider than 32 bits a pixel: not ours to fill
        w.image = nullptr;
        return false;
    }
    return true;
}

bool X11WindowSystem::State::viewable(const Win& w) const
{
    if (w.gone || !usable())
        return false;
    Guard guard(display);
    XWindowAttributes a {};
    return XGetWindowAttributes(display, w.xid, &a) != 0 && a.map_state == IsViewable;
}

void X11WindowSystem::State::deliver(WindowId id, const WindowEvent& e)
{
    Win* w = find(id);
    if (w != nullptr && !w->gone)
        w->listener->onWindowEvent(e);
}

void X11WindowSystem::State::noticeBrokenConnection()
{
    if (broken || !guardState.ioFailed)
        return;
    // The server went away: every window is gone; the editors close them in their time.
    broken = true;
    for (auto& [id, w] : windows)
        w.gone = true;
    captured = kNoWindow;
}

void X11WindowSystem::State::dispatch(XEvent& ev)
{
    auto it = byXid.find(ev.xany.window);
    if (it == byXid.end())
        return;
    const WindowId id = it->second;
    WindowEvent out;
    switch (ev.type) {
    case kXExposeEvent:
        out.kind = WindowEvent::Kind::Expose;
        out.x = ev.xexpose.x;
        out.y = ev.xexpose.y;
        out.w = ev.xexpose.width;
        out.h = ev.xexpose.height;
        deliver(id, out);
        break;
    case ButtonPress:
    case ButtonRelease: {
        const unsigned b = ev.xbutton.button;
        if (b >= 1 && b <= 3) {
            out.kind = ev.type == ButtonPress ? WindowEvent::Kind::ButtonDown : WindowEvent::Kind::ButtonUp;
            out.button = static_cast<int32_t>(b);
            deliver(id, out);
        } else if ((b == 4 || b == 5) && ev.type == ButtonPress) {
            out.kind = WindowEvent::Kind::Wheel;
            out.steps = b == 4 ? 1 : -1;
            deliver(id, out);
        }
        break;
    }
    case MotionNotify: {
        // The listener reads the cursor when it handles the event, so a run of
        // queued motions is one motion.
        if (XEventsQueued(display, QueuedAlready) > 0) {
            XEvent next;
            XPeekEvent(display, &next);
            if (next.type == MotionNotify && next.xmotion.window == ev.xmotion.window)
                break;
        }
        out.kind = WindowEvent::Kind::Motion;
        deliver(id, out);
        break;
    }
    case KeyPress:
    case KeyRelease: {
        // Auto-repeat comes as release and press at the same instant; the editor
        // expects repeated presses only, as its key messages always brought.
        if (ev.type == KeyRelease && XEventsQueued(display, QueuedAfterReading) > 0) {
            XEvent next;
            XPeekEvent(display, &next);
            if (next.type == KeyPress && next.xkey.time == ev.xkey.time && next.xkey.keycode == ev.xkey.keycode)
                break;
        }
        const int32_t key = virtualKeyFromKeysym(XLookupKeysym(&ev.xkey, 0));
        if (key == 0)
            break;
        out.kind = ev.type == KeyPress ? WindowEvent::Kind::KeyDown : WindowEvent::Kind::KeyUp;
        out.key = key;
        deliver(id, out);
        break;
    }
    case DestroyNotify:
        if (ev.xdestroywindow.window == ev.xany.window) {
            if (Win* w = find(id)) {
                w->gone = true;  // the host destroyed its window, ours with it
                if (captured == id)
                    captured = kNoWindow;
            }
        }
        break;
    case ClientMessage: clientMessage(id, ev.xclient); break;
    case SelectionNotify: selectionArrived(id, ev.xselection); break;
    default: break;
    }
}

void X11WindowSystem::State::sendToSource(Atom type, long l1, long l4)
{
    Win* target = find(drag.target);
    if (drag.source == 0 || target == nullptr)
        return;
    XEvent e {};
    e.xclient.type = ClientMessage;
    e.xclient.display = display;
    e.xclient.window = drag.source;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(target->xid);
    e.xclient.data.l[1] = l1;
    if (type == xdndFinished)
        e.xclient.data.l[2] = l4;
    else
        e.xclient.data.l[4] = l4;
    XSendEvent(display, drag.source, False, NoEventMask, &e);
    XFlush(display);
}

void X11WindowSystem::State::clientMessage(WindowId id, const XClientMessageEvent& m)
{
    if (m.format != 32)
        return;
    const auto source = static_cast<::Window>(m.data.l[0]);
    if (m.message_type == xdndEnter) {
        drag = {};
        drag.target = id;
        drag.source = source;
        drag.version = (m.data.l[1] >> 24) & 0xFF;
        if ((m.data.l[1] & 1) != 0) {
            // More than three types: they are listed on the source window.
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(
                    display, source, xdndTypeList, 0, 256, False, XA_ATOM, &type, &format, &count, &after, &data)
                    == Success
                && data != nullptr) {
                if (format == 32) {
                    const auto* atoms = reinterpret_cast<const Atom*>(data);
                    drag.offersUris = std::find(atoms, atoms + count, uriList) != atoms + count;
                }
                XFree(data);
            }
        } else {
            for (int i = 2; i < 5; ++i)
                drag.offersUris = drag.offersUris || static_cast<Atom>(m.data.l[i]) == uriList;
        }
    } else if (m.message_type == xdndPosition) {
        if (drag.source != source || drag.target != id)
            return;
        const bool accept = drag.offersUris;
        sendToSource(xdndStatus, accept ? 1 : 0, accept ? static_cast<long>(xdndActionCopy) : 0);
    } else if (m.message_type == xdndLeave) {
        if (drag.source == source)
            drag = {};
    } else if (m.message_type == xdndDrop) {
        if (drag.source != source || drag.target != id)
            return;
        Win* w = find(id);
        if (!drag.offersUris || w == nullptr) {
            sendToSource(xdndFinished, 0, 0);
            drag = {};
            return;
        }
        drag.dropping = true;
        const Time time = drag.version >= 1 ? static_cast<Time>(m.data.l[2]) : CurrentTime;
        XConvertSelection(display, xdndSelection, uriList, dropProperty, w->xid, time);
        XFlush(display);
    }
}

void X11WindowSystem::State::selectionArrived(WindowId id, const XSelectionEvent& e)
{
    if (!drag.dropping || drag.target != id || e.selection != xdndSelection)
        return;
    std::string path;
    Win* w = find(id);
    if (e.property != None && w != nullptr) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        // At most 64 KiB: the first URI is all that is used.
        if (XGetWindowProperty(
                display, w->xid, dropProperty, 0, 16384, True, AnyPropertyType, &type, &format, &count, &after, &data)
                == Success
            && data != nullptr) {
            if (format == 8)
                path = firstFileOfUriList(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
    }
    const bool accepted = !path.empty();
    sendToSource(xdndFinished, accepted ? 1 : 0, accepted ? static_cast<long>(xdndActionCopy) : 0);
    drag = {};
    if (accepted) {
        WindowEvent out;
        out.kind = WindowEvent::Kind::FileDrop;
        out.path = path.c_str();
        deliver(id, out);
    }
}

// ---------------------------------------------------------------------------

X11WindowSystem::X11WindowSystem()
    : s_(std::make_unique<State>())
{
}

X11WindowSystem::~X11WindowSystem()
{
    // Editors close their windows before the module goes; whatever is left is
    // let go without touching a host that may be shutting down.
    if (s_->display != nullptr) {
        Guard guard(s_->display);
        for (auto& [id, w] : s_->windows) {
            s_->releaseImage(w);
            XFreeGC(s_->display, w.gc);  // client memory too; the windows go with the connection
        }
    }
    s_->windows.clear();
    s_->pumping = 0;
    s_->held = false;
    s_->closeIfUnused();
}

WindowStatus X11WindowSystem::connect()
{
    State& s = *s_;
    if (!s.open()) {
        s.closeIfUnused();
        return WindowStatus::NoDisplay;
    }
    s.held = true;
    return WindowStatus::Ok;
}

void X11WindowSystem::disconnect()
{
    s_->held = false;
    s_->closeIfUnused();
}

WindowStatus X11WindowSystem::createChild(
    uintptr_t parent, int32_t width, int32_t height, IWindowListener* listener, WindowId& out)
{
    out = kNoWindow;
    if (parent == 0)
        return WindowStatus::BadParent;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || listener == nullptr)
        return WindowStatus::BadArguments;
    State& s = *s_;
    if (!s.open()) {
        s.closeIfUnused();
        return WindowStatus::NoDisplay;
    }
    Guard guard(s.display);
    // Errors come late: those of earlier requests (a window the host destroyed
    // under us) are counted now, so that only this open's own ones fail it.
    XSync(s.display, False);
    const int before = guardState.errors;
    XWindowAttributes pa {};
    if (XGetWindowAttributes(s.display, static_cast<::Window>(parent), &pa) == 0 || guardState.errors != before) {
        s.closeIfUnused();
        return WindowStatus::BadParent;
    }
    XSetWindowAttributes a {};
    // No key events: keys typed over the editor then go on to the host's
    // window, whose shortcuts (the transport's space bar) must keep working.
    a.event_mask = kWindowEvents;
    a.background_pixmap = None;  // the server never clears: what shows is always our copy
    a.bit_gravity = NorthWestGravity;
    a.cursor = s.arrow;
    const ::Window xid = XCreateWindow(s.display, static_cast<::Window>(parent), 0, 0, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWEventMask | CWBackPixmap | CWBitGravity | (s.arrow != 0 ? CWCursor : 0), &a);
    XSync(s.display, False);
    XWindowAttributes wa {};
    if (xid == 0 || guardState.errors != before || XGetWindowAttributes(s.display, xid, &wa) == 0) {
        if (xid != 0)
            XDestroyWindow(s.display, xid);
        s.closeIfUnused();
        return WindowStatus::BadParent;
    }
    const long version = kXdndVersion;
    XChangeProperty(
        s.display, xid, s.xdndAware, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&version), 1);
    XStoreName(s.display, xid, "Window");
    const WindowId id = s.nextId++;
    State::Win& w = s.windows[id];
    w.xid = xid;
    w.parent = parent;
    w.listener = listener;
    w.width = width;
    w.height = height;
    w.visual = wa.visual;
    w.depth = wa.depth;
    w.gc = XCreateGC(s.display, xid, 0, nullptr);
    w.lastTick = nowMs();
    s.byXid[xid] = id;
    s.makeImage(w);  // now rather than at the first paint; a failure is retried there
    XMapWindow(s.display, xid);
    XFlush(s.display);
    out = id;
    return WindowStatus::Ok;
}

WindowStatus X11WindowSystem::destroy(WindowId window)
{
    State& s = *s_;
    State::Win* w = s.find(window);
    if (w == nullptr)
        return WindowStatus::NotOpen;
    {
        Guard guard(s.display);
        s.noticeBrokenConnection();
        if (s.captured == window) {
            if (s.usable())
                XUngrabPointer(s.display, CurrentTime);
            s.captured = kNoWindow;
        }
        if (s.drag.target == window)
            s.drag = {};
        s.releaseImage(*w);
        XFreeGC(s.display, w->gc);  // also frees its client memory on a dead connection
        if (s.usable()) {
            // Fails harmlessly (and is caught) when the host destroyed it already.
            if (!w->gone)
                XDestroyWindow(s.display, w->xid);
            XFlush(s.display);
        }
        s.byXid.erase(w->xid);
        s.windows.erase(window);
    }
    s.closeIfUnused();
    return WindowStatus::Ok;
}

bool X11WindowSystem::exists(WindowId window)
{
    State& s = *s_;
    State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return false;
    Guard guard(s.display);
    // The host may have destroyed its window a moment ago, with no event read
    // since: only the server knows.
    XSync(s.display, False);
    const int before = guardState.errors;
    XWindowAttributes a {};
    if (XGetWindowAttributes(s.display, w->xid, &a) == 0 || guardState.errors != before) {
        w->gone = true;
        if (s.captured == window)
            s.captured = kNoWindow;
    }
    s.noticeBrokenConnection();
    return !w->gone;
}

uintptr_t X11WindowSystem::nativeHandle(WindowId window) const
{
    const State::Win* w = s_->find(window);
    return w == nullptr || w->gone ? 0 : static_cast<uintptr_t>(w->xid);
}

PresentStatus X11WindowSystem::present(
    WindowId window, const PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY)
{
    State& s = *s_;
    State::Win* win = s.find(window);
    if (win == nullptr || win->gone || !s.usable())
        return PresentStatus::NoTarget;
    if (source.pixels == nullptr || source.width <= 0 || source.height <= 0 || w < 0 || h < 0)
        return PresentStatus::BadArguments;
    // Clip against both sides in 64-bit so no argument can wrap a bound.
    int64_t dx = x, dy = y, sx = srcX, sy = srcY, cw = w, ch = h;
    if (dx < 0) {
        sx -= dx;
        cw += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        ch += dy;
        dy = 0;
    }
    if (sx < 0) {
        dx -= sx;
        cw += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        ch += sy;
        sy = 0;
    }
    cw = std::min({cw, int64_t {win->width} - dx, int64_t {source.width} - sx});
    ch = std::min({ch, int64_t {win->height} - dy, int64_t {source.height} - sy});
    if (cw <= 0 || ch <= 0)
        return PresentStatus::Ok;
    Guard guard(s.display);
    if (!s.makeImage(*win))
        return PresentStatus::NoTarget;
    XImage* image = win->image;
    const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00
        && image->blue_mask == 0xFF && image->byte_order == LSBFirst;
    // Any other layout (16-bit, BGR) is told the colour through its masks.
    const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
    for (int64_t row = 0; row < ch; ++row) {
        // The back buffer keeps its rows bottom-up.
        const uint32_t* src = source.pixels + (source.height - 1 - (sy + row)) * int64_t {source.width} + sx;
        if (direct) {
            auto* dst = reinterpret_cast<uint32_t*>(image->data + (dy + row) * image->bytes_per_line) + dx;
            for (int64_t col = 0; col < cw; ++col)
                dst[col] = src[col] | 0xFF000000u;  // the fourth byte is no alpha: opaque
        } else {
            for (int64_t col = 0; col < cw; ++col) {
                const uint32_t p = src[col];
                XPutPixel(image, static_cast<int>(dx + col), static_cast<int>(dy + row),
                    red.place((p >> 16) & 0xFF) | green.place((p >> 8) & 0xFF) | blue.place(p & 0xFF));
            }
        }
    }
    if (win->shmAttached) {
        XShmPutImage(s.display, win->xid, win->gc, image, static_cast<int>(dx), static_cast<int>(dy),
            static_cast<int>(dx), static_cast<int>(dy), static_cast<unsigned>(cw), static_cast<unsigned>(ch), False);
        // The server reads the shared memory later: wait, so the next present cannot tear it.
        XSync(s.display, False);
    } else {
        XPutImage(s.display, win->xid, win->gc, image, static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(dx),
            static_cast<int>(dy), static_cast<unsigned>(cw), static_cast<unsigned>(ch));
        XFlush(s.display);
    }
    s.noticeBrokenConnection();
    return PresentStatus::Ok;
}

WindowStatus X11WindowSystem::setTimer(WindowId window, int32_t milliseconds)
{
    State::Win* w = s_->find(window);
    if (w == nullptr)
        return WindowStatus::NotOpen;
    if (milliseconds < 0)
        return WindowStatus::BadArguments;
    w->interval = milliseconds;
    w->lastTick = nowMs();
    return WindowStatus::Ok;
}

void X11WindowSystem::pump()
{
    State& s = *s_;
    if (s.display == nullptr)
        return;
    ++s.pumping;
    {
        Guard guard(s.display);
        // Bounded: a flood of events cannot keep the host's idle call forever.
        for (int n = 0; n < 4096 && s.usable() && XPending(s.display) > 0; ++n) {
            XEvent ev;
            XNextEvent(s.display, &ev);
            s.dispatch(ev);
        }
        s.noticeBrokenConnection();
        // The server drops a grab when the window stops being viewable (the host
        // hid or destroyed it); the editor learns of it here.
        if (s.captured != kNoWindow) {
            const WindowId was = s.captured;
            State::Win* w = s.find(was);
            if (w == nullptr || !s.viewable(*w)) {
                s.captured = kNoWindow;
                if (s.usable())
                    XUngrabPointer(s.display, CurrentTime);
                WindowEvent lost;
                lost.kind = WindowEvent::Kind::CaptureLost;
                s.deliver(was, lost);
            }
        }
    }
    std::vector<WindowId> ids;
    ids.reserve(s.windows.size());
    for (const auto& [id, w] : s.windows)
        ids.push_back(id);
    for (WindowId id : ids) {
        State::Win* w = s.find(id);  // an earlier listener may have destroyed it
        if (w != nullptr && w->gone && !w->goneTold) {
            // Its ticks end here; the editor hears once that the window went.
            w->goneTold = true;
            WindowEvent gone;
            gone.kind = WindowEvent::Kind::Gone;
            w->listener->onWindowEvent(gone);
            continue;
        }
        if (w == nullptr || w->gone || w->interval <= 0)
            continue;
        const int64_t now = nowMs();
        if (now - w->lastTick < w->interval)
            continue;
        w->lastTick = timerGridPoint(w->lastTick, w->interval, now);
        w->listener->onWindowTimer();
    }
    --s.pumping;
    s.closeIfUnused();
}

bool X11WindowSystem::cursorPosition(ScreenPoint& out) const
{
    State& s = *s_;
    if (!s.usable())
        return false;
    Guard guard(s.display);
    ::Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(s.display, DefaultRootWindow(s.display), &root, &child, &rx, &ry, &wx, &wy, &mask))
        return false;
    out = {rx, ry};
    return true;
}

bool X11WindowSystem::windowOrigin(WindowId window, ScreenPoint& out) const
{
    State& s = *s_;
    const State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return false;
    Guard guard(s.display);
    ::Window child = 0;
    int x = 0, y = 0;
    if (!XTranslateCoordinates(s.display, w->xid, DefaultRootWindow(s.display), 0, 0, &x, &y, &child))
        return false;
    out = {x, y};
    return true;
}

bool X11WindowSystem::cursorInWindow(WindowId window, ScreenPoint& out) const
{
    State& s = *s_;
    const State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return false;
    Guard guard(s.display);
    ::Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    // False when the cursor is on another screen: no position in this window.
    if (!XQueryPointer(s.display, w->xid, &root, &child, &rx, &ry, &wx, &wy, &mask))
        return false;
    out = {wx, wy};
    return true;
}

WindowStatus X11WindowSystem::warpCursor(ScreenPoint to)
{
    State& s = *s_;
    if (!s.usable())
        return WindowStatus::NoDisplay;
    Guard guard(s.display);
    XWarpPointer(s.display, None, DefaultRootWindow(s.display), 0, 0, 0, 0, to.x, to.y);
    XFlush(s.display);
    return WindowStatus::Ok;
}

WindowStatus X11WindowSystem::showCursor(WindowId window, bool visible)
{
    State& s = *s_;
    const State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return WindowStatus::NotOpen;
    Guard guard(s.display);
    XDefineCursor(s.display, w->xid, visible ? s.arrow : s.blank);
    if (s.captured == window)
        XChangeActivePointerGrab(
            s.display, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, visible ? None : s.blank, CurrentTime);
    XFlush(s.display);
    return WindowStatus::Ok;
}

ScreenSize X11WindowSystem::screenSize() const
{
    State& s = *s_;
    if (!s.usable())
        return {};
    const int screen = DefaultScreen(s.display);
    return {DisplayWidth(s.display, screen), DisplayHeight(s.display, screen)};
}

uint32_t X11WindowSystem::modifierKeys() const
{
    State& s = *s_;
    if (!s.usable())
        return 0;
    Guard guard(s.display);
    ::Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(s.display, DefaultRootWindow(s.display), &root, &child, &rx, &ry, &wx, &wy, &mask))
        return 0;
    uint32_t bits = 0;
    if ((mask & ControlMask) != 0)
        bits |= kModControl;
    if ((mask & ShiftMask) != 0)
        bits |= kModShift;
    if ((mask & Mod1Mask) != 0)
        bits |= kModAlt;
    return bits;
}

WindowStatus X11WindowSystem::capture(WindowId window)
{
    State& s = *s_;
    const State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return WindowStatus::NotOpen;
    Guard guard(s.display);
    const int r = XGrabPointer(s.display, w->xid, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
        GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (r != GrabSuccess)
        return WindowStatus::Failed;
    s.captured = window;
    return WindowStatus::Ok;
}

WindowStatus X11WindowSystem::releaseCapture()
{
    State& s = *s_;
    if (s.captured != kNoWindow && s.usable()) {
        Guard guard(s.display);
        XUngrabPointer(s.display, CurrentTime);
        XFlush(s.display);
    }
    s.captured = kNoWindow;
    return WindowStatus::Ok;
}

void X11WindowSystem::yieldPointer()
{
    State& s = *s_;
    if (s.usable()) {
        Guard guard(s.display);
        XUngrabPointer(s.display, CurrentTime);
        XFlush(s.display);
    }
    s.captured = kNoWindow;
}

bool X11WindowSystem::hasCapture(WindowId window) const { return window != kNoWindow && s_->captured == window; }

bool X11WindowSystem::isViewable(WindowId window) const
{
    const State::Win* w = s_->find(window);
    return w != nullptr && s_->viewable(*w);
}

WindowStatus X11WindowSystem::focus(WindowId window)
{
    State& s = *s_;
    const State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return WindowStatus::NotOpen;
    // Focus on a window that is not viewable is an X error: asked only when it is.
    if (!s.viewable(*w))
        return WindowStatus::Failed;
    Guard guard(s.display);
    XSetInputFocus(s.display, w->xid, RevertToParent, CurrentTime);
    XFlush(s.display);
    return WindowStatus::Ok;
}

WindowStatus X11WindowSystem::acceptKeys(WindowId window, bool accept)
{
    State& s = *s_;
    State::Win* w = s.find(window);
    if (w == nullptr || w->gone || !s.usable())
        return WindowStatus::NotOpen;
    Guard guard(s.display);
    XSelectInput(s.display, w->xid, kWindowEvents | (accept ? kKeyEvents : 0));
    XFlush(s.display);
    return WindowStatus::Ok;
}

void X11WindowSystem::allowSharedMemory(bool allow) { s_->shmAllowed = allow; }

bool X11WindowSystem::usesSharedMemory(WindowId window) const
{
    const State::Win* w = s_->find(window);
    return w != nullptr && w->shmAttached;
}

bool X11WindowSystem::connected() const { return s_->display != nullptr; }

int X11WindowSystem::caughtErrors() const { return guardState.errors; }

X11WindowSystem& x11WindowSystem()
{
    static X11WindowSystem system;
    return system;
}

}  // namespace platform
