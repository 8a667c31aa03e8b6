#pragma once
#include <cstdint>
#include <functional>

// Who a dialog belongs to. A dialog program runs while the editor that asked
// for it is in the middle of handling an event; the editor keeps painting by
// having its window's events pumped while the program runs, and the dialog is
// attached to the editor's window where the program supports it.
// UI thread only.
namespace platform {

struct DialogOwner {
    uintptr_t nativeWindow = 0;  // the X11 window to attach dialogs to; 0: none
    std::function<void()> whileWaiting;  // called every few milliseconds while a dialog runs
};

// The owner of dialogs opened now, or null.
const DialogOwner* dialogOwner();

// Makes `owner` the dialogs' owner for the life of the scope (scopes nest).
class DialogOwnerScope {
public:
    explicit DialogOwnerScope(const DialogOwner* owner);
    ~DialogOwnerScope();
    DialogOwnerScope(const DialogOwnerScope&) = delete;
    DialogOwnerScope& operator=(const DialogOwnerScope&) = delete;

private:
    const DialogOwner* previous;
};

}  // namespace platform
