#include "effect/editor/CVU_Meter.h"

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"

#include <cmath>

CVU_Meter::CVU_Meter(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h)
    : CControlTextDisplay(id, x, y, w, h)
{
}

void CVU_Meter::setLevel(float x)
{
    if (!std::isfinite(x))
        x = 0.0f;
    float v = x > 0.00001f ? x : 0.00001f;
    v = v < 1.0f ? v : 1.0f;
    if (v > level)
        level = v;
    setDirty(true);
}

void CVU_Meter::draw(CDrawBuffer* target)
{
    if (target == nullptr)
        return;
    target->setClip(rect);
    drawBitmap(target, getBackgroundBitmap(), rect.x, rect.y, rect.w, rect.h, rect.x, rect.y);
    if (level >= 0.0f) {
        const Color saved = target->getFillColor();
        target->setFillColor(level >= 1.0f ? Color::rgba(255, 60, 60) : Color::rgba(255, 255, 0));
        target->fillRect(
            rect.x + 1, rect.y + 1, static_cast<int32_t>(static_cast<float>(rect.w - 2) * level), rect.h - 2);
        target->setFillColor(saved);
    }
    level = -1.0f;
}
