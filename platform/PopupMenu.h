#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A context menu shown at a screen point, in place of the system's popup
// menus. The call returns when the user chose an item or dismissed the menu.
// Everything here runs on the UI thread; nothing throws.
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

class IPopupMenu {
public:
    virtual ~IPopupMenu() = default;
    // Shows the menu and waits for the answer: the chosen item's id, or 0 when
    // the menu was dismissed or could not be shown.
    virtual int32_t track(const PopupRequest& request) = 0;
};

// The process's popup backend: the one installed by setPopupMenu, else the
// default that the module registered, else null (no menu can be shown).
IPopupMenu* popupMenu();
// Installs a backend (tests); null returns to the default. The caller keeps ownership.
void setPopupMenu(IPopupMenu* backend);
void setDefaultPopupMenu(IPopupMenu* backend);

}  // namespace platform
