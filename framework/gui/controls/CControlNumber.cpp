#include "framework/gui/controls/CControlNumber.h"

#include "framework/gui/CDrawBuffer.h"

CControlNumber::CControlNumber(int32_t controlId, int32_t x, int32_t y, int32_t w, int32_t h)
    : CControlTextDisplay(controlId, x, y, w, h)
{
}

void CControlNumber::onLeftDown(int32_t x, int32_t y)
{
    beginEdit();
    if (isAltDown()) {
        notifyChanged(setValue(getDefaultValue()));
        endEdit();
        return;
    }
    factor = isCtrlDown() ? fineFactor : 1.0f;
    startX = x;
    startY = y;
    float c = 2.0f * value - 1.0f;
    if (c > 0.0f)
        c = c + deadBand;
    position = c >= 0.0f ? c : c - deadBand;
    firstMove = 1;
    capture(hideCursor != 0);
    setDirty(true);
}

void CControlNumber::onMouseMove(int32_t x, int32_t y)
{
    if (!hasCapture())
        return;
    const int32_t d = horizontal != 0 ? startX - x : y - startY;
    if (d == 0)
        return;
    if (firstMove != 0) {
        if (-deadBand <= position && position <= deadBand)
            position = d < 0 ? deadBand : -deadBand;
        firstMove = 0;
    }
    // The whole displacement since the press: the endless drag keeps counting
    // past the screen edges, and a clamp never moves the origin.
    const float p = position - static_cast<float>(d) * sensitivity * factor;
    float q = 0.0f;
    if (p >= deadBand)
        q = p - deadBand;
    else if (p <= -deadBand)
        q = p + deadBand;
    float v = 0.5f * q + 0.5f;
    v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    if (setValue(v)) {
        notifyChanged(true);
        redraw();
    }
}

void CControlNumber::onLeftUp(int32_t, int32_t)
{
    if (!hasCapture())
        return;
    endEdit();
    releaseCapture();
    setDirty(true);
}

void CControlNumber::onRightDown(int32_t, int32_t)
{
    beginEdit();
    notifyChanged(setValue(getDefaultValue()));
    endEdit();
}

void CControlNumber::draw(CDrawBuffer* target)
{
    if (target == nullptr)
        return;
    target->setClip(rect);
    getDisplay(text);
    const Color back = backColor;
    const Color fore = textColor;
    if (hasCapture()) {
        backColor = dragBackColor;
        textColor = dragTextColor;
    }
    CControlTextDisplay::draw(target);
    backColor = back;
    textColor = fore;
}
