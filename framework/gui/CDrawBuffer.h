#pragma once
#include <cstdint>

#include "framework/gui/CGraphicBuffer.h"
#include "framework/gui/GuiTypes.h"

// The editor's back buffer: a surface with a drawing state, fills, frames,
// gradients, anti-aliased lines and text in the two built-in fonts. All pixel
// arithmetic is integer (blends shift by 8; lines and gradients in 16.16).
class CDrawBuffer : public CGraphicBuffer {
public:
    enum class StrokePass { Coverage, Colour };
    enum TextAlign { AlignLeft = 0, AlignCentre = 2, AlignRight = 3 };
    static constexpr int32_t kMaxTextChars = 1024;

    CDrawBuffer();
    ~CDrawBuffer() override;

    virtual void setPenColor(Color c);
    virtual void setLineWidth(int32_t w);
    virtual void setDrawFlags(int32_t flags);
    virtual Color getPenColor() const;
    virtual int32_t getLineWidth() const;
    virtual int32_t getDrawFlags() const;
    virtual void setFont(int32_t font);
    virtual void setTextColor(Color c);
    virtual int32_t getFont() const;
    virtual Color getTextColor() const;
    virtual void fillRect(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual void fillGradient(
        int32_t x, int32_t y, int32_t w, int32_t h, Color topLeft, Color topRight, Color bottomRight, Color bottomLeft);
    virtual void fillRectOrGradient(int32_t x, int32_t y, int32_t w, int32_t h, const Color* corners);
    virtual void frameRect(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual void setFillColor(Color c);
    virtual Color getFillColor() const;

    // Size (height, width) of the text in the current font; draws it unless measureOnly.
    SizeHW drawText(const char* text, int32_t x, int32_t y, int32_t w, int32_t h, int32_t align, bool measureOnly);
    // Anti-aliased line in the pen colour and width; the pen ends at (toX, toY).
    void drawLine(double fromX, double fromY, int32_t toX, int32_t toY);
    // One-pixel core of a line: a coverage pass over all segments, then a colour pass.
    void strokeSegment(double x0, double y0, double x1, double y1, Color colour, StrokePass pass);

    double penX = 0.0;
    double penY = 0.0;

    // Surfaces currently holding a reference on the font tables.
    static int32_t fontUsers();

protected:
    void initFonts();
    void resetDrawState();

private:
    Color penColor;
    int32_t lineWidth = 1;
    int32_t drawFlags = 0;
    int32_t font = 0;
    Color textColor;
    Color fillColor;
};
