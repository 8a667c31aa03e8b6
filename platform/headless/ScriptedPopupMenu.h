#pragma once
#include <deque>
#include <memory>
#include <vector>

#include "platform/PopupMenu.h"

namespace platform {

// A popup backend for tests: every menu stays open for its first poll, as a
// real one does for a while, and answers at the next with the next scripted
// id (0 = dismissed; an empty script dismisses). Records every menu shown.
class ScriptedPopupMenu final : public IPopupMenu {
public:
    // A scripted answer that keeps its menu open until it is taken away.
    static constexpr int32_t kStaysOpen = -1;

    void pushChoice(int32_t id) { choices.push_back(id); }
    std::unique_ptr<IPopupRun> show(const PopupRequest& request) override;
    // Menus shown and not yet destroyed, answered or not.
    int32_t liveMenus() const { return *live; }

    std::vector<PopupRequest> requests;

private:
    std::deque<int32_t> choices;
    // Shared with the runs, which may outlive the backend.
    std::shared_ptr<int32_t> live = std::make_shared<int32_t>(0);
};

}  // namespace platform
