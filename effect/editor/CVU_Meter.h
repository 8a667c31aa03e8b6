#pragma once

#include "framework/gui/controls/CControlTextDisplay.h"

// A peak meter: a bar growing from the left over the background, yellow, red
// at full scale. It holds the highest level given since its last paint, and
// takes no mouse input. UI thread only.
class CVU_Meter : public CControlTextDisplay {
public:
    CVU_Meter(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);

    // A level that is not a finite number counts as 0.
    void setLevel(float x);

    void draw(CDrawBuffer* target) override;
    void onLeftDown(int32_t, int32_t) override { }
    void onLeftUp(int32_t, int32_t) override { }
    void onMiddleDown(int32_t, int32_t) override { }
    void onMiddleUp(int32_t, int32_t) override { }
    void onRightDown(int32_t, int32_t) override { }
    void onRightUp(int32_t, int32_t) override { }
    void onMouseMove(int32_t, int32_t) override { }
    void onWheel(int32_t, int32_t) override { }
    void onTimer() override { }
    void onHoverChanged() override { }

    float level = -1.0f;  // -1: nothing to draw
};
