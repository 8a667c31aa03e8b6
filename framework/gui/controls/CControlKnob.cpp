#include "framework/gui/controls/CControlKnob.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"

namespace {

constexpr double kQuarterTurns3 = 4.71238898038469;
constexpr double kTurn = 6.283185307179586;

Color withAlpha(Color c, uint8_t a)
{
    c.a = a;
    return c;
}

}  // namespace

CControlKnob::CControlKnob(int32_t controlId, int32_t x, int32_t y, int32_t w, int32_t h)
    : CControlNumber(controlId, x, y, w, h)
    , knobRect {x, y, w, h}
    , frameStep(h)
    , radius(static_cast<float>((w < h ? w : h) / 2))
{
    sensitivity = 0.01f;
}

CControlKnob::~CControlKnob() { delete popupBuffer; }

void CControlKnob::destroy() { delete this; }

bool CControlKnob::setValue(float v)
{
    // The first value is shown at once, without a sweep.
    if (!(shownValue > -1.0f))
        shownValue = v;
    return CControlNumber::setValue(v);
}

void CControlKnob::onTimer()
{
    if (!(smoothing >= 0.001f))
        return;
    const float s = shownValue;
    float e = (value - s) * smoothing + s;
    if (std::fabs(e - value) < 0.001f)
        e = value;
    shownValue = e;
    if (e != s)
        setDirty(true);
}

void CControlKnob::onLeftDown(int32_t x, int32_t y)
{
    CControlNumber::onLeftDown(x, y);
    if (popup != 0 && hasCapture())
        buildValuePopup(x, y);
}

void CControlKnob::buildValuePopup(int32_t, int32_t)
{
    CDrawBuffer* back = getBackBuffer();
    if (back == nullptr || !back->isValid())
        return;
    const int32_t savedFont = back->getFont();
    back->setFont(popupFont);
    const SizeHW text = back->drawText("-100.00 %", 0, 0, 200, 200, CDrawBuffer::AlignLeft, true);
    back->setFont(savedFont);
    const int32_t k = popupShadow;
    const int32_t w = text.width + popupPadX + k;
    const int32_t h = text.height + popupPadY + k;
    popupRect = Rect {rect.x + (rect.w - w + k) / 2, rect.y + rect.h + 4, w, h};
    if (popupRect.y + h >= getEditorSize().height - 4)
        popupRect.y = rect.y - h - 4;
    popupBoxRect = Rect {0, 0, w - k, h - k};

    auto* buffer = new (std::nothrow) CDrawBuffer();
    if (buffer == nullptr)
        return;
    if (!buffer->create(h, w, false)) {
        delete buffer;
        return;
    }
    // The frame leaves the clip at the last control drawn; with it the copy
    // would take only part of the area and leave the rest black.
    back->resetClip();
    back->drawTo(buffer, 0, 0, w, h, popupRect.x, popupRect.y);
    const Rect& b = popupBoxRect;
    buffer->fillGradient(b.x, b.y, b.w, b.h, popupTopColor, popupTopColor, popupBottomColor, popupBottomColor);
    buffer->setPenColor(popupFrameColor);
    buffer->setLineWidth(1);
    buffer->setDrawFlags(0);
    buffer->frameRect(b.x, b.y, b.w, b.h);
    if (k > 0) {
        const Color s1 = withAlpha(popupShadowColor, 255);
        const Color s0 = withAlpha(popupShadowColor, 0);
        buffer->fillGradient(w - k, 2 * k, k, h - 3 * k, s1, s0, s0, s1);
        buffer->fillGradient(2 * k, h - k, w - 3 * k, k, s1, s1, s0, s0);
        buffer->fillGradient(k, h - k, k, k, s0, s1, s0, s0);
        buffer->fillGradient(w - k, h - k, k, k, s1, s0, s0, s0);
        buffer->fillGradient(w - k, k, k, k, s0, s0, s0, s1);
    }
    delete popupBuffer;
    popupBuffer = buffer;
}

void CControlKnob::dropValuePopup()
{
    if (popupBuffer == nullptr)
        return;
    delete popupBuffer;
    popupBuffer = nullptr;
    setEditorDirty();
}

void CControlKnob::onLeftUp(int32_t x, int32_t y)
{
    if (springBack != 0 && hasCapture())
        notifyChanged(setValue(getDefaultValue()));
    CControlNumber::onLeftUp(x, y);
    // Also without the capture: a cancelled drag must not leave the popup up.
    dropValuePopup();
}

void CControlKnob::updateValuePopup(CDrawBuffer* target)
{
    if (popupBuffer == nullptr || target == nullptr)
        return;
    char display[512] = {};
    char label[512] = {};
    getDisplay(display);
    getLabel(label);
    display[sizeof display - 1] = '\0';
    label[sizeof label - 1] = '\0';
    char line[1026];
    std::snprintf(line, sizeof line, "%s %s", display, label);
    target->setClip(popupRect);
    popupBuffer->drawTo(target, popupRect.x, popupRect.y, popupRect.w, popupRect.h, 0, 0);
    target->setTextColor(popupTextColor);
    target->setFont(popupFont);
    target->drawText(line, popupRect.x, popupRect.y, popupBoxRect.w, popupBoxRect.h, CDrawBuffer::AlignCentre, false);
    redrawRect(popupRect.x, popupRect.y, popupRect.w, popupRect.h);
}

