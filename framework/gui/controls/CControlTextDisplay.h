#pragma once
#include <cstdint>

#include "framework/gui/controls/CControl.h"

// The common base of the kit's controls: a control with a text drawn over its
// picture or a plain background, in one of the built-in fonts, with an optional
// halo. It reaches the editor only through its owner group: without a group, or
// a group without an editor, the forwarding operations do nothing and answer 0,
// false or null. The owner sets the public fields after construction. UI thread
// only, except setValue, which the editor's parameter update may call from the
// thread that changed the parameter (it only stores the value and the mark).
class CControlTextDisplay : public CControl {
public:
    static constexpr int32_t kTextSize = 1024;

    CControlTextDisplay(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);

    bool isDirty() const override;
    void setDirty(bool d) override;
    // Stores the value and marks the control when its bit pattern differs
    // (0.0 and -0.0 differ); true when it changed.
    bool setValue(float v) override;
    float getValue() const override;
    void setRect(int32_t x, int32_t y, int32_t w, int32_t h) override;
    Rect getRect() const override;
    void setId(int32_t newId) override;
    int32_t getId() const override;
    int32_t notifyChanged(bool changed) override;
    void destroy() override;
    CBitmap* getBackgroundBitmap() override;
    CDrawBuffer* getBackBuffer() override;
    SizeHW getEditorSize() override;
    void setEditorDirty() override;
    void redrawRect(int32_t x, int32_t y, int32_t w, int32_t h) override;
    CPluginUI* getEditor() override;
    CControlGroup* getGroup() override;
    void redraw() override;
    void setFocus(bool focus) override;
    void getLabel(char* out) override;
    void getDisplay(char* out) override;
    void getName(char* out) override;
    float getDefaultValue() override;
    void capture(bool hideCursor) override;
    void releaseCapture() override;
    bool hasCapture() override;
    void cancel() override;
    void endEdit() override;
    void beginEdit() override;
    bool isHovered() const override;
    bool isCtrlDown() const override;
    bool isAltDown() const override;
    bool isShiftDown() const override;
    void onLeftDown(int32_t x, int32_t y) override;
    void onLeftUp(int32_t x, int32_t y) override;
    void onMiddleDown(int32_t x, int32_t y) override;
    void onMiddleUp(int32_t x, int32_t y) override;
    void onRightDown(int32_t x, int32_t y) override;
    void onRightUp(int32_t x, int32_t y) override;
    void onMouseMove(int32_t x, int32_t y) override;
    void onWheel(int32_t x, int32_t steps) override;
    void draw(CDrawBuffer* target) override;
    void onTimer() override;
    void onHoverChanged() override;
    bool onFileDrop(const char* path, int32_t x, int32_t y) override;
    Point getMousePos() override;

    // Copies at most kTextSize - 1 bytes; a null text reads as empty.
    void setText(const char* newText);
    const char* getText() const { return text; }

    Rect rect;  // hit and layout rectangle
    int32_t id = -1;
    float value = 0.0f;
    uint8_t dirty = 1;
    Rect drawRect;  // where the text display draws; setRect leaves it
    int32_t pictureX = 0;
    int32_t pictureY = 0;
    CBitmap* picture = nullptr;  // not owned
    Color backColor;
    Color textColor = Color::rgba(255, 255, 255);
    Color hoverTextColor = Color::rgba(255, 255, 255);
    int32_t font = 0;
    int32_t align = 2;  // 2 centred, 3 right, anything else left
    float glow = 0.0f;  // strength of the one-pixel halo
    uint8_t hoverHighlight = 0;
    uint8_t clickable = 0;  // a left press reports a change
    char text[kTextSize] = {};
};
