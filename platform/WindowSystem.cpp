#include "platform/WindowSystem.h"

#include <atomic>

namespace platform {

namespace {
    // Set once by the module's static initialiser or by a test; read on the UI
    // thread. Atomic so that a backend installed on one thread is seen whole on another.
    std::atomic<IWindowSystem*> installed {nullptr};
    std::atomic<IWindowSystem*> fallback {nullptr};
}  // namespace

IWindowSystem* windowSystem()
{
    IWindowSystem* backend = installed.load(std::memory_order_acquire);
    return backend != nullptr ? backend : fallback.load(std::memory_order_acquire);
}

void setWindowSystem(IWindowSystem* backend) { installed.store(backend, std::memory_order_release); }

void setDefaultWindowSystem(IWindowSystem* backend) { fallback.store(backend, std::memory_order_release); }

}  // namespace platform
