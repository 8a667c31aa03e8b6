#include "framework/gui/controls/CControlTextDisplay.h"

#include <cstring>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CPluginUI.h"
#include "framework/gui/controls/CControlGroup.h"

CControlTextDisplay::CControlTextDisplay(int32_t controlId, int32_t x, int32_t y, int32_t w, int32_t h)
    : rect {x, y, w, h}
    , id(controlId)
    , drawRect {x, y, w, h}
{
    setText("<no info>");
}

bool CControlTextDisplay::isDirty() const { return dirty != 0; }
void CControlTextDisplay::setDirty(bool d) { dirty = d ? 1 : 0; }

bool CControlTextDisplay::setValue(float v)
{
    uint32_t oldBits = 0;
    uint32_t newBits = 0;
    std::memcpy(&oldBits, &value, sizeof oldBits);
    std::memcpy(&newBits, &v, sizeof newBits);
    if (oldBits == newBits)
        return false;
    value = v;
    setDirty(true);
    return true;
}

float CControlTextDisplay::getValue() const { return value; }
void CControlTextDisplay::setRect(int32_t x, int32_t y, int32_t w, int32_t h) { rect = Rect {x, y, w, h}; }
Rect CControlTextDisplay::getRect() const { return rect; }
void CControlTextDisplay::setId(int32_t newId) { id = newId; }
int32_t CControlTextDisplay::getId() const { return id; }

int32_t CControlTextDisplay::notifyChanged(bool changed)
{
    if (group != nullptr && changed)
        group->onControlChanged(this);
    return 0;
}

void CControlTextDisplay::destroy() { delete this; }

CPluginUI* CControlTextDisplay::getEditor() { return group != nullptr ? group->getEditor() : nullptr; }
CControlGroup* CControlTextDisplay::getGroup() { return group; }

CBitmap* CControlTextDisplay::getBackgroundBitmap()
{
    CPluginUI* e = getEditor();
    return e != nullptr ? e->getBackgroundBitmap() : nullptr;
}

CDrawBuffer* CControlTextDisplay::getBackBuffer()
{
    CPluginUI* e = getEditor();
    return e != nullptr ? e->getBackBuffer() : nullptr;
}

SizeHW CControlTextDisplay::getEditorSize()
{
    CPluginUI* e = getEditor();
    return e != nullptr ? e->getEditorSize() : SizeHW {100, 100};
}

void CControlTextDisplay::setEditorDirty()
{
    if (CPluginUI* e = getEditor())
        e->setDirty(true);
}

void CControlTextDisplay::redrawRect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (CPluginUI* e = getEditor())
        e->redrawRect(Rect {x, y, w, h});
}

void CControlTextDisplay::redraw()
{
    CPluginUI* e = getEditor();
    if (e == nullptr)
        return;
    setDirty(true);
    e->drawControl(this);
}

void CControlTextDisplay::setFocus(bool focus)
{
    if (group != nullptr)
        group->setFocusControl(focus ? this : nullptr);
}

void CControlTextDisplay::getLabel(char* out)
{
    if (group != nullptr)
        group->getLabel(this, out);
}

void CControlTextDisplay::getDisplay(char* out)
{
    if (group != nullptr)
        group->getDisplay(this, out);
}

void CControlTextDisplay::getName(char* out)
{
    if (group != nullptr)
        group->getName(this, out);
}

float CControlTextDisplay::getDefaultValue() { return group != nullptr ? group->getDefaultValue(this) : 0.0f; }

void CControlTextDisplay::capture(bool hideCursor)
{
    if (group != nullptr)
        group->setCapture(this, hideCursor);
}

void CControlTextDisplay::releaseCapture()
{
    if (group != nullptr)
        group->releaseCapture();
}

bool CControlTextDisplay::hasCapture()
{
    CPluginUI* e = getEditor();
    return e != nullptr && group->captured == this && e->isMouseCaptured();
}

