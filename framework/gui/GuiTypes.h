#pragma once
#include <cstdint>

// x, y, width, height; a point lies inside when x <= px < x + width and y <= py < y + height.
struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    bool contains(int32_t px, int32_t py) const
    {
        return px >= x && py >= y && static_cast<int64_t>(px) < static_cast<int64_t>(x) + w
            && static_cast<int64_t>(py) < static_cast<int64_t>(y) + h;
    }
};

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Sizes in the drawing kit go height first.
struct SizeHW {
    int32_t height = 0;
    int32_t width = 0;
};

// Bytes in pixel order: blue, green, red, alpha. Starts as opaque black.
struct Color {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
    uint8_t a = 255;
    static constexpr Color rgba(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
    {
        return Color {blue, green, red, alpha};
    }
    uint32_t packed() const
    {
        return static_cast<uint32_t>(b) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(r) << 16)
            | (static_cast<uint32_t>(a) << 24);
    }
};

// Key of a cached picture; -1 means none.
using BitmapKey = int32_t;
constexpr BitmapKey kNoBitmap = -1;

// Mouse events as the editor hands them to control groups. The wheel carries
// x = 0 and y = the signed number of wheel steps.
enum MouseCode : int32_t {
    kMouseLeftDown = 0,
    kMouseMiddleDown = 1,
    kMouseRightDown = 2,
    kMouseLeftUp = 3,
    kMouseMiddleUp = 4,
    kMouseRightUp = 5,
    kMouseMove = 6,
    kMouseWheel = 7,
};

// Modifier keys held at the time of a mouse event.
using ModifierKeys = uint32_t;
constexpr ModifierKeys kModifierCtrl = 1u << 0;
constexpr ModifierKeys kModifierShift = 1u << 1;
constexpr ModifierKeys kModifierAlt = 1u << 2;

// One row of a drop-down list, in a singly linked list in insertion order (its
// index is its position).
struct DropDownItem {
    enum Kind : uint8_t { kNormal = 0, kCommand = 1, kSeparator = 2, kTitle = 3 };
    static constexpr int32_t kMaxText = 256;
    uint8_t highlighted = 0;  // drawn as the current item
    uint8_t disabled = 0;  // never hovered nor chosen
    uint8_t kind = kNormal;
    char text[kMaxText + 1] = {};
    DropDownItem* next = nullptr;
};
