// Build-time tool: draws the pedal board's pictures with the drawing kit and
// writes them as TGA files into the editor's picture folder; draws Kelbrin's
// icon for the desktop the same way.
//
//   make_skin <output folder> [stamp file]
//   make_skin --preview <picture.tga>   (a whole board composed from the pictures)
//   make_skin --icons <folder> [stamp file]   (the program's icon, PNG, in the
//                                             desktop icon theme's sizes)
//
// The sizes, frame layouts and positions here are the ones the editor expects:
// it cuts frames out of these strips and repaints controls from the background
// at their own position, so moving anything means moving it in the editor too.

#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/GuiTypes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kBoardW = 766;
constexpr int kBoardH = 484;
constexpr int kBoxX0 = 5;
constexpr int kBoxStep = 147;
constexpr int kBoxY = 67;
constexpr int kBoxW = 170;
constexpr int kBoxH = 384;
// The pedal's body inside its 170-pixel box: boxes overlap by 23 pixels, so
// only 147 columns may be opaque; the rest stays transparent.
constexpr int kBodyX = 14;
constexpr int kBodyW = 141;
constexpr int kBodyY = 4;
constexpr int kBodyH = 376;
constexpr int kSwitchX = 15;  // the on/off switch inside a box
constexpr int kSwitchY = 257;
constexpr int kSwitchW = 138;
constexpr int kSwitchH = 96;
constexpr int kLampX = 75;
constexpr int kLampY = 118;
constexpr int kLampSize = 18;
constexpr int kKnobSize = 22;
constexpr int kFaderW = 14;
constexpr int kFaderH = 40;
constexpr int kFaderFrames = 13;
constexpr int kBypassW = 26;
constexpr int kBypassH = 14;
constexpr int kStepW = 9;
constexpr int kStepH = 35;

struct Rgb {
    float r, g, b;
};

Rgb mixRgb(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb scaleRgb(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
float clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }
uint8_t byteOf(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))); }
Color colorOf(Rgb c, uint8_t a = 255) { return Color::rgba(byteOf(c.r), byteOf(c.g), byteOf(c.b), a); }

// Small deterministic noise, so every build draws the same pictures.
float noise(int x, int y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFF) / 65535.0f;
}

// A surface of the drawing kit plus the compositing the pictures need: shapes
// given by a signed distance (negative inside) are blended with soft edges,
// and where the surface has an alpha plane, the alpha builds up as well.
class Canvas {
public:
    Canvas(int w, int h, bool withAlpha)
    {
        buf.create(h, w, withAlpha);
        if (withAlpha)
            std::memset(buf.getAlphaPlane(), 0, static_cast<size_t>(w) * h);
        buf.resetClip();
    }
    int w() const { return buf.getWidth(); }
    int h() const { return buf.getHeight(); }
    bool ok() const { return buf.isValid(); }

    void plot(int x, int y, Rgb c, float cover)
    {
        if (x < 0 || y < 0 || x >= w() || y >= h() || !(cover > 0.0f))
            return;
        const float sa = clamp01(cover);
        auto* p = reinterpret_cast<uint8_t*>(buf.rowOf(y) + x);
        const float dst[3] = {static_cast<float>(p[2]), static_cast<float>(p[1]), static_cast<float>(p[0])};
        const float src[3] = {c.r, c.g, c.b};
        float out[3];
        if (buf.getAlphaPlane() == nullptr) {
            for (int i = 0; i < 3; ++i)
                out[i] = src[i] * sa + dst[i] * (1.0f - sa);
        } else {
            uint8_t& a = buf.getAlphaPlane()[static_cast<int64_t>(h() - 1 - y) * w() + x];
            const float da = a / 255.0f;
            const float oa = sa + da * (1.0f - sa);
            for (int i = 0; i < 3; ++i)
                out[i] = oa > 0.0f ? (src[i] * sa + dst[i] * da * (1.0f - sa)) / oa : 0.0f;
            a = byteOf(oa * 255.0f);
        }
        p[2] = byteOf(out[0]);
        p[1] = byteOf(out[1]);
        p[0] = byteOf(out[2]);
    }

    Rgb at(int x, int y) const
    {
        const uint32_t v = buf.pixelAt(x, y);
        return {static_cast<float>((v >> 16) & 255), static_cast<float>((v >> 8) & 255), static_cast<float>(v & 255)};
    }

    // Fills the pixels of (x0, y0, w, h) whose centres the shape covers; a hard
    // edge gives whole pixels only (for outlines that are drawn again and again
    // over themselves, where soft edges would build up).
    void fill(int x0, int y0, int bw, int bh, const std::function<float(float, float)>& sdf,
        const std::function<Rgb(float, float)>& shade, float opacity = 1.0f, bool hard = false)
    {
        for (int y = std::max(0, y0); y < std::min(h(), y0 + bh); ++y)
            for (int x = std::max(0, x0); x < std::min(w(), x0 + bw); ++x) {
                const float px = x + 0.5f, py = y + 0.5f;
                float cover = clamp01(0.5f - sdf(px, py));
                if (hard)
                    cover = cover >= 0.5f ? 1.0f : 0.0f;
                if (cover > 0.0f)
                    plot(x, y, shade(px, py), cover * opacity);
            }
    }

    CDrawBuffer buf;
};

float circleSdf(float px, float py, float cx, float cy, float r) { return std::hypot(px - cx, py - cy) - r; }

float roundRectSdf(float px, float py, float x, float y, float w, float h, float r)
{
    const float cx = x + w * 0.5f, cy = y + h * 0.5f;
    const float qx = std::fabs(px - cx) - (w * 0.5f - r);
    const float qy = std::fabs(py - cy) - (h * 0.5f - r);
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

float segmentSdf(float px, float py, float ax, float ay, float bx, float by, float halfWidth)
{
    const float dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0.0f ? clamp01(((px - ax) * dx + (py - ay) * dy) / len2) : 0.0f;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy)) - halfWidth;
}

void roundRect(Canvas& c, float x, float y, float w, float h, float r, Rgb colour, float opacity = 1.0f)
{
    c.fill(
        static_cast<int>(x) - 1, static_cast<int>(y) - 1, static_cast<int>(w) + 3, static_cast<int>(h) + 3,
        [=](float px, float py) { return roundRectSdf(px, py, x, y, w, h, r); }, [=](float, float) { return colour; },
        opacity);
}

// A vertical gradient inside a rounded rectangle.
void roundRectGradient(Canvas& c, float x, float y, float w, float h, float r, Rgb top, Rgb bottom, bool hard = false)
{
    c.fill(
        static_cast<int>(x) - 1, static_cast<int>(y) - 1, static_cast<int>(w) + 3, static_cast<int>(h) + 3,
        [=](float px, float py) { return roundRectSdf(px, py, x, y, w, h, r); },
        [=](float, float py) { return mixRgb(top, bottom, clamp01((py - y) / h)); }, 1.0f, hard);
}

