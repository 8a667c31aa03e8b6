#pragma once
#include <cstdint>

#include "framework/gui/controls/CControlNumber.h"

// A rotary knob with the number's value handling: a frame of a picture strip
// chosen by the value (or a blend of two frames), an optional pointer line with
// an optional shadow, an optional smoothed display of the value, and an
// optional value popup below the knob while it is dragged. It draws no text.
class CControlKnob : public CControlNumber {
public:
    CControlKnob(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);
    ~CControlKnob() override;

    bool setValue(float v) override;
    void destroy() override;
    void onLeftDown(int32_t x, int32_t y) override;
    void onLeftUp(int32_t x, int32_t y) override;
    void draw(CDrawBuffer* target) override;
    void onTimer() override;
    // Draws the popup (when one is shown) and asks the window to show it at once.
    virtual void updateValuePopup(CDrawBuffer* target);

    // The value as drawn: quantised, smoothed, clamped and mirrored as configured.
    float drawnValue() const;
    // The frame of the strip that the drawn value selects.
    int32_t frameIndex() const;

    Rect knobRect;  // the pointer is centred in it
    uint8_t springBack = 0;  // the release returns to the default
    int32_t steps = 0;  // 0 continuous, else the drawn value takes n steps
    uint8_t vertical = 1;  // frames stacked top to bottom, else side by side
    uint8_t reverse = 0;
    uint8_t crossfade = 0;
    int32_t frameCount = 0;
    int32_t frameStep = 0;  // pixels between frames
    float smoothing = 0.0f;  // fraction of the remaining distance per tick
    uint8_t pointer = 0;
    float radius = 0.0f;
    float innerFactor = 0.0f;
    float outerFactor = 1.0f;
    float sweep = 4.712389f;  // radians from value 0 to 1
    Color pointerColor = Color::rgba(255, 0, 0);
    int32_t lineWidth = 1;
    float angleOffset = 0.0f;
    uint8_t pointerShadow = 0;
    Color shadowColor;
    uint8_t popup = 0;
    int32_t popupPadX = 2;
    int32_t popupPadY = 6;
    int32_t popupFont = 0;
    Color popupTextColor;
    Color popupTopColor = Color::rgba(249, 249, 235);
    Color popupBottomColor = Color::rgba(249, 249, 235);
    Color popupFrameColor;
    int32_t popupShadow = 5;
    Color popupShadowColor;
    CDrawBuffer* popupBuffer = nullptr;  // owned; null while no popup is shown
    Rect popupRect;
    Rect popupBoxRect;
    float shownValue = -1.0f;  // -1: not yet set

private:
    void buildValuePopup(int32_t x, int32_t y);
    void dropValuePopup();
    void drawFrames(CDrawBuffer* target, float v);
    void drawPointer(CDrawBuffer* target, double angle);
};
