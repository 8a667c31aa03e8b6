#pragma once

#include "framework/gui/controls/CControlGroup.h"

// The about page: a group without controls that a left press on the name
// plate opens over the whole board; any left press closes it again. UI
// thread only.
class CAboutPage : public CControlGroup {
public:
    static constexpr BitmapKey kPictureKey = 12;

    explicit CAboutPage(CPluginUI* editor);

    bool onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code) override;
    void idle(bool moved, int32_t x, int32_t y) override;
    void drawAbout();
};