void disc(Canvas& c, float cx, float cy, float r, const std::function<Rgb(float, float)>& shade, float opacity = 1.0f)
{
    c.fill(
        static_cast<int>(cx - r) - 2, static_cast<int>(cy - r) - 2, static_cast<int>(2 * r) + 5,
        static_cast<int>(2 * r) + 5, [=](float px, float py) { return circleSdf(px, py, cx, cy, r); }, shade, opacity);
}

void softGlow(Canvas& c, float cx, float cy, float r0, float r1, Rgb colour, float strength)
{
    for (int y = static_cast<int>(cy - r1) - 1; y <= static_cast<int>(cy + r1) + 1; ++y)
        for (int x = static_cast<int>(cx - r1) - 1; x <= static_cast<int>(cx + r1) + 1; ++x) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            if (d < r0 || d > r1)
                continue;
            const float t = 1.0f - (d - r0) / (r1 - r0);
            c.plot(x, y, colour, strength * t * t);
        }
}

void line(Canvas& c, float ax, float ay, float bx, float by, float width, Rgb colour, float opacity = 1.0f)
{
    const float x0 = std::min(ax, bx) - width - 2, y0 = std::min(ay, by) - width - 2;
    c.fill(
        static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::fabs(bx - ax) + 2 * width + 5),
        static_cast<int>(std::fabs(by - ay) + 2 * width + 5),
        [=](float px, float py) { return segmentSdf(px, py, ax, ay, bx, by, width * 0.5f); },
        [=](float, float) { return colour; }, opacity);
}

// Text in one of the built-in fonts, drawn straight by the kit.
void text(
    Canvas& c, const char* s, int x, int y, int w, int h, int font, Rgb colour, int align = CDrawBuffer::AlignCentre)
{
    c.buf.resetClip();
    c.buf.setFont(font);
    c.buf.setTextColor(colorOf(colour));
    c.buf.drawText(s, x, y, w, h, align, false);
}

// Text of the kit's fonts enlarged (a factor below 1 fits it into maxWidth), with smoothed edges, and
// an optional one-pixel drop shadow (for engraved and printed lettering).
void bigText(
    Canvas& c, const char* s, int cx, int top, float scale, int font, Rgb colour, Rgb shadow, float shadowAlpha)
{
    CDrawBuffer scratch;
    if (!scratch.create(16, 400, false))
        return;
    scratch.resetClip();
    scratch.setFillColor(Color::rgba(0, 0, 0));
    scratch.fillRect(0, 0, 400, 16);
    scratch.setFont(font);
    scratch.setTextColor(Color::rgba(255, 255, 255));
    const SizeHW size = scratch.drawText(s, 2, 0, 396, 16, CDrawBuffer::AlignLeft, true);
    scratch.drawText(s, 2, 0, 396, 16, CDrawBuffer::AlignLeft, false);
    const int tw = size.width + 4;
    const int outW = static_cast<int>(tw * scale + 0.5f);
    const int outH = static_cast<int>(16 * scale + 0.5f);
    const int left = cx - outW / 2;
    auto sample = [&](float u, float v) {
        // Bilinear lookup of the scratch's coverage.
        u -= 0.5f;
        v -= 0.5f;
        const int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
        const float fu = u - iu, fv = v - iv;
        auto px = [&](int x, int y) { return (scratch.pixelAt(x, y) >> 16 & 255) / 255.0f; };
        const float a = px(iu, iv) * (1 - fu) + px(iu + 1, iv) * fu;
        const float b = px(iu, iv + 1) * (1 - fu) + px(iu + 1, iv + 1) * fu;
        return a * (1 - fv) + b * fv;
    };
    for (int pass = 0; pass < 2; ++pass) {
        const int off = pass == 0 ? 1 : 0;
        if (pass == 0 && shadowAlpha <= 0.0f)
            continue;
        for (int y = 0; y < outH; ++y)
            for (int x = 0; x < outW; ++x) {
                float cover = sample((x + 0.5f) / scale, (y + 0.5f) / scale);
                // Sharpen the enlarged edge a little.
                cover = clamp01((cover - 0.5f) * 1.8f + 0.5f);
                if (cover <= 0.0f)
                    continue;
                c.plot(left + x + off, top + y + off, pass == 0 ? shadow : colour,
                    pass == 0 ? cover * shadowAlpha : cover);
            }
    }
}

float textWidth(const char* s, int font)
{
    CDrawBuffer scratch;
    if (!scratch.create(16, 400, false))
        return 100.0f;
    scratch.setFont(font);
    return static_cast<float>(scratch.drawText(s, 0, 0, 400, 16, CDrawBuffer::AlignLeft, true).width + 4);
}

bool writeFile(const std::vector<uint8_t>& out, const std::string& path);

bool writeTga(const Canvas& c, const std::string& path)
{
    const bool alpha = c.buf.getAlphaPlane() != nullptr;
    const int w = c.w(), h = c.h();
    std::vector<uint8_t> out;
    out.reserve(18 + static_cast<size_t>(w) * h * 4);
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(w & 255),
        static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h & 255), static_cast<uint8_t>(h >> 8),
        static_cast<uint8_t>(alpha ? 32 : 24), static_cast<uint8_t>(alpha ? 8 : 0)};
    out.insert(out.end(), header, header + 18);
    // Bottom-left origin: the surface's rows already lie bottom-up in memory.
    const uint32_t* pixels = c.buf.getPixels();
    const uint8_t* plane = c.buf.getAlphaPlane();
    for (int64_t i = 0; i < static_cast<int64_t>(w) * h; ++i) {
        out.push_back(static_cast<uint8_t>(pixels[i]));
        out.push_back(static_cast<uint8_t>(pixels[i] >> 8));
        out.push_back(static_cast<uint8_t>(pixels[i] >> 16));
        if (alpha)
            out.push_back(plane[i]);
    }
    return writeFile(out, path);
}

// Written beside the target and renamed, so a build that stops half-way
// never leaves a cut picture the editor would refuse.
bool writeFile(const std::vector<uint8_t>& out, const std::string& path)
{
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "make_skin: cannot write %s: %s\n", temp.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "make_skin: cannot write %s\n", path.c_str());
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// ---- the parts ---------------------------------------------------------

const Rgb kInk {235, 225, 200};  // lettering on the dark board
const Rgb kDimInk {150, 145, 130};
const Rgb kWindow {14, 16, 14};  // display windows behind the lists

