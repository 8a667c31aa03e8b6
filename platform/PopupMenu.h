#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A context menu shown at a screen point, in place of the system's popup
// menus. A menu runs beside its caller: showing one returns at once, and the
// caller asks on its own ticks whether the user has answered, so the host's
// windows never wait for the user. Everything here runs on the UI thread;
// nothing throws but a failed allocation.
namespace platform {

struct PopupItem {
    std::string text;
    int32_t id = 0;  // returned when chosen; never 0
    bool disabled = false;
    bool checked = false;
    bool separator = false;  // a line, never chosen
};

// The menu opens with its top-left corner at the mouse cursor.
struct PopupRequest {
    uintptr_t owner = 0;  // native handle of the window the menu belongs to
    std::vector<PopupItem> items;
};

enum class PopupStatus {
    Open,  // on the screen, or still coming up; no answer yet
    Chosen,  // id holds the chosen item's id
    Dismissed,  // closed without a choice, or it could not be shown
};

struct PopupAnswer {
    PopupStatus status = PopupStatus::Dismissed;
    int32_t id = 0;
};

// One menu on the screen. Destroying it while it is open takes it away
// unanswered.
class IPopupRun {
public:
    virtual ~IPopupRun() = default;
    // Handles what the user did since the last call, without waiting: Open
    // until the menu closes; from then on its answer, every time.
    virtual PopupAnswer poll() = 0;
};

class IPopupMenu {
public:
    virtual ~IPopupMenu() = default;
    // Puts the menu up and returns before the user answers; null when there is
    // nothing to show. The request is copied.
    virtual std::unique_ptr<IPopupRun> show(const PopupRequest& request) = 0;
};

// The process's popup backend: the one installed by setPopupMenu, else the
// default that the module registered, else null (no menu can be shown).
IPopupMenu* popupMenu();
// Installs a backend (tests); null returns to the default. The caller keeps ownership.
void setPopupMenu(IPopupMenu* backend);
void setDefaultPopupMenu(IPopupMenu* backend);

}  // namespace platform
