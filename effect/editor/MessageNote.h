#pragma once

#include "framework/gui/controls/CControlGroup.h"

#include <string>

// A message drawn over the board, where the user is looking, until the next
// press of a mouse button anywhere (which does nothing else). A group without
// controls: while shown it is the active group, so the board's controls do not
// draw over it; a board drawn again whole draws the note again over it.
// UI thread only.
class MessageNote : public CControlGroup {
public:
    explicit MessageNote(CPluginUI* editor);

    void show(const std::string& text);
    bool isShown() const { return shown_; }
    const std::string& text() const { return text_; }

    bool onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code) override;
    void idle(bool moved, int32_t x, int32_t y) override;

private:
    void draw();

    std::string text_;
    bool shown_ = false;
    bool drawn_ = false;
};