float CControlKnob::drawnValue() const
{
    float v = value;
    if (steps > 0)
        v = std::trunc(value * static_cast<float>(steps)) / static_cast<float>(steps);
    if (smoothing > 0.0f)
        v = shownValue;
    // A value that is not a number draws as 0: it would pick no frame at all.
    v = !(v >= 0.0f) ? 0.0f : (v > 1.0f ? 1.0f : v);
    if (reverse != 0)
        v = 1.0f - v;
    return v;
}

int32_t CControlKnob::frameIndex() const
{
    const int32_t n = frameCount - 1;
    int32_t i = static_cast<int32_t>(drawnValue() * static_cast<float>(n));
    if (i > n)
        i = n;
    if (i <= 0)
        i = 0;
    return i;
}

void CControlKnob::drawFrames(CDrawBuffer* target, float v)
{
    if (picture == nullptr) {
        const Color savedFill = target->getFillColor();
        target->setFillColor(backColor);
        target->fillRect(rect.x, rect.y, rect.w, rect.h);
        target->setFillColor(savedFill);
        return;
    }
    CBitmap* background = getBackgroundBitmap();
    if (picture->hasAlphaPlane() && background != nullptr)
        drawBitmap(target, background, rect.x, rect.y, rect.w, rect.h, rect.x, rect.y);
    const int32_t n = frameCount - 1;
    const int32_t i = frameIndex();
    const auto srcX = [this](int32_t k) { return vertical != 0 ? pictureX : pictureX + k * frameStep; };
    const auto srcY = [this](int32_t k) { return vertical != 0 ? pictureY + k * frameStep : pictureY; };
    if (crossfade == 0 || frameCount < 2 || i == n) {
        drawBitmap(target, picture, rect.x, rect.y, rect.w, rect.h, srcX(i), srcY(i));
        return;
    }
    const float t = v * static_cast<float>(n) - static_cast<float>(i);
    if (!picture->hasAlphaPlane()) {
        drawBitmapAlpha(target, picture, rect.x, rect.y, rect.w, rect.h, srcX(i), srcY(i), 1.0);
        drawBitmapAlpha(target, picture, rect.x, rect.y, rect.w, rect.h, srcX(i + 1), srcY(i + 1), t);
        return;
    }
    CDrawBuffer blend;
    if (!blend.create(rect.h, rect.w, false))
        return;
    drawBitmap(&blend, background, 0, 0, rect.w, rect.h, rect.x, rect.y);
    drawBitmap(&blend, picture, 0, 0, rect.w, rect.h, srcX(i + 1), srcY(i + 1));
    drawBitmapAlpha(target, picture, rect.x, rect.y, rect.w, rect.h, srcX(i), srcY(i), 1.0);
    blend.drawBlended(
        target, rect.x, rect.y, rect.w, rect.h, 0, 0, static_cast<uint8_t>(static_cast<int32_t>(t * 255.0f)));
}

void CControlKnob::drawPointer(CDrawBuffer* target, double angle)
{
    if (!target->isValid())
        return;
    const double cx = knobRect.x + knobRect.w * 0.5;
    const double cy = knobRect.y + knobRect.h * 0.5;
    const double r = radius;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const auto line = [&](double from, double to) {
        // The pen ends on whole pixels, as drawLine takes them.
        target->drawLine(
            cx + from * c, cy - from * s, static_cast<int32_t>(cx + to * c), static_cast<int32_t>(cy - to * s));
    };
    if (pointerShadow != 0) {
        target->setDrawFlags(0);
        target->setPenColor(shadowColor);
        target->setLineWidth(lineWidth + 2);
        line((r - 1.0) * innerFactor, (r + 2.0) * outerFactor);
    }
    target->setDrawFlags(0);
    target->setPenColor(pointerColor);
    target->setLineWidth(lineWidth);
    line(r * innerFactor, r * outerFactor);
}

void CControlKnob::draw(CDrawBuffer* target)
{
    if (target == nullptr)
        return;
    target->setClip(rect);
    const Color pen = target->getPenColor();
    const Color fill = target->getFillColor();
    const int32_t width = target->getLineWidth();
    const int32_t flags = target->getDrawFlags();
    const float v = drawnValue();
    const double angle = kQuarterTurns3 - (kTurn - sweep) * 0.5 + angleOffset - static_cast<double>(v) * sweep;
    drawFrames(target, v);
    if (pointer != 0)
        drawPointer(target, angle);
    target->setPenColor(pen);
    target->setFillColor(fill);
    target->setLineWidth(width);
    target->setDrawFlags(flags);
    updateValuePopup(target);
}
