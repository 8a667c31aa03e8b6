#include "platform/headless/ScriptedPopupMenu.h"

namespace platform {

int32_t ScriptedPopupMenu::track(const PopupRequest& request)
{
    requests.push_back(request);
    if (choices.empty())
        return 0;
    const int32_t id = choices.front();
    choices.pop_front();
    // Like a real menu, only an enabled item that is not a line can be chosen.
    for (const PopupItem& item : request.items)
        if (item.id == id && !item.disabled && !item.separator)
            return id;
    return 0;
}

}  // namespace platform
