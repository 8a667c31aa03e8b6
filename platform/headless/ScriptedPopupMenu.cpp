#include "platform/headless/ScriptedPopupMenu.h"

namespace platform {
namespace {

    class ScriptedRun final : public IPopupRun {
    public:
        ScriptedRun(const PopupRequest& request, int32_t choice, std::shared_ptr<int32_t> live)
            : request_(request)
            , choice_(choice)
            , live_(std::move(live))
        {
            ++*live_;
        }
        ~ScriptedRun() override { --*live_; }
        ScriptedRun(const ScriptedRun&) = delete;
        ScriptedRun& operator=(const ScriptedRun&) = delete;

        PopupAnswer poll() override
        {
            if (answer_.status != PopupStatus::Open || choice_ == ScriptedPopupMenu::kStaysOpen || polls_++ == 0)
                return answer_;
            answer_ = {PopupStatus::Dismissed, 0};
            // Like a real menu, only an enabled item that is not a line can be chosen.
            for (const PopupItem& item : request_.items)
                if (item.id == choice_ && choice_ != 0 && !item.disabled && !item.separator)
                    answer_ = {PopupStatus::Chosen, choice_};
            return answer_;
        }

    private:
        PopupRequest request_;
        int32_t choice_;
        std::shared_ptr<int32_t> live_;
        int32_t polls_ = 0;
        PopupAnswer answer_ {PopupStatus::Open, 0};
    };

}  // namespace

std::unique_ptr<IPopupRun> ScriptedPopupMenu::show(const PopupRequest& request)
{
    requests.push_back(request);
    int32_t choice = 0;
    if (!choices.empty()) {
        choice = choices.front();
        choices.pop_front();
    }
    return std::make_unique<ScriptedRun>(request, choice, live);
}

}  // namespace platform
