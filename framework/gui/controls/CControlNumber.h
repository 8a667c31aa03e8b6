#pragma once
#include <cstdint>

#include "framework/gui/controls/CControlTextDisplay.h"

// A text control showing its parameter's value text, changed by dragging: the
// press captures the mouse (by default with the cursor hidden, so the frame's
// endless drag never stops at a screen edge), Ctrl at the press makes the drag
// finer, Alt-press and right-press restore the default, and an optional dead
// band holds the value at the centre over a stretch of travel.
class CControlNumber : public CControlTextDisplay {
public:
    CControlNumber(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);

    void onLeftDown(int32_t x, int32_t y) override;
    void onLeftUp(int32_t x, int32_t y) override;
    void onRightDown(int32_t x, int32_t y) override;
    void onMouseMove(int32_t x, int32_t y) override;
    void draw(CDrawBuffer* target) override;

    float sensitivity = 0.005f;  // position units per pixel
    float fineFactor = 0.2f;
    Color dragBackColor = Color::rgba(100, 100, 100);
    Color dragTextColor = Color::rgba(255, 100, 100);
    float deadBand = 0.0f;  // half-width of the centre detent, position units
    uint8_t hideCursor = 1;
    uint8_t horizontal = 0;
    int32_t startX = 0;
    int32_t startY = 0;
    float position = 0.0f;  // drag origin, -1 - deadBand .. 1 + deadBand
    float factor = 1.0f;
    uint8_t firstMove = 0;
};