// A recessed display window: dark glass with an inner shadow and a light lip.
void displayWindow(Canvas& c, int x, int y, int w, int h)
{
    roundRect(c, x - 2.0f, y - 2.0f, w + 4.0f, h + 4.0f, 3.0f, {70, 70, 66});
    roundRect(c, x - 2.0f, y - 2.0f, w + 4.0f, h + 3.0f, 3.0f, {8, 8, 8});
    roundRect(c, x - 1.0f, y - 1.0f, w + 2.0f, h + 2.0f, 2.0f, kWindow);
    for (int i = 0; i < 3; ++i)
        c.fill(
            x - 1, y - 1 + i, w + 2, 1, [](float, float) { return -1.0f; },
            [](float, float) {
                return Rgb {0, 0, 0};
            },
            0.35f - i * 0.1f);
}

// A knob cap seen from above: light from the top left.
void knobCap(Canvas& c, float cx, float cy, float r, Rgb base, bool skirt)
{
    if (skirt) {
        disc(
            c, cx + 1.5f, cy + 2.0f, r + 2.5f,
            [](float, float) {
                return Rgb {0, 0, 0};
            },
            0.45f);
        disc(c, cx, cy, r + 2.0f, [=](float px, float py) {
            const float t = clamp01(((px - cx) + (py - cy)) / (2.8f * r) + 0.5f);
            return mixRgb(scaleRgb(base, 0.85f), scaleRgb(base, 0.35f), t);
        });
        // Knurled skirt edge.
        for (int k = 0; k < 36; ++k) {
            const float a = k * 6.2831853f / 36.0f;
            line(c, cx + std::cos(a) * (r + 0.3f), cy + std::sin(a) * (r + 0.3f), cx + std::cos(a) * (r + 1.8f),
                cy + std::sin(a) * (r + 1.8f), 0.9f, {0, 0, 0}, 0.25f);
        }
    }
    disc(c, cx, cy, r, [=](float px, float py) {
        const float dx = (px - cx) / r, dy = (py - cy) / r;
        const float lightTerm = clamp01(0.55f - 0.45f * (dx + dy));
        const float spec = std::exp(-((dx + 0.35f) * (dx + 0.35f) + (dy + 0.4f) * (dy + 0.4f)) * 6.0f);
        Rgb col = mixRgb(scaleRgb(base, 0.55f), base, lightTerm * 1.3f);
        return mixRgb(col, {255, 255, 250}, spec * 0.55f);
    });
    // Rim.
    c.fill(
        static_cast<int>(cx - r) - 2, static_cast<int>(cy - r) - 2, static_cast<int>(2 * r) + 5,
        static_cast<int>(2 * r) + 5,
        [=](float px, float py) { return std::fabs(circleSdf(px, py, cx, cy, r - 0.5f)) - 0.5f; },
        [](float, float) {
            return Rgb {0, 0, 0};
        },
        0.35f);
}

// Tick marks of a knob's travel, 225 degrees down to -45.
void knobScale(Canvas& c, float cx, float cy, float r0, float r1, Rgb colour, int ticks)
{
    for (int k = 0; k < ticks; ++k) {
        const float a = 3.9269908f - k * 4.712389f / (ticks - 1);
        const float ca = std::cos(a), sa = -std::sin(a);
        const bool major = k == 0 || k == ticks - 1 || k == ticks / 2;
        line(c, cx + ca * r0, cy + sa * r0, cx + ca * (major ? r1 + 1.5f : r1), cy + sa * (major ? r1 + 1.5f : r1),
            major ? 1.4f : 1.0f, colour, major ? 0.95f : 0.7f);
    }
}

void screw(Canvas& c, float cx, float cy)
{
    disc(
        c, cx + 0.8f, cy + 1.0f, 3.6f,
        [](float, float) {
            return Rgb {0, 0, 0};
        },
        0.5f);
    disc(c, cx, cy, 3.2f, [=](float px, float py) {
        return mixRgb({210, 210, 205}, {90, 90, 88}, clamp01(((px - cx) + (py - cy)) / 6.0f + 0.5f));
    });
    line(c, cx - 2.0f, cy + 1.2f, cx + 2.0f, cy - 1.2f, 1.0f, {40, 40, 40}, 0.9f);
}

// ---- background ----------------------------------------------------------

