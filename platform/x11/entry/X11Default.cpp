#include "platform/x11/X11PopupMenu.h"
#include "platform/x11/X11WindowSystem.h"

// Compiled into every plug-in module: a module is loaded into a host on X11, so
// the X11 backend and its popup menu are the defaults. Neither opens a
// connection until an editor or a menu needs one.

namespace {
struct InstallDefault {
    InstallDefault()
    {
        platform::setDefaultWindowSystem(&platform::x11WindowSystem());
        platform::setDefaultPopupMenu(&platform::x11PopupMenu());
    }
};
const InstallDefault installDefault;
}  // namespace
