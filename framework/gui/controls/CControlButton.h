#pragma once
#include <cstdint>

#include "framework/gui/controls/CControlTextDisplay.h"

// A picture button whose value is 0 (off) or 1 (on), drawn as one frame of a
// vertical picture strip (frame k lies k x rect height below the source point).
class CControlButton : public CControlTextDisplay {
public:
    enum Mode : int32_t { kToggle = 0, kToggleHeld = 1, kToggleFade = 2, kMomentary = 3 };

    CControlButton(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);

    bool setValue(float v) override;
    void onLeftDown(int32_t x, int32_t y) override;
    void onLeftUp(int32_t x, int32_t y) override;
    void draw(CDrawBuffer* target) override;
    void onTimer() override;

    int32_t mode = kToggle;
    Color onTextColor = Color::rgba(255, 0, 0);
    uint8_t showText = 0;
    float fadeStep = 0.25f;  // of fadePos per tick in mode 2
    uint8_t disabled = 0;  // presses and releases are ignored
    float fadePos = 0.0f;  // 0 shows the off frame, 1 the on frame
    float fadeDir = 0.0f;
    uint8_t pressed = 0;  // mode 1: the mouse is held on the button
};