std::unique_ptr<Canvas> drawBackground()
{
    auto c = std::make_unique<Canvas>(kBoardW, kBoardH, false);
    if (!c->ok())
        return nullptr;
    // Board: dark textured covering with a faint vertical fall-off.
    for (int y = 0; y < kBoardH; ++y)
        for (int x = 0; x < kBoardW; ++x) {
            const float n = noise(x, y, 7) * 0.6f + noise(x / 2, y / 2, 8) * 0.4f;
            const float base = 30.0f + 6.0f * n - 8.0f * (static_cast<float>(y) / kBoardH);
            c->plot(x, y, {base, base * 0.97f, base * 0.93f}, 1.0f);
        }
    // Top control strip: brushed dark metal.
    for (int y = 3; y < 61; ++y)
        for (int x = 3; x < kBoardW - 3; ++x) {
            const float brush = noise(x / 7, y, 3) * 0.5f + noise(x, y, 4) * 0.5f;
            const float v = 62.0f - 18.0f * (y - 3) / 58.0f + 10.0f * brush;
            c->plot(x, y, {v, v, v * 1.03f}, 1.0f);
        }
    c->fill(
        3, 3, kBoardW - 6, 1, [](float, float) { return -1.0f; },
        [](float, float) {
            return Rgb {150, 150, 150};
        },
        0.8f);
    c->fill(
        3, 60, kBoardW - 6, 1, [](float, float) { return -1.0f; },
        [](float, float) {
            return Rgb {0, 0, 0};
        },
        0.9f);
    c->fill(
        3, 61, kBoardW - 6, 3, [](float, float) { return -1.0f; },
        [](float, float) {
            return Rgb {0, 0, 0};
        },
        0.35f);
    // Bottom strip that carries the box type lists.
    for (int y = 452; y < kBoardH - 3; ++y)
        for (int x = 3; x < kBoardW - 3; ++x) {
            const float v = 48.0f - 10.0f * (y - 452) / 29.0f + 8.0f * noise(x / 7, y, 5);
            c->plot(x, y, {v, v, v * 1.03f}, 1.0f);
        }
    c->fill(
        3, 452, kBoardW - 6, 1, [](float, float) { return -1.0f; },
        [](float, float) {
            return Rgb {130, 130, 130};
        },
        0.7f);
    // Outer frame.
    c->buf.resetClip();
    c->buf.setPenColor(Color::rgba(8, 8, 8));
    c->buf.setLineWidth(2);
    c->buf.frameRect(0, 0, kBoardW, kBoardH);
    c->buf.setPenColor(Color::rgba(90, 88, 84));
    c->buf.setLineWidth(1);
    c->buf.frameRect(2, 2, kBoardW - 4, kBoardH - 4);
    for (float sx : {9.0f, kBoardW - 10.0f}) {
        screw(*c, sx, 10.0f);
        screw(*c, sx, kBoardH - 11.0f);
    }

    // Program section: caption between the step buttons, the display below.
    roundRect(*c, 19, 13, 153, 44, 5, {0, 0, 0}, 0.25f);
    text(*c, "PROGRAM", 33, 19, 118, 14, 0, kInk);
    displayWindow(*c, 33, 37, 118, 15);

    // Level knobs with their meters.
    const struct {
        int knobX, meterX;
        const char* name;
    } levels[2] = {{173, 201, "INPUT"}, {262, 290, "OUTPUT"}};
    for (const auto& l : levels) {
        const float cx = l.knobX + 9.0f, cy = 23 + 9.0f;
        knobScale(*c, cx, cy, 11.5f, 13.5f, kDimInk, 7);
        knobCap(*c, cx, cy, 8.6f, {60, 60, 62}, false);
        text(*c, "LEVEL", l.knobX - 6, 46, 30, 12, 0, kDimInk);
        text(*c, l.name, l.meterX, 19, 48, 12, 0, kInk, CDrawBuffer::AlignLeft);
        // Meter well: the bar fills (x + 1, y + 1, up to 46, 11).
        roundRect(*c, l.meterX - 1.0f, 32.0f, 50.0f, 15.0f, 2.0f, {95, 95, 92});
        roundRect(*c, l.meterX - 1.0f, 32.0f, 50.0f, 14.0f, 2.0f, {5, 5, 5});
        c->fill(
            l.meterX, 33, 48, 13, [](float, float) { return -1.0f; },
            [](float, float) {
                return Rgb {16, 18, 16};
            });
        // Scale ticks under the meter; the last quarter is the hot end.
        for (int k = 0; k <= 8; ++k) {
            const int tx = l.meterX + 1 + k * 46 / 8;
            c->fill(
                tx, 48, 1, k % 4 == 0 ? 4 : 2, [](float, float) { return -1.0f; },
                [k](float, float) {
                    return k >= 7 ? Rgb {230, 80, 70} : Rgb {170, 165, 150};
                });
        }
    }

    // Master equaliser: switch, band labels, fader slots with a 0 dB line.
    text(*c, "EQ", 376, 19, 30, 12, 0, kInk);
    const char* const bands[8] = {"125", "250", "500", "1K", "2K", "4K", "8K", "16K"};
    roundRect(*c, 407, 11, 135, 55, 4, {0, 0, 0}, 0.22f);
    for (int i = 0; i < 8; ++i) {
        const int fx = 411 + 16 * i;
        // Every other band is named: the slots are closer than three digits.
        if (i % 2 == 0)
            text(*c, bands[i], fx - 9, 13, 32, 11, 0, kDimInk);
        // 0 dB and end marks beside each slot.
        const int mid = 25 + kFaderH / 2;
        for (int yy : {25 + 5, mid, 25 + kFaderH - 5})
            c->fill(
                fx - 1, yy, 2, 1, [](float, float) { return -1.0f; },
                [=](float, float) {
                    return yy == mid ? Rgb {200, 195, 180} : Rgb {120, 118, 110};
                });
    }

    // Amplifier model.
    text(*c, "AMP MODEL", 542, 19, 67, 12, 0, kInk);
    displayWindow(*c, 542, 34, 67, 15);

    // Name plate, which is also where the about page opens (640..750 x 10..60).
    roundRect(*c, 641, 11, 108, 46, 6, {0, 0, 0}, 0.45f);
    roundRectGradient(*c, 640, 10, 108, 46, 6, {92, 86, 74}, {40, 37, 32});
    roundRect(*c, 643, 13, 102, 40, 4, {20, 19, 17}, 0.55f);
    bigText(*c, "TAMBRELL", 694, 15, 2, 1, {236, 196, 96}, {0, 0, 0}, 0.8f);
    text(*c, "GUITAR MULTI-EFFECT", 643, 40, 102, 12, 0, {190, 180, 160});

    // Pedal bays: each box's resting place, seen where no pedal stands.
    for (int b = 0; b < 5; ++b) {
        const float bx = static_cast<float>(kBoxX0 + kBoxStep * b + kBodyX);
        const float by = static_cast<float>(kBoxY + kBodyY);
        c->fill(
            static_cast<int>(bx) - 2, static_cast<int>(by) - 2, kBodyW + 4, kBodyH + 4,
            [=](float px, float py) { return roundRectSdf(px, py, bx, by, kBodyW, kBodyH, 10.0f); },
            [](float, float) {
                return Rgb {20, 20, 19};
            },
            0.8f);
        c->fill(
            static_cast<int>(bx) - 2, static_cast<int>(by) - 2, kBodyW + 4, kBodyH + 4,
            [=](float px, float py) { return std::fabs(roundRectSdf(px, py, bx, by, kBodyW, kBodyH, 10.0f)) - 0.6f; },
            [=](float, float py) {
                return py < by + kBodyH * 0.5f ? Rgb {0, 0, 0} : Rgb {70, 68, 64};
            },
            0.8f);
        char slot[16];
        std::snprintf(slot, sizeof slot, "BOX %d", b + 1);
        text(*c, slot, static_cast<int>(bx), static_cast<int>(by) + 170, kBodyW, 16, 1, {58, 56, 52});
        // Type list window at the foot of the box.
        displayWindow(*c, 25 + kBoxStep * b, 455, 125, 14);
    }
    return c;
}

// ---- pedal faces -----------------------------------------------------------

struct Pedal {
    const char* file;
    const char* name;
    Rgb colour;
    int knobs;
    const char* labels[4];
};

