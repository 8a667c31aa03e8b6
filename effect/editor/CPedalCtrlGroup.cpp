#include "effect/editor/CPedalCtrlGroup.h"

#include "framework/engine/CSynthesizer.h"
#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CSynthEditor.h"
#include "framework/gui/controls/CControlKnob.h"

#include <new>

namespace {

constexpr int32_t kFirstKnob = 13;
constexpr int32_t kKnobsPerBox = 5;
constexpr int32_t kFirstEnable = 39;
constexpr int32_t kLampX = 75;
constexpr int32_t kLampY = 118;
constexpr int32_t kLampSize = 18;
constexpr int32_t kKnobSize = 22;

}  // namespace

CPedalEnableBtn::CPedalEnableBtn(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h)
    : CControlButton(id, x, y, w, h)
{
}

void CPedalEnableBtn::draw(CDrawBuffer* target)
{
    if (picture == nullptr || target == nullptr)
        return;
    target->setClip(rect);
    const SizeHW size = getEditorSize();
    drawBitmap(target, getBackgroundBitmap(), 0, 0, size.width, size.height, 0, 0);
    if (picture->hasAlphaPlane() && faceBitmap != nullptr)
        drawBitmap(target, faceBitmap, rect.x, rect.y, rect.w, rect.h, faceOffsetX, faceOffsetY);
    if (mode != kToggleHeld)
        return;
    const bool on = value != 0.0f;
    const int32_t frame = on ? (pressed ? 1 : 2) : (pressed ? 3 : 0);
    drawBitmap(target, picture, rect.x, rect.y, rect.w, rect.h, pictureX, pictureY + frame * rect.h);
}

CPedalCtrlGroup::CPedalCtrlGroup(CSynthEditor* editor, int32_t box)
    : CControlGroup(editor, box)
    , x(kBoxX0 + kBoxStep * box)
    , y(kBoxY)
    , synthEditor_(editor)
{
}

BitmapKey CPedalCtrlGroup::faceKeyOf(int32_t type)
{
    // The pictures were numbered before the types: delay and reverb, noise
    // gate and equaliser trade places, and the modulator came last.
    static constexpr BitmapKey kKeys[11] = {kNoBitmap, 2, 3, 4, 5, 7, 6, 9, 8, 10, 13};
    return type >= 1 && type <= 10 ? kKeys[type] : kNoBitmap;
}

void CPedalCtrlGroup::buildPedalControls(int32_t type)
{
    const int32_t p = kFirstKnob + kKnobsPerBox * id;
    faceBitmap = getBitmap(faceKeyOf(type));
    switch (type) {
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
        addKnob(p, x + 42, y + 126);
        addKnob(p + 1, x + 102, y + 126);
        addKnob(p + 2, x + 72, y + 180);
        break;
    case 1:
    case 4:
    case 8:
    case 9:
    case 10:
        addKnob(p, x + 42, y + 126);
        addKnob(p + 1, x + 102, y + 126);
        addKnob(p + 2, x + 42, y + 180);
        addKnob(p + 3, x + 102, y + 180);
        break;
    default: faceBitmap = nullptr; break;
    }
    addEnableButton(kFirstEnable + id, x + 15, y + 257);
    faceDirty = 1;
}

void CPedalCtrlGroup::addKnob(int32_t knobId, int32_t kx, int32_t ky)
{
    auto* knob = new (std::nothrow) CControlKnob(knobId, kx, ky, kKnobSize, kKnobSize);
    if (knob == nullptr)
        return;
    knob->picture = faceBitmap;
    knob->pictureX = kx - x;
    knob->pictureY = ky - y;
    knob->frameCount = 1;
    knob->pointer = 1;
    knob->innerFactor = 0.5f;
    knob->outerFactor = 1.0f;
    knob->pointerColor = Color::rgba(0, 0, 0);
    knob->lineWidth = 3;
    knob->deadBand = 0.1f;
    addControl(knob);
}

void CPedalCtrlGroup::addEnableButton(int32_t buttonId, int32_t bx, int32_t by)
{
    CBitmap* strip = getBitmap(kSwitchKey);
    if (strip == nullptr)
        return;
    auto* button = new (std::nothrow) CPedalEnableBtn(buttonId, bx, by, strip->getWidth(), strip->getHeight() / 4);
    if (button == nullptr)
        return;
    button->picture = strip;
    button->mode = CControlButton::kToggleHeld;
    button->faceBitmap = faceBitmap;
    button->faceOffsetX = bx - x;
    button->faceOffsetY = by - y;
    addControl(button);
}

float CPedalCtrlGroup::enableValue() const
{
    CSynthesizer* engine = synthEditor_ != nullptr ? synthEditor_->engine : nullptr;
    return engine != nullptr ? engine->getParameter(kFirstEnable + id) : 0.0f;
}

void CPedalCtrlGroup::drawLamp(bool on)
{
    CDrawBuffer* buffer = editor != nullptr ? editor->getBackBuffer() : nullptr;
    if (buffer == nullptr)
        return;
    drawBitmap(buffer, getBitmap(kLampKey), x + kLampX, y + kLampY, kLampSize, kLampSize, 0, on ? kLampSize : 0);
}

void CPedalCtrlGroup::updateValues()
{
    faceDirty = 1;
    CControlGroup::updateValues();
}

void CPedalCtrlGroup::idle(bool moved, int32_t cx, int32_t cy)
{
    if (faceDirty != 0 && editor != nullptr && editor->getBackBuffer() != nullptr) {
        CDrawBuffer* buffer = editor->getBackBuffer();
        buffer->setClip(Rect {x, y, width, height});
        drawBitmap(buffer, faceBitmap, x, y, width, height, 0, 0);
        const bool on = enableValue() > 0.5f;
        drawLamp(on);
        lampShown_ = on ? 1 : 0;
        faceDirty = 0;
    } else if (lampShown_ >= 0 && (enableValue() > 0.5f) != (lampShown_ != 0)) {
        // The switch moved without a click (host automation): the lamp follows.
        repaintLamp(enableValue() > 0.5f);
    }
    CControlGroup::idle(moved, cx, cy);
}

void CPedalCtrlGroup::onControlChanged(CControl* control)
{
    CControlGroup::onControlChanged(control);
    if (control == nullptr || control->getId() != kFirstEnable + id || editor == nullptr)
        return;
    repaintLamp(control->getValue() > 0.5f);
}

void CPedalCtrlGroup::repaintLamp(bool on)
{
    CDrawBuffer* buffer = editor != nullptr ? editor->getBackBuffer() : nullptr;
    if (buffer == nullptr)
        return;
    const Rect lamp {x + kLampX, y + kLampY, kLampSize, kLampSize};
    buffer->setClip(lamp);
    drawBitmap(buffer, faceBitmap, x, y, width, height, 0, 0);
    drawLamp(on);
    lampShown_ = on ? 1 : 0;
    editor->redrawRect(lamp);
}
