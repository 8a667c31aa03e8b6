#pragma once
#include <cstdint>

#include "framework/gui/controls/CControlTextDisplay.h"

// A text display showing the chosen item; a left click opens a list layer below
// it (a panel with a soft shadow, a frame, one row per item, a scroll bar when
// the rows do not fit, and a fade-in) from which the mouse picks an item. The
// value is the chosen item's index as a whole number, not a 0..1 fraction.
class CControlDropDownList : public CControlTextDisplay {
public:
    CControlDropDownList(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);
    ~CControlDropDownList() override;

    void destroy() override;
    void cancel() override;
    void onLeftDown(int32_t x, int32_t y) override;
    void onLeftUp(int32_t x, int32_t y) override;
    void onMouseMove(int32_t x, int32_t y) override;
    void onWheel(int32_t x, int32_t notches) override;
    void draw(CDrawBuffer* target) override;
    void onTimer() override;
    virtual void drawList();
    virtual void drawListFrame();
    // A row in list-layer coordinates.
    virtual Rect getItemRect(int32_t index);
    virtual void getScrollRects(Rect* thumb, Rect* track);
    // The enabled item whose visible row holds the editor point, or null.
    virtual DropDownItem* getItemAt(int32_t x, int32_t y);
    virtual void layoutList();

    void setColors();
    // Appends an item (a command when isCommand); null or empty text reads
    // "<none>", text past 256 bytes is cut at a character boundary. The owner
    // may set the kind of the returned item (separators, titles).
    DropDownItem* addItem(const char* itemText, bool isCommand, bool isHighlighted, bool isDisabled);
    // Appends a heading row (kind title) that reports nothing when clicked.
    DropDownItem* addTitleItem(const char* itemText);
    void removeAllItems();
    DropDownItem* getItem(int32_t index) const;
    int32_t getItemCount() const;
    bool isOpen() const { return listLayer != nullptr; }

    uint8_t keepOwnText = 0;
    uint8_t showItemText = 1;
    uint8_t markCurrent = 1;
    float fadeStep = 0.3f;  // outside 0 < step < 1 the list shows at once
    int32_t firstVisible = 0;
    uint8_t scrollToCurrent = 1;
    Color panelColor;
    Color hoverColor;
    Color listTextColor;  // the rows' text colour
    Color shadowColor;
    Color frameColor;
    int32_t normalFont = 0;
    Color currentTextColor;
    int32_t currentFont = 1;
    Color disabledTextColor;
    Color titleTopColor;
    Color titleBottomColor;
    Color titleFrameColor;
    Color titleTextColor;
    int32_t titleFont = 1;
    int32_t margin = 3;
    uint8_t maxOpacity = 240;
    Color trackColor;
    Color thumbColors[2];
    Color thumbDragColors[2];
    int32_t scrollBarWidth = 15;
    int32_t textAlign = 4;
    int32_t lineSpacing = 4;
    int32_t openSourceX = 0;
    int32_t openSourceY = 0;
    uint8_t useOpenSource = 0;
    int32_t stripStepX = 0;
    int32_t stripStepY = 0;
    uint8_t useStrip = 0;
    CDrawBuffer* backgroundSave = nullptr;  // what lay under the open list
    CDrawBuffer* listLayer = nullptr;  // where the open list is composed
    DropDownItem* items = nullptr;
    Rect closedRect;
    DropDownItem* hoveredItem = nullptr;
    float fade = 0.0f;
    Rect listRect;  // shadow included, editor coordinates
    int32_t textIndent = 10;
    int32_t shadowHeight = 0;
    int32_t shadowWidth = 0;
    uint8_t listDirty = 0;
    int32_t itemHeight = 10;
    uint8_t scrollable = 0;
    uint8_t draggingThumb = 0;
    double visibleFraction = 1.0;
    double scrollPerPixel = 0.0;
    double scrollPos = 0.0;  // 0..1
    int32_t dragLastX = 0;
    int32_t dragLastY = 0;
    int32_t contentHeight = 0;
    int32_t visibleHeight = 0;

private:
    DropDownItem* lastItem = nullptr;  // the tail of items, where addItem appends

    void open(int32_t x, int32_t y);
    void close();
    int32_t indexOf(const DropDownItem* item) const;
    DropDownItem* currentItem() const;
    int32_t fontOf(const DropDownItem* item, int32_t index) const;
    void drawItem(CDrawBuffer& layer, DropDownItem* item, int32_t index);
    void setScrollPos(double pos);
};