const Pedal kPedals[10] = {
    {"pedal_dist_model_a.tga", "DISTORTION", {226, 112, 24}, 4, {"DRIVE", "BODY", "RESO", "TONE"}},
    {"pedal_chorus.tga", "CHORUS", {36, 160, 168}, 3, {"DEPTH", "RATE", "LEVEL", ""}},
    {"pedal_flanger.tga", "FLANGER", {118, 66, 160}, 3, {"DELAY", "SWEEP", "LEVEL", ""}},
    {"pedal_phaser.tga", "PHASER", {64, 148, 58}, 4, {"RATE", "BASE", "DEPTH", "MIX"}},
    {"pedal_reverb.tga", "REVERB", {40, 78, 168}, 3, {"DECAY", "DAMP", "MIX", ""}},
    {"pedal_delay.tga", "DELAY", {206, 184, 120}, 3, {"TIME", "REPEAT", "LEVEL", ""}},
    {"pedal_noisegate.tga", "NOISE GATE", {58, 60, 66}, 3, {"OPEN", "CLOSE", "THRESH", ""}},
    {"pedal_eq.tga", "EQUALIZER", {188, 190, 196}, 4, {"LOW", "LO-MID", "HI-MID", "HIGH"}},
    {"pedal_compressor.tga", "COMPRESSOR", {178, 32, 38}, 4, {"THRESH", "RATIO", "ATTACK", "RELEASE"}},
    {"pedal_modulator.tga", "MODULATOR", {196, 60, 128}, 4, {"VIBRATO", "TREMOLO", "PAN", "RATE"}},
};

bool isLight(Rgb c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b > 140.0f; }

std::unique_ptr<Canvas> drawFace(const Pedal& p)
{
    auto c = std::make_unique<Canvas>(kBoxW, kBoxH, true);
    if (!c->ok())
        return nullptr;
    const float x = kBodyX, y = kBodyY, w = kBodyW, h = kBodyH;
    const Rgb base = p.colour;
    const Rgb ink = isLight(base) ? Rgb {24, 22, 20} : Rgb {245, 240, 228};
    // Enamelled body; a hard outline, because the editor paints the face again
    // over itself and soft edges would darken with every paint.
    roundRectGradient(*c, x, y, w, h, 10.0f, mixRgb(base, {255, 255, 255}, 0.22f), scaleRgb(base, 0.62f), true);
    // Inner bevel: light top-left edge, dark lower-right.
    c->fill(
        static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h),
        [=](float px, float py) { return std::fabs(roundRectSdf(px, py, x + 1, y + 1, w - 2, h - 2, 9.0f)) - 0.7f; },
        [=](float px, float py) {
            return (px - x) / w + (py - y) / h < 1.0f ? mixRgb(base, {255, 255, 255}, 0.6f) : scaleRgb(base, 0.35f);
        },
        0.8f);
    c->fill(
        static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h),
        [=](float px, float py) { return std::fabs(roundRectSdf(px, py, x, y, w, h, 10.0f) + 0.5f) - 0.5f; },
        [](float, float) {
            return Rgb {0, 0, 0};
        },
        0.85f);
    // Fine sparkle in the enamel.
    for (int yy = static_cast<int>(y) + 3; yy < static_cast<int>(y + h) - 3; ++yy)
        for (int xx = static_cast<int>(x) + 3; xx < static_cast<int>(x + w) - 3; ++xx) {
            const float n = noise(xx, yy, 11);
            if (n > 0.985f)
                c->plot(xx, yy, {255, 255, 255}, 0.18f);
        }
    for (float sx : {x + 8.0f, x + w - 8.0f}) {
        screw(*c, sx, y + 8.0f);
        screw(*c, sx, y + h - 8.0f);
    }

    // Name: a printed band near the top.
    const float cx = x + w * 0.5f;
    roundRect(*c, x + 10, y + 18, w - 20, 40, 5, scaleRgb(base, 0.45f), 0.55f);
    // Short names twice the font's size, long ones as large as the band allows.
    const float scale = std::min(2.0f, 112.0f / textWidth(p.name, 1));
    bigText(*c, p.name, static_cast<int>(cx), static_cast<int>(y + 38 - 8 * scale), scale, 1, ink, {0, 0, 0}, 0.35f);
    line(*c, x + 22, y + 66, x + w - 22, y + 66, 1.2f, ink, 0.55f);
    text(*c, "TAMBRELL", static_cast<int>(x), static_cast<int>(y) + 70, static_cast<int>(w), 12, 0, ink);

    // Knobs: the editor draws a black pointer over each 22 x 22 square.
    const int pos3[3][2] = {{42, 126}, {102, 126}, {72, 180}};
    const int pos4[4][2] = {{42, 126}, {102, 126}, {42, 180}, {102, 180}};
    for (int k = 0; k < p.knobs; ++k) {
        const int kx = p.knobs == 3 ? pos3[k][0] : pos4[k][0];
        const int ky = p.knobs == 3 ? pos3[k][1] : pos4[k][1];
        const float kcx = kx + kKnobSize * 0.5f, kcy = ky + kKnobSize * 0.5f;
        knobScale(*c, kcx, kcy, 14.0f, 16.5f, ink, 11);
        knobCap(*c, kcx, kcy, 10.6f, {236, 232, 220}, true);
        text(*c, p.labels[k], kx - 14, ky + kKnobSize + 6, kKnobSize + 28, 11, 0, ink);
    }

    // Lamp bezel; the lamp itself is its own picture.
    const float lx = kLampX + kLampSize * 0.5f, ly = kLampY + kLampSize * 0.5f;
    disc(*c, lx, ly, 10.5f, [=](float px, float py) {
        return mixRgb({225, 225, 220}, {70, 70, 70}, clamp01(((px - lx) + (py - ly)) / 20.0f + 0.5f));
    });
    disc(*c, lx, ly, 8.6f, [](float, float) { return Rgb {20, 10, 10}; });

    // Footswitch recess.
    roundRect(*c, kSwitchX - 2.0f, kSwitchY - 2.0f, kSwitchW + 4.0f, kSwitchH + 4.0f, 8.0f, scaleRgb(base, 0.3f), 0.8f);
    text(*c, "ON / OFF", static_cast<int>(x), kSwitchY + kSwitchH + 4, static_cast<int>(w), 12, 0, ink);
    // Whole pixels only along the outline (the soft outer half of the rim goes).
    uint8_t* plane = c->buf.getAlphaPlane();
    for (int64_t i = 0; i < static_cast<int64_t>(kBoxW) * kBoxH; ++i)
        plane[i] = plane[i] >= 128 ? 255 : 0;
    return c;
}

// ---- switches, lamp, faders, buttons ---------------------------------------