void CControlTextDisplay::cancel()
{
    onLeftUp(-1, -1);
    onRightUp(-1, -1);
    onMiddleUp(-1, -1);
}

void CControlTextDisplay::endEdit()
{
    if (CPluginUI* e = getEditor())
        e->endEdit(this);
}

void CControlTextDisplay::beginEdit()
{
    if (CPluginUI* e = getEditor())
        e->beginEdit(this);
}

bool CControlTextDisplay::isHovered() const { return hovered; }
bool CControlTextDisplay::isCtrlDown() const { return group != nullptr && (group->lastModifiers & kModifierCtrl) != 0; }
bool CControlTextDisplay::isAltDown() const { return group != nullptr && (group->lastModifiers & kModifierAlt) != 0; }
bool CControlTextDisplay::isShiftDown() const
{
    return group != nullptr && (group->lastModifiers & kModifierShift) != 0;
}

void CControlTextDisplay::onLeftUp(int32_t, int32_t) { }
void CControlTextDisplay::onMiddleDown(int32_t, int32_t) { }
void CControlTextDisplay::onMiddleUp(int32_t, int32_t) { }
void CControlTextDisplay::onRightDown(int32_t, int32_t) { }
void CControlTextDisplay::onRightUp(int32_t, int32_t) { }
void CControlTextDisplay::onMouseMove(int32_t, int32_t) { }
void CControlTextDisplay::onWheel(int32_t, int32_t) { }
void CControlTextDisplay::onTimer() { }
void CControlTextDisplay::onHoverChanged() { setDirty(true); }
bool CControlTextDisplay::onFileDrop(const char*, int32_t, int32_t) { return false; }

Point CControlTextDisplay::getMousePos()
{
    CPluginUI* e = getEditor();
    return e != nullptr ? e->lastMousePos : Point {-1, -1};
}

void CControlTextDisplay::setText(const char* newText)
{
    const size_t n = newText != nullptr ? strnlen(newText, kTextSize - 1) : 0;
    if (n > 0)
        std::memcpy(text, newText, n);
    text[n] = '\0';
    setDirty(true);
}

void CControlTextDisplay::onLeftDown(int32_t, int32_t)
{
    if (clickable != 0)
        notifyChanged(true);
}

void CControlTextDisplay::draw(CDrawBuffer* target)
{
    if (target == nullptr)
        return;
    const Rect& d = drawRect;
    target->setClip(d);
    if (picture == nullptr) {
        const Color savedFill = target->getFillColor();
        target->setFillColor(backColor);
        target->fillRect(d.x, d.y, d.w, d.h);
        target->setFillColor(savedFill);
    } else {
        if (picture->hasAlphaPlane()) {
            if (CBitmap* background = getBackgroundBitmap())
                drawBitmap(target, background, rect.x, rect.y, rect.w, rect.h, rect.x, rect.y);
        }
        drawBitmap(target, picture, d.x, d.y, d.w, d.h, pictureX, pictureY);
    }
    const Color savedText = target->getTextColor();
    const int32_t savedFont = target->getFont();
    Color colour = (hovered != 0 && hoverHighlight != 0) ? hoverTextColor : textColor;
    target->setFont(font);
    if (glow > 0.0f) {
        float a = static_cast<float>(colour.a) / 255.0f * glow * 255.0f;
        a = a < 0.0f ? 0.0f : (a > 255.0f ? 255.0f : a);
        Color halo = colour;
        halo.a = static_cast<uint8_t>(static_cast<int32_t>(a));
        target->setTextColor(halo);
        static constexpr int32_t kOffsets[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& o : kOffsets)
            target->drawText(text, d.x + o[0], d.y + o[1], d.w, d.h, align, false);
    }
    target->setTextColor(colour);
    target->drawText(text, d.x, d.y, d.w, d.h, align, false);
    target->setTextColor(savedText);
    target->setFont(savedFont);
}
