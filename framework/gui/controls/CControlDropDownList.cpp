#include "framework/gui/controls/CControlDropDownList.h"

#include <cmath>
#include <cstring>
#include <new>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"

namespace {

Color withAlpha(Color c, uint8_t a)
{
    c.a = a;
    return c;
}

// Copies at most `limit` bytes without splitting a UTF-8 sequence.
void copyCut(char* out, const char* in, size_t limit)
{
    size_t n = strnlen(in, limit + 1);
    if (n > limit) {
        n = limit;
        while (n > 0 && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(out, in, n);
    out[n] = '\0';
}

// int(value) for an item index; -1 when it names none.
int32_t indexOfValue(float v)
{
    if (!(v > -1.0f) || v >= 2147483520.0f)
        return -1;
    return static_cast<int32_t>(v);
}

}  // namespace

CControlDropDownList::CControlDropDownList(int32_t controlId, int32_t x, int32_t y, int32_t w, int32_t h)
    : CControlTextDisplay(controlId, x, y, w, h)
    , listRect {x, y + h + 2, 100, 100}
{
    setColors();
}

CControlDropDownList::~CControlDropDownList()
{
    delete backgroundSave;
    delete listLayer;
    removeAllItems();
}

void CControlDropDownList::destroy() { delete this; }

void CControlDropDownList::setColors()
{
    panelColor = Color::rgba(255, 255, 245, 255);
    hoverColor = Color::rgba(213, 213, 199, 255);
    listTextColor = Color::rgba(66, 66, 60, 255);
    shadowColor = Color::rgba(0, 0, 0, 120);
    frameColor = Color::rgba(0, 0, 0, 220);
    normalFont = 0;
    currentTextColor = Color::rgba(66, 66, 60, 255);
    currentFont = 1;
    disabledTextColor = Color::rgba(120, 120, 110, 255);
    titleTopColor = Color::rgba(180, 180, 161, 255);
    titleBottomColor = Color::rgba(180, 180, 161, 255);
    titleFrameColor = Color::rgba(100, 100, 90, 255);
    titleTextColor = Color::rgba(255, 255, 227, 255);
    titleFont = 1;
    margin = 3;
    maxOpacity = 240;
    trackColor = Color::rgba(66, 66, 60, 255);
    thumbColors[0] = thumbColors[1] = Color::rgba(90, 90, 82, 255);
    thumbDragColors[0] = thumbDragColors[1] = Color::rgba(110, 110, 103, 255);
    scrollBarWidth = 15;
    textAlign = 4;
    lineSpacing = 4;
    shadowHeight = 8;
    shadowWidth = 8;
}

DropDownItem* CControlDropDownList::addItem(const char* itemText, bool isCommand, bool isHighlighted, bool isDisabled)
{
    auto* item = new (std::nothrow) DropDownItem();
    if (item == nullptr)
        return nullptr;
    item->kind = isCommand ? DropDownItem::kCommand : DropDownItem::kNormal;
    item->highlighted = isHighlighted ? 1 : 0;
    item->disabled = isDisabled ? 1 : 0;
    copyCut(item->text, itemText != nullptr && itemText[0] != 0 ? itemText : "<none>", DropDownItem::kMaxText);
    // Appending at the kept tail keeps filling a long list (a big preset
    // folder's program menu) linear. The walk only finds a tail that nothing
    // kept yet.
    if (items == nullptr || lastItem == nullptr) {
        lastItem = items;
        while (lastItem != nullptr && lastItem->next != nullptr)
            lastItem = lastItem->next;
    }
    (lastItem != nullptr ? lastItem->next : items) = item;
    lastItem = item;
    setDirty(true);
    return item;
}

DropDownItem* CControlDropDownList::addTitleItem(const char* itemText)
{
    DropDownItem* item = addItem(itemText, false, false, false);
    if (item != nullptr)
        item->kind = DropDownItem::kTitle;
    return item;
}

void CControlDropDownList::removeAllItems()
{
    while (items != nullptr) {
        DropDownItem* item = items;
        items = item->next;
        delete item;
    }
    lastItem = nullptr;
    hoveredItem = nullptr;
    listDirty = 1;
    setDirty(true);
}

DropDownItem* CControlDropDownList::getItem(int32_t index) const
{
    if (index < 0)
        return nullptr;
    DropDownItem* item = items;
    for (int32_t i = 0; i < index && item != nullptr; ++i)
        item = item->next;
    return item;
}

int32_t CControlDropDownList::getItemCount() const
{
    int32_t n = 0;
    for (const DropDownItem* item = items; item != nullptr; item = item->next)
        ++n;
    return n;
}

int32_t CControlDropDownList::indexOf(const DropDownItem* wanted) const
{
    int32_t i = 0;
    for (const DropDownItem* item = items; item != nullptr; item = item->next, ++i)
        if (item == wanted)
            return i;
    return -1;
}

DropDownItem* CControlDropDownList::currentItem() const { return getItem(indexOfValue(value)); }

int32_t CControlDropDownList::fontOf(const DropDownItem* item, int32_t index) const
{
    if (item->kind == DropDownItem::kTitle)
        return titleFont;
    if (item->highlighted != 0 || (markCurrent != 0 && index == indexOfValue(value)))
        return currentFont;
    return normalFont;
}

Rect CControlDropDownList::getItemRect(int32_t index)
{
    Rect r {margin, index * itemHeight + margin, listRect.w - shadowWidth - 2 * margin, itemHeight};
    if (scrollable != 0) {
        r.w -= scrollBarWidth;
        r.y -= static_cast<int32_t>((contentHeight - visibleHeight) * scrollPos);
    }
    return r;
}

void CControlDropDownList::getScrollRects(Rect* thumb, Rect* track)
{
    const int32_t e = listRect.w - shadowWidth - margin - scrollBarWidth;
    const int32_t a = listRect.h - shadowHeight - 2 * margin;
    if (thumb != nullptr) {
        thumb->x = e + 3;
        thumb->w = scrollBarWidth - 6;
        thumb->h = static_cast<int32_t>((a - 6) * visibleFraction);
        thumb->y = static_cast<int32_t>(margin + 3 + (a - thumb->h - 6) * scrollPos);
    }
    if (track != nullptr)
        *track = Rect {e + 1, margin + 1, scrollBarWidth - 2, a - 2};
}

DropDownItem* CControlDropDownList::getItemAt(int32_t x, int32_t y)
{
    // Only the visible row area counts: rows scrolled out of view lie under
    // the frame or outside the layer.
    const Rect visible {listRect.x + margin, listRect.y + margin, listRect.w, visibleHeight};
    if (!visible.contains(x, y))
        return nullptr;
    int32_t index = 0;
    for (DropDownItem* item = items; item != nullptr; item = item->next, ++index) {
        Rect r = getItemRect(index);
        r.x += listRect.x;
        r.y += listRect.y;
        if (r.contains(x, y) && item->disabled == 0)
            return item;
    }
    return nullptr;
}

void CControlDropDownList::layoutList()
{
    CDrawBuffer* back = getBackBuffer();
    if (items == nullptr || back == nullptr || !back->isValid())
        return;
    const int32_t savedFont = back->getFont();
    const SizeHW size = back->getSize();
    back->setFont(normalFont);
    itemHeight
        = back->drawText("QWERTY", 0, 0, size.width, size.height, CDrawBuffer::AlignCentre, true).height + lineSpacing;
    int32_t widest = 0;
    int32_t count = 0;
    for (DropDownItem* item = items; item != nullptr; item = item->next, ++count) {
        back->setFont(fontOf(item, count));
        const int32_t w
            = back->drawText(item->text, 0, 0, size.width, size.height, CDrawBuffer::AlignCentre, true).width;
        widest = w > widest ? w : widest;
    }
    back->setFont(savedFont);

    const Rect own = rect;
    Rect l;
    l.y = own.y + own.h + 2;
    l.w = widest + 2 * margin + 2 * textIndent + shadowWidth;
    l.h = itemHeight * count + 2 * margin + shadowHeight;
    l.x = own.x + (own.w - l.w) / 2;
    const SizeHW editor = getEditorSize();
    if (l.h > editor.height + shadowHeight)
        l.h = editor.height + shadowHeight;
    if (l.y + l.h > editor.height + shadowHeight)
        l.y = editor.height + shadowHeight - l.h;
    if (l.y < 0)
        l.y = 0;
    listRect = l;

    contentHeight = count * itemHeight;
    visibleHeight = l.h - shadowHeight - 2 * margin;
    scrollPos = 0.0;
    draggingThumb = 0;
    if (contentHeight <= visibleHeight) {
        scrollable = 0;
        visibleFraction = 1.0;
    } else {
        scrollable = 1;
        visibleFraction = static_cast<double>(visibleHeight) / contentHeight;
        listRect.w += scrollBarWidth;
        const int32_t a = visibleHeight;
        const int32_t travel = static_cast<int32_t>((a - 6) * 1.0) - static_cast<int32_t>((a - 6) * visibleFraction);
        // A list squeezed so far that the thumb cannot move does not scroll by drag.
        scrollPerPixel = travel > 0 ? 1.0 / travel : 0.0;
        const int32_t first = scrollToCurrent != 0 ? indexOfValue(value) - 10 : firstVisible;
        setScrollPos(static_cast<double>(first) * itemHeight / (contentHeight - visibleHeight));
    }
    if (listRect.w > editor.width + shadowWidth)
        listRect.w = editor.width + shadowWidth;
    if (listRect.x + listRect.w > editor.width + shadowWidth)
        listRect.x = editor.width + shadowWidth - listRect.w;
    if (listRect.x < 0)
        listRect.x = 0;
}

void CControlDropDownList::setScrollPos(double pos) { scrollPos = pos < 0.0 ? 0.0 : (pos > 1.0 ? 1.0 : pos); }

void CControlDropDownList::open(int32_t x, int32_t y)
{
    setFocus(true);
    layoutList();
    capture(false);
    redraw();
    fade = (fadeStep > 0.0f && fadeStep < 1.0f) ? 0.0f : 1.0f;
    auto* save = new (std::nothrow) CDrawBuffer();
    auto* layer = new (std::nothrow) CDrawBuffer();
    if (save == nullptr || layer == nullptr || !save->create(listRect.h, listRect.w, false)
        || !layer->create(listRect.h, listRect.w, false)) {
        delete save;
        delete layer;
        releaseCapture();
        setFocus(false);
        return;
    }
    backgroundSave = save;
    listLayer = layer;
    closedRect = rect;
    rect = listRect;
    if (CDrawBuffer* back = getBackBuffer()) {
        // The frame leaves the clip at the last control drawn; with it the save
        // would keep only part of the area and show black under the rest.
        back->resetClip();
        back->drawTo(backgroundSave, 0, 0, listRect.w, listRect.h, listRect.x, listRect.y);
    }
    backgroundSave->drawTo(listLayer, 0, 0, listRect.w, listRect.h, 0, 0);
    hoveredItem = getItemAt(x, y);
    listDirty = 1;
    setDirty(true);
}

void CControlDropDownList::close()
{
    releaseCapture();
    setFocus(false);
    delete backgroundSave;
    delete listLayer;
    backgroundSave = nullptr;
    listLayer = nullptr;
    rect = closedRect;
    draggingThumb = 0;
    setEditorDirty();
}

void CControlDropDownList::onLeftDown(int32_t x, int32_t y)
{
    if (items == nullptr)
        return;
    if (!isOpen()) {
        open(x, y);
        return;
    }
    if (scrollable != 0) {
        Rect thumb;
        Rect track;
        getScrollRects(&thumb, &track);
        const int32_t lx = x - listRect.x;
        const int32_t ly = y - listRect.y;
        if (track.contains(lx, ly)) {
            if (thumb.contains(lx, ly)) {
                draggingThumb = 1;
                dragLastX = x;
                dragLastY = y;
                listDirty = 1;
                setDirty(true);
            }
            return;
        }
    }
    close();
    DropDownItem* item = getItemAt(x, y);
    if (item == nullptr)
        return;
    const int32_t index = indexOf(item);
    // The owner may rebuild the items while it handles the change: the item
    // is not touched after the notification.
    if (item->kind == DropDownItem::kNormal) {
        setValue(static_cast<float>(index));
        notifyChanged(true);
    } else if (item->kind == DropDownItem::kCommand) {
        const float shown = value;
        value = static_cast<float>(index);
        notifyChanged(true);
        value = shown;
        setDirty(true);
    }
}

void CControlDropDownList::onLeftUp(int32_t, int32_t)
{
    if (hasCapture() && scrollable != 0 && draggingThumb != 0) {
        draggingThumb = 0;
        listDirty = 1;
        setDirty(true);
    }
}

void CControlDropDownList::onMouseMove(int32_t x, int32_t y)
{
    if (items == nullptr || !hasCapture())
        return;
    if (draggingThumb != 0) {
        if (y == dragLastY)
            return;
        const double before = scrollPos;
        setScrollPos(scrollPos + (y - dragLastY) * scrollPerPixel);
        dragLastX = x;
        dragLastY = y;
        if (scrollPos != before) {
            listDirty = 1;
            setDirty(true);
        }
        return;
    }
    DropDownItem* item = getItemAt(x, y);
    if (item != hoveredItem) {
        hoveredItem = item;
        listDirty = 1;
        setDirty(true);
    }
}

void CControlDropDownList::onWheel(int32_t, int32_t notches)
{
    if (items == nullptr || !hasCapture() || scrollable == 0 || draggingThumb != 0)
        return;
    const double before = scrollPos;
    setScrollPos(scrollPos - notches * 15 * scrollPerPixel);
    if (scrollPos == before)
        return;
    const Point at = getMousePos();
    hoveredItem = getItemAt(at.x, at.y);
    listDirty = 1;
    setDirty(true);
}

void CControlDropDownList::onTimer()
{
    if (!(fadeStep > 0.0f && fadeStep < 1.0f) || !(fade < 1.0f))
        return;
    const float before = fade;
    fade = fade + fadeStep < 1.0f ? fade + fadeStep : 1.0f;
    if (fade != before) {
        listDirty = 1;
        setDirty(true);
    }
}

void CControlDropDownList::cancel()
{
    if (isOpen())
        close();
}

void CControlDropDownList::draw(CDrawBuffer* target)
{
    if (target == nullptr)
        return;
    const bool opened = isOpen();
    const Rect whole = rect;
    if (opened)
        rect = closedRect;
    const int32_t index = indexOfValue(value);
    if (keepOwnText == 0) {
        const DropDownItem* item = getItem(index);
        setText(showItemText == 0 ? "" : (item != nullptr ? item->text : "<none>"));
    }
    const int32_t savedX = pictureX;
    const int32_t savedY = pictureY;
    if (opened && useOpenSource != 0) {
        pictureX = openSourceX;
        pictureY = openSourceY;
    }
    if (useStrip != 0 && index > 0) {
        pictureX += index * stripStepX;
        pictureY += index * stripStepY;
    }
    CControlTextDisplay::draw(target);
    pictureX = savedX;
    pictureY = savedY;
    rect = whole;
    if (!opened)
        return;
    if (listDirty != 0)
        drawList();
    listDirty = 0;
    target->setClip(listRect);
    listLayer->drawTo(target, listRect.x, listRect.y, listRect.w, listRect.h, 0, 0);
}

void CControlDropDownList::drawItem(CDrawBuffer& layer, DropDownItem* item, int32_t index)
{
    const Rect r = getItemRect(index);
    const Rect textBox {r.x + textIndent, r.y, r.w, r.h};
    if (item->kind == DropDownItem::kSeparator) {
        layer.setPenColor(frameColor);
        layer.setLineWidth(1);
        const int32_t y = r.y + r.h / 2;
        layer.drawLine(1.0, y, r.x + r.w - 1, y);
        return;
    }
    if (item->kind == DropDownItem::kTitle) {
        layer.fillGradient(r.x, r.y, r.w, r.h, titleTopColor, titleTopColor, titleBottomColor, titleBottomColor);
        layer.setPenColor(titleFrameColor);
        layer.setLineWidth(1);
        layer.frameRect(r.x, r.y, r.w, r.h);
        layer.setTextColor(titleTextColor);
        layer.setFont(titleFont);
        layer.drawText(item->text, textBox.x, textBox.y, textBox.w, textBox.h, textAlign, false);
        return;
    }
    const bool current = item->highlighted != 0 || (markCurrent != 0 && index == indexOfValue(value));
    if (item == hoveredItem) {
        layer.setFillColor(hoverColor);
        layer.fillRect(r.x, r.y, r.w, r.h);
    }
    layer.setTextColor(item->disabled != 0 ? disabledTextColor : (current ? currentTextColor : listTextColor));
    layer.setFont(current ? currentFont : normalFont);
    layer.drawText(item->text, textBox.x, textBox.y, textBox.w, textBox.h, textAlign, false);
    if (!current)
        return;
    layer.setPenColor(currentTextColor);
    layer.setLineWidth(1);
    const int32_t top = r.y;
    const int32_t bottom = r.y + r.h - 1;
    const int32_t left = r.x + textIndent;
    layer.drawLine(left - 4, top, left - 6, top);
    layer.drawLine(layer.penX, layer.penY, left - 6, bottom);
    layer.drawLine(layer.penX, layer.penY, left - 3, bottom);
    const int32_t right = r.w - textIndent;
    layer.drawLine(right + 4, top, right + 6, top);
    layer.drawLine(layer.penX, layer.penY, right + 6, bottom);
    layer.drawLine(layer.penX, layer.penY, right + 3, bottom);
}

void CControlDropDownList::drawList()
{
    if (items == nullptr || backgroundSave == nullptr || listLayer == nullptr)
        return;
    CDrawBuffer& layer = *listLayer;
    const int32_t w = listRect.w;
    const int32_t h = listRect.h;
    layer.resetClip();
    backgroundSave->drawTo(&layer, 0, 0, w, h, 0, 0);
    drawListFrame();
    layer.setFillColor(panelColor);
    layer.fillRect(0, 0, w - shadowWidth, h - shadowHeight);
    layer.setPenColor(frameColor);
    layer.setLineWidth(margin);
    layer.frameRect(0, 0, w - shadowWidth, h - shadowHeight);
    layer.setClip(Rect {margin, margin, w - shadowWidth, h - shadowHeight - 2 * margin});
    int32_t index = 0;
    for (DropDownItem* item = items; item != nullptr; item = item->next, ++index)
        drawItem(layer, item, index);
    if (scrollable != 0) {
        Rect thumb;
        Rect track;
        getScrollRects(&thumb, &track);
        layer.setPenColor(trackColor);
        layer.setLineWidth(1);
        layer.frameRect(track.x, track.y, track.w, track.h);
        const Color* c = draggingThumb != 0 ? thumbDragColors : thumbColors;
        layer.fillGradient(thumb.x, thumb.y, thumb.w, thumb.h, c[0], c[1], c[1], c[0]);
    }
    layer.resetClip();
    int32_t a = static_cast<int32_t>(static_cast<float>(maxOpacity) * fade);
    a = a < 0 ? 0 : (a > 255 ? 255 : a);
    backgroundSave->drawBlended(&layer, 0, 0, w, h, 0, 0, static_cast<uint8_t>(255 - a));
}

void CControlDropDownList::drawListFrame()
{
    if (listLayer == nullptr || shadowWidth < 1 || shadowHeight < 1)
        return;
    const int32_t sw = shadowWidth;
    const int32_t sh = shadowHeight;
    const int32_t w = listRect.w;
    const int32_t h = listRect.h;
    const Color s1 = withAlpha(shadowColor, 255);
    const Color s0 = withAlpha(shadowColor, 0);
    CDrawBuffer& layer = *listLayer;
    layer.fillGradient(w - sw, 2 * sh, sw, h - 3 * sh, s1, s0, s0, s1);
    layer.fillGradient(2 * sw, h - sh, w - 3 * sw, sh, s1, s1, s0, s0);
    layer.fillGradient(sw, h - sh, sw, sh, s0, s1, s0, s0);
    layer.fillGradient(w - sw, h - sh, sw, sh, s1, s0, s0, s0);
    layer.fillGradient(w - sw, sh, sw, sh, s0, s0, s0, s1);
}