// The box on/off footswitch: 4 frames, off, on held, on, off held.
std::unique_ptr<Canvas> drawFootswitch()
{
    auto c = std::make_unique<Canvas>(kSwitchW, kSwitchH * 4, true);
    if (!c->ok())
        return nullptr;
    for (int f = 0; f < 4; ++f) {
        const float oy = static_cast<float>(f * kSwitchH);
        const bool held = f == 1 || f == 3;
        // Rubber plate.
        roundRectGradient(*c, 1, oy + 1, kSwitchW - 2.0f, kSwitchH - 2.0f, 8.0f, {50, 50, 50}, {20, 20, 20});
        for (int yy = 4; yy < kSwitchH - 4; yy += 4)
            c->fill(
                8, static_cast<int>(oy) + yy, kSwitchW - 16, 1, [](float, float) { return -1.0f; },
                [](float, float) {
                    return Rgb {0, 0, 0};
                },
                0.35f);
        c->fill(
            0, static_cast<int>(oy), kSwitchW, kSwitchH,
            [=](float px, float py) {
                return std::fabs(roundRectSdf(px, py, 1.5f, oy + 1.5f, kSwitchW - 3.0f, kSwitchH - 3.0f, 7.5f)) - 0.5f;
            },
            [=](float, float py) {
                return py < oy + kSwitchH * 0.5f ? Rgb {110, 110, 108} : Rgb {0, 0, 0};
            },
            0.8f);
        // Chrome stomp button; held, it sinks and darkens.
        const float bx = kSwitchW * 0.5f, by = oy + kSwitchH * 0.5f + (held ? 1.5f : 0.0f);
        disc(
            *c, bx + 1.5f, by + (held ? 1.0f : 3.0f), 21.0f,
            [](float, float) {
                return Rgb {0, 0, 0};
            },
            0.55f);
        disc(*c, bx, by, 20.0f, [=](float px, float py) {
            return mixRgb({200, 200, 198}, {60, 60, 62}, clamp01(((px - bx) + (py - by)) / 40.0f + 0.5f));
        });
        const float shade = held ? 0.78f : 1.0f;
        disc(*c, bx, by, 15.0f, [=](float px, float py) {
            const float dx = (px - bx) / 15.0f, dy = (py - by) / 15.0f;
            const float spec = std::exp(-((dx + 0.3f) * (dx + 0.3f) + (dy + 0.35f) * (dy + 0.35f)) * 4.0f);
            return scaleRgb(
                mixRgb({120, 120, 122}, {245, 245, 240}, clamp01(0.4f - 0.4f * (dx + dy) + spec * 0.6f)), shade);
        });
    }
    return c;
}

// Lamp: 18 x 18, off above on.
std::unique_ptr<Canvas> drawLamp()
{
    auto c = std::make_unique<Canvas>(kLampSize, kLampSize * 2, true);
    if (!c->ok())
        return nullptr;
    for (int f = 0; f < 2; ++f) {
        const bool on = f == 1;
        const float cx = 9.0f, cy = 9.0f + 18.0f * f;
        if (on)
            softGlow(*c, cx, cy, 5.0f, 9.0f, {255, 60, 40}, 0.75f);
        disc(*c, cx, cy, 6.5f, [=](float px, float py) {
            const float d = std::hypot(px - cx, py - cy) / 6.5f;
            return on ? mixRgb({255, 236, 200}, {230, 30, 20}, clamp01(d * 1.3f)) : mixRgb({90, 24, 20}, {40, 8, 8}, d);
        });
        disc(
            *c, cx - 2.0f, cy - 2.2f, 1.8f,
            [](float, float) {
                return Rgb {255, 255, 255};
            },
            on ? 0.8f : 0.35f);
    }
    return c;
}

// Equaliser fader: 13 frames side by side, the cap at the bottom in frame 0.
std::unique_ptr<Canvas> drawFader()
{
    auto c = std::make_unique<Canvas>(kFaderW * kFaderFrames, kFaderH, true);
    if (!c->ok())
        return nullptr;
    for (int f = 0; f < kFaderFrames; ++f) {
        const float ox = static_cast<float>(f * kFaderW);
        const float mid = ox + kFaderW * 0.5f;
        roundRect(*c, mid - 2.0f, 3.0f, 4.0f, kFaderH - 6.0f, 2.0f, {0, 0, 0});
        roundRect(*c, mid - 1.0f, 4.0f, 2.0f, kFaderH - 8.0f, 1.0f, {70, 70, 70});
        const float top = 5.0f, bottom = kFaderH - 5.0f;
        const float capY = bottom - (bottom - top) * f / (kFaderFrames - 1);
        roundRect(*c, ox + 1.0f, capY - 3.0f, kFaderW - 2.0f, 8.0f, 2.0f, {0, 0, 0}, 0.55f);
        roundRectGradient(*c, ox + 1.0f, capY - 4.0f, kFaderW - 2.0f, 8.0f, 2.0f, {235, 232, 222}, {120, 118, 110});
        line(*c, ox + 3.0f, capY, ox + kFaderW - 3.0f, capY, 1.0f, {20, 20, 20}, 0.9f);
    }
    return c;
}

// Equaliser switch: off above on.
std::unique_ptr<Canvas> drawBypass()
{
    auto c = std::make_unique<Canvas>(kBypassW, kBypassH * 2, true);
    if (!c->ok())
        return nullptr;
    for (int f = 0; f < 2; ++f) {
        const bool on = f == 1;
        const float oy = static_cast<float>(f * kBypassH);
        roundRectGradient(*c, 0.5f, oy + 0.5f, kBypassW - 1.0f, kBypassH - 1.0f, 3.0f, {90, 90, 88}, {30, 30, 30});
        const float lx = 7.0f, ly = oy + kBypassH * 0.5f;
        if (on)
            softGlow(*c, lx, ly, 2.5f, 5.5f, {90, 255, 90}, 0.6f);
        disc(*c, lx, ly, 3.0f, [=](float, float) { return on ? Rgb {150, 255, 130} : Rgb {20, 60, 20}; });
        text(*c, "ON", 12, static_cast<int>(oy) + 1, 13, kBypassH - 2, 0,
            on ? Rgb {240, 240, 220} : Rgb {120, 118, 110});
    }
    return c;
}

// Previous and next program: 4 frames stacked, held frames sunk.
std::unique_ptr<Canvas> drawStepButton(bool next)
{
    auto c = std::make_unique<Canvas>(kStepW, kStepH * 4, true);
    if (!c->ok())
        return nullptr;
    for (int f = 0; f < 4; ++f) {
        const bool held = f == 1 || f == 3;
        const float oy = static_cast<float>(f * kStepH);
        roundRectGradient(*c, 0.5f, oy + 0.5f, kStepW - 1.0f, kStepH - 1.0f, 2.5f,
            held ? Rgb {40, 40, 40} : Rgb {120, 118, 112}, held ? Rgb {70, 70, 68} : Rgb {45, 45, 44});
        const float ax = kStepW * 0.5f, ay = oy + kStepH * 0.5f + (held ? 1.0f : 0.0f);
        const float dir = next ? 1.0f : -1.0f;
        c->fill(
            0, static_cast<int>(oy), kStepW, kStepH,
            [=](float px, float py) {
                // A small triangle pointing left or right.
                const float u = (px - ax) * dir, v = std::fabs(py - ay);
                return std::max(u - 2.5f, v - (2.5f - u) * 0.9f) - 0.2f;
            },
            [=](float, float) {
                return held ? Rgb {236, 196, 96} : kInk;
            });
    }
    return c;
}

