#pragma once
#include <deque>
#include <vector>

#include "platform/PopupMenu.h"

namespace platform {

// A popup backend for tests: answers each menu with the next scripted id
// (0 = dismissed; an empty script dismisses) and records every menu shown.
class ScriptedPopupMenu final : public IPopupMenu {
public:
    void pushChoice(int32_t id) { choices.push_back(id); }
    int32_t track(const PopupRequest& request) override;

    std::vector<PopupRequest> requests;

private:
    std::deque<int32_t> choices;
};

}  // namespace platform
