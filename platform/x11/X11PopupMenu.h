#pragma once
#include <cstddef>

#include "platform/PopupMenu.h"

namespace platform {

// The popup menu of a Linux host's editor: an override-redirect window at the
// cursor, closed by a choice, a press outside it or Escape (Up, Down and Return
// work too). UI thread; show returns once the menu is up, and each poll of the
// run handles the events that have arrived, without waiting.
class X11PopupMenu final : public IPopupMenu {
public:
    // The layout, in window pixels: items stacked from the top margin.
    static constexpr int kMargin = 2;
    static constexpr int kItemHeight = 20;
    static constexpr int kSeparatorHeight = 8;
    static constexpr int kTextLeft = 22;  // room for the check mark
    static constexpr int kTextRight = 16;

    std::unique_ptr<IPopupRun> show(const PopupRequest& request) override;
    // Top of item `index` inside the menu window (index = count gives the end).
    static int32_t itemTop(const PopupRequest& request, size_t index);
};

// The process's one X11 popup menu.
X11PopupMenu& x11PopupMenu();

}  // namespace platform
