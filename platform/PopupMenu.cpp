#include "platform/PopupMenu.h"

#include <atomic>

namespace platform {
namespace {
    std::atomic<IPopupMenu*> installed {nullptr};
    std::atomic<IPopupMenu*> fallback {nullptr};
}

IPopupMenu* popupMenu()
{
    IPopupMenu* backend = installed.load();
    return backend != nullptr ? backend : fallback.load();
}

void setPopupMenu(IPopupMenu* backend) { installed.store(backend); }

void setDefaultPopupMenu(IPopupMenu* backend) { fallback.store(backend); }

}  // namespace platform
