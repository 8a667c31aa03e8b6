#include "platform/x11/X11WindowSystem.h"

// Compiled into every plug-in module: a module is loaded into a host on X11, so
// the X11 backend is the default. It opens no connection until an editor needs one.

namespace {
struct InstallDefault {
    InstallDefault() { platform::setDefaultWindowSystem(&platform::x11WindowSystem()); }
};
const InstallDefault installDefault;
}  // namespace
