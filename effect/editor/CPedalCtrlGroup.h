#pragma once

#include "framework/gui/controls/CControlButton.h"
#include "framework/gui/controls/CControlGroup.h"

class CBitmap;
class CSynthEditor;

// A box's on/off switch: drawn over the box's face, whose picture shows
// through where the switch's picture is transparent.
class CPedalEnableBtn : public CControlButton {
public:
    CPedalEnableBtn(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);
    void draw(CDrawBuffer* target) override;

    CBitmap* faceBitmap = nullptr;  // not owned
    int32_t faceOffsetX = 0;  // the button's place inside the box
    int32_t faceOffsetY = 0;
};

// The controls of one pedal box (the group's id is the box, 0..4): the face
// picture of its pedal type with its knobs, the on/off switch and its lamp.
// UI thread only.
class CPedalCtrlGroup : public CControlGroup {
public:
    static constexpr int32_t kBoxX0 = 5;
    static constexpr int32_t kBoxStep = 147;
    static constexpr int32_t kBoxY = 67;
    static constexpr int32_t kBoxW = 170;
    static constexpr int32_t kBoxH = 384;
    static constexpr BitmapKey kSwitchKey = 1;
    static constexpr BitmapKey kLampKey = 16;

    // The group of box b on the board.
    CPedalCtrlGroup(CSynthEditor* editor, int32_t box);

    // The face key of a pedal type, -1 for none.
    static BitmapKey faceKeyOf(int32_t type);

    // Face, knobs and switch of a pedal type; a type outside 1..10 gets the
    // switch alone.
    void buildPedalControls(int32_t type);
    void addKnob(int32_t id, int32_t x, int32_t y);
    void addEnableButton(int32_t id, int32_t x, int32_t y);

    void updateValues() override;
    void idle(bool moved, int32_t x, int32_t y) override;
    void onControlChanged(CControl* control) override;

    uint8_t faceDirty = 0;  // paint face and lamp on the next idle
    CBitmap* faceBitmap = nullptr;  // not owned; null for no pedal
    int32_t x;
    int32_t y;
    int32_t width = kBoxW;
    int32_t height = kBoxH;

private:
    float enableValue() const;
    // Face under the lamp, then the lamp, shown at once.
    void repaintLamp(bool on);
    CSynthEditor* synthEditor_;
    void drawLamp(bool on);
    int8_t lampShown_ = -1;  // the lamp as last painted: 0 off, 1 on, -1 not yet
};
