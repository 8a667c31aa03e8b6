#include "framework/gui/controls/CControlButton.h"

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"

CControlButton::CControlButton(int32_t controlId, int32_t x, int32_t y, int32_t w, int32_t h)
    : CControlTextDisplay(controlId, x, y, w, h)
{
}

bool CControlButton::setValue(float v)
{
    if (!CControlTextDisplay::setValue(v))
        return false;
    // The fade follows every change, from the mouse, the editor or the host.
    fadeDir = v != 0.0f ? 1.0f : -1.0f;
    return true;
}

void CControlButton::onLeftDown(int32_t, int32_t)
{
    if (disabled != 0)
        return;
    beginEdit();
    if (mode == kMomentary) {
        setValue(1.0f);
        notifyChanged(true);
        capture(false);
        return;
    }
    setValue(value != 0.0f ? 0.0f : 1.0f);
    notifyChanged(true);
    if (mode == kToggleHeld) {
        capture(false);
        pressed = 1;
    } else {
        endEdit();
    }
}

void CControlButton::onLeftUp(int32_t, int32_t)
{
    if (disabled != 0 || !hasCapture())
        return;
    releaseCapture();
    pressed = 0;
    endEdit();
    setDirty(true);
    if (mode == kMomentary) {
        // The release is reported after the edit has ended.
        setValue(0.0f);
        notifyChanged(true);
    }
}

void CControlButton::onTimer()
{
    if (mode != kToggleFade)
        return;
    float p = fadePos + fadeDir * fadeStep;
    p = p < 0.0f ? 0.0f : (p > 1.0f ? 1.0f : p);
    if (p != fadePos)
        setDirty(true);
    fadePos = p;
}

void CControlButton::draw(CDrawBuffer* target)
{
    if (picture == nullptr || target == nullptr)
        return;
    target->setClip(rect);
    if (picture->hasAlphaPlane()) {
        if (CBitmap* background = getBackgroundBitmap())
            drawBitmap(target, background, rect.x, rect.y, rect.w, rect.h, rect.x, rect.y);
    }
    const bool on = value != 0.0f;
    const auto frameAt = [this](int32_t frame) { return pictureY + frame * rect.h; };
    if (mode == kToggleFade) {
        drawBitmapAlpha(target, picture, rect.x, rect.y, rect.w, rect.h, pictureX, frameAt(0), 1.0 - fadePos);
        drawBitmapAlpha(target, picture, rect.x, rect.y, rect.w, rect.h, pictureX, frameAt(1), fadePos);
    } else {
        int32_t frame = on ? 1 : 0;
        if (mode == kToggleHeld)
            frame = on ? (pressed != 0 ? 1 : 2) : (pressed != 0 ? 3 : 0);
        drawBitmap(target, picture, rect.x, rect.y, rect.w, rect.h, pictureX, frameAt(frame));
    }
    if (showText != 0) {
        const Color offColour = textColor;
        if (on)
            textColor = onTextColor;
        CControlTextDisplay::draw(target);
        textColor = offColour;
    }
}