// ---- about page --------------------------------------------------------------

std::unique_ptr<Canvas> drawAbout()
{
    auto c = std::make_unique<Canvas>(kBoardW, kBoardH, false);
    if (!c->ok())
        return nullptr;
    for (int y = 0; y < kBoardH; ++y)
        for (int x = 0; x < kBoardW; ++x) {
            const float d = std::hypot((x - 383.0f) / 383.0f, (y - 200.0f) / 300.0f);
            const float v = 44.0f - 26.0f * clamp01(d) + 3.0f * noise(x, y, 21);
            c->plot(x, y, {v, v * 0.96f, v * 0.9f}, 1.0f);
        }
    c->buf.resetClip();
    c->buf.setPenColor(Color::rgba(8, 8, 8));
    c->buf.setLineWidth(2);
    c->buf.frameRect(0, 0, kBoardW, kBoardH);
    roundRect(*c, 156, 70, 460, 300, 14, {0, 0, 0}, 0.35f);
    roundRectGradient(*c, 153, 66, 460, 300, 14, {62, 58, 50}, {28, 26, 23});
    bigText(*c, "TAMBRELL", 380, 96, 4, 1, {236, 196, 96}, {0, 0, 0}, 0.8f);
    text(*c, "GUITAR MULTI-EFFECT", 180, 160, 400, 16, 1, {220, 212, 190});
    line(*c, 250, 186, 510, 186, 1.0f, {236, 196, 96}, 0.6f);
    const char* const lines[] = {"Five pedal boxes, ten pedal types,", "five amplifier models and an eight-band",
        "master equaliser.", "", "by Ostravelin"};
    int ly = 198;
    for (const char* l : lines) {
        text(*c, l, 180, ly, 400, 14, 0, {200, 194, 178});
        ly += 16;
    }
    // The version text is written by the editor into the plain area at
    // (400, 302, 201, 18), left-aligned, in grey: keep it flat and dark.
    text(*c, "VERSION", 300, 302, 92, 18, 0, {200, 194, 178}, CDrawBuffer::AlignRight);
    c->fill(
        400, 302, 201, 18, [](float, float) { return -1.0f; },
        [](float, float) {
            return Rgb {22, 21, 19};
        });
    text(*c, "Click anywhere to return to the board", 180, 340, 400, 14, 0, {150, 144, 128});
    return c;
}

// ---- the program's icon -------------------------------------------------------

// The desktop's icon for the program: a pedal seen from above, drawn for one
// size (n x n) at a time so that small sizes stay sharp.
std::unique_ptr<Canvas> drawIcon(int n)
{
    auto c = std::make_unique<Canvas>(n, n, true);
    if (!c->ok())
        return nullptr;
    const float s = n / 64.0f;
    const Rgb body = kPedals[0].colour;
    const float x = 10 * s, y = 3 * s, w = 44 * s, h = 58 * s;
    roundRect(*c, x + 1.5f * s, y + 2 * s, w, h, 7 * s, {0, 0, 0}, 0.4f);
    roundRectGradient(*c, x, y, w, h, 7 * s, mixRgb(body, {255, 255, 255}, 0.25f), scaleRgb(body, 0.6f));
    c->fill(
        0, 0, n, n, [=](float px, float py) { return std::fabs(roundRectSdf(px, py, x, y, w, h, 7 * s)) - 0.5f; },
        [](float, float) {
            return Rgb {0, 0, 0};
        },
        0.6f);
    // One knob with its pointer, the lamp and the footswitch.
    const float kx = 32 * s, ky = 20 * s, kr = 9 * s;
    knobCap(*c, kx, ky, kr, {236, 232, 220}, n >= 32);
    line(*c, kx, ky, kx - 0.55f * kr, ky - 0.75f * kr, std::max(1.0f, 2.2f * s), {20, 20, 20});
    disc(*c, 32 * s, 35 * s, 3 * s, [](float, float) { return Rgb {255, 70, 40}; });
    roundRectGradient(*c, 17 * s, 42 * s, 30 * s, 14 * s, 3 * s, {90, 90, 88}, {30, 30, 30});
    return c;
}

uint32_t crc32Of(const uint8_t* bytes, size_t n, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void pngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32Of(out.data() + start, out.size() - start));
}

// A PNG of 8-bit RGBA rows, without filtering, in a zlib stream of stored
// (uncompressed) blocks: the icons are small, and no encoder is needed.
bool writePng(const Canvas& c, const std::string& path)
{
    const int w = c.w(), h = c.h();
    const uint8_t* plane = c.buf.getAlphaPlane();
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(h) * (1 + 4 * static_cast<size_t>(w)));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // filter type: none
        for (int x = 0; x < w; ++x) {
            const uint32_t v = c.buf.pixelAt(x, y);
            raw.push_back(static_cast<uint8_t>(v >> 16));
            raw.push_back(static_cast<uint8_t>(v >> 8));
            raw.push_back(static_cast<uint8_t>(v));
            raw.push_back(plane ? plane[static_cast<int64_t>(h - 1 - y) * w + x] : 255);
        }
    }
    std::vector<uint8_t> z {0x78, 0x01};
    for (size_t at = 0; at < raw.size();) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);  // the last block says so
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(
            z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian(z, (b << 16) | a);

    std::vector<uint8_t> out {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBigEndian(header, static_cast<uint32_t>(w));
    putBigEndian(header, static_cast<uint32_t>(h));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", z);
    pngChunk(out, "IEND", {});
    return writeFile(out, path);
}

// ---- output ------------------------------------------------------------------

struct Picture {
    std::string file;
    std::unique_ptr<Canvas> canvas;
};

std::vector<Picture> drawAll()
{
    std::vector<Picture> all;
    all.push_back({"bkg_main.tga", drawBackground()});
    all.push_back({"btn_check.tga", drawFootswitch()});
    for (const Pedal& p : kPedals)
        all.push_back({p.file, drawFace(p)});
    all.push_back({"about.tga", drawAbout()});
    all.push_back({"eq_fader.tga", drawFader()});
    all.push_back({"eq_bypass.tga", drawBypass()});
    all.push_back({"check_lamp.tga", drawLamp()});
    all.push_back({"btn_prev_preset.tga", drawStepButton(false)});
    all.push_back({"btn_next_preset.tga", drawStepButton(true)});
    return all;
}

const Canvas* find(const std::vector<Picture>& all, const char* file)
{
    for (const Picture& p : all)
        if (p.file == file)
            return p.canvas.get();
    return nullptr;
}

// The board as the editor shows it with a pedal in every box, for looking at
// the pictures together while drawing them.
bool writePreview(const std::vector<Picture>& all, const std::string& path, int firstPedal)
{
    Canvas board(kBoardW, kBoardH, false);
    const Canvas* bkg = find(all, "bkg_main.tga");
    if (!board.ok() || bkg == nullptr)
        return false;
    bkg->buf.drawTo(&board.buf, 0, 0, kBoardW, kBoardH, 0, 0);
    auto pointer = [&](float cx, float cy, float r, float inner, float outer, Color colour, int width, float v) {
        const double a = 3.9269908169872414 - v * 4.712389;
        board.buf.resetClip();
        board.buf.setPenColor(colour);
        board.buf.setLineWidth(width);
        board.buf.drawLine(cx + r * inner * std::cos(a), cy - r * inner * std::sin(a),
            static_cast<int32_t>(cx + r * outer * std::cos(a)), static_cast<int32_t>(cy - r * outer * std::sin(a)));
    };
    pointer(182, 32, 9, 0.1f, 0.9f, Color::rgba(255, 255, 0), 2, 0.5f);
    pointer(271, 32, 9, 0.1f, 0.9f, Color::rgba(255, 255, 0), 2, 0.7f);
    board.buf.setFillColor(Color::rgba(255, 255, 0));
    board.buf.fillRect(202, 34, 30, 11);
    board.buf.setFillColor(Color::rgba(255, 60, 60));
    board.buf.fillRect(291, 34, 46, 11);
    const Canvas* fader = find(all, "eq_fader.tga");
    for (int i = 0; i < 8; ++i)
        fader->buf.drawTo(&board.buf, 411 + 16 * i, 25, kFaderW, kFaderH, ((i * 5) % 13) * kFaderW, 0);
    find(all, "eq_bypass.tga")->buf.drawTo(&board.buf, 378, 34, kBypassW, kBypassH, 0, kBypassH);
    find(all, "btn_prev_preset.tga")->buf.drawTo(&board.buf, 24, 17, kStepW, kStepH, 0, 0);
    find(all, "btn_next_preset.tga")->buf.drawTo(&board.buf, 154, 17, kStepW, kStepH, 0, kStepH);
    board.buf.setTextColor(Color::rgba(255, 255, 0));
    board.buf.setFont(0);
    board.buf.drawText("Crunch Lead", 33, 37, 118, 15, CDrawBuffer::AlignCentre, false);
    board.buf.drawText("Model B", 542, 34, 67, 15, CDrawBuffer::AlignCentre, false);
    for (int b = 0; b < 5; ++b) {
        const Pedal& p = kPedals[(firstPedal + b) % 10];
        const int bx = kBoxX0 + kBoxStep * b;
        find(all, p.file)->buf.drawTo(&board.buf, bx, kBoxY, kBoxW, kBoxH, 0, 0);
        const bool on = b != 2;
        find(all, "check_lamp.tga")->buf.drawTo(&board.buf, bx + kLampX, kBoxY + kLampY, 18, 18, 0, on ? 18 : 0);
        find(all, "btn_check.tga")
            ->buf.drawTo(&board.buf, bx + kSwitchX, kBoxY + kSwitchY, kSwitchW, kSwitchH, 0, on ? 2 * kSwitchH : 0);
        const int pos3[3][2] = {{42, 126}, {102, 126}, {72, 180}};
        const int pos4[4][2] = {{42, 126}, {102, 126}, {42, 180}, {102, 180}};
        for (int k = 0; k < p.knobs; ++k) {
            const int kx = bx + (p.knobs == 3 ? pos3[k][0] : pos4[k][0]);
            const int ky = kBoxY + (p.knobs == 3 ? pos3[k][1] : pos4[k][1]);
            pointer(kx + 11.0f, ky + 11.0f, 11, 0.5f, 1.0f, Color::rgba(0, 0, 0), 3, 0.15f + 0.2f * k);
        }
        board.buf.setTextColor(Color::rgba(255, 255, 255));
        board.buf.resetClip();
        board.buf.drawText(p.name, 25 + kBoxStep * b, 455, 125, 14, CDrawBuffer::AlignCentre, false);
    }
    return writeTga(board, path);
}

bool makeFolder(const std::string& path)
{
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
        if (i < path.size())
            partial += path[i];
    }
    return true;
}

// The program's icon in the sizes of the desktop's icon theme, laid out as
// the theme's folders: <folder>/<n>x<n>/apps/kelbrin.png.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128};

bool writeIcons(const std::string& folder)
{
    for (const int n : kIconSizes) {
        const std::string apps = folder + "/" + std::to_string(n) + "x" + std::to_string(n) + "/apps";
        if (!makeFolder(apps)) {
            std::fprintf(stderr, "make_skin: cannot create %s: %s\n", apps.c_str(), std::strerror(errno));
            return false;
        }
        const std::unique_ptr<Canvas> icon = drawIcon(n);
        if (icon == nullptr || !writePng(*icon, apps + "/kelbrin.png"))
            return false;
    }
    return true;
}

bool touch(const char* stamp)
{
    std::FILE* f = std::fopen(stamp, "w");
    return f != nullptr && std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && argc <= 4 && std::strcmp(argv[1], "--icons") == 0)
        return writeIcons(argv[2]) && (argc == 3 || touch(argv[3])) ? 0 : 1;
    if (argc >= 3 && std::strcmp(argv[1], "--preview") == 0) {
        const std::vector<Picture> all = drawAll();
        for (const Picture& p : all)
            if (p.canvas == nullptr)
                return 1;
        const std::string second = std::string(argv[2]) + ".second.tga";
        return writePreview(all, argv[2], 0) && writePreview(all, second, 5) ? 0 : 1;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr,
            "usage: make_skin <output folder> [stamp file]\n       make_skin --preview <picture.tga>\n"
            "       make_skin --icons <icon theme folder> [stamp file]\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!makeFolder(folder)) {
        std::fprintf(stderr, "make_skin: cannot create %s: %s\n", folder.c_str(), std::strerror(errno));
        return 1;
    }
    const std::vector<Picture> all = drawAll();
    for (const Picture& p : all) {
        if (p.canvas == nullptr) {
            std::fprintf(stderr, "make_skin: no memory for %s\n", p.file.c_str());
            return 1;
        }
        if (!writeTga(*p.canvas, folder + "/" + p.file))
            return 1;
    }
    return argc == 3 && !touch(argv[2]) ? 1 : 0;
}
