#include "effect/editor/MessageNote.h"

#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CPluginUI.h"

#include <vector>

namespace {

constexpr int32_t kWidth = 520;
constexpr int32_t kPadding = 12;
constexpr int32_t kLineGap = 4;

// The text in lines that fit the note, broken after blanks where it can be
// and anywhere in a word (a long path) where it cannot.
std::vector<std::string> linesOf(CDrawBuffer& buffer, const std::string& text, int32_t width)
{
    const SizeHW room = buffer.getSize();
    auto fits = [&](const std::string& s) {
        return buffer.drawText(s.c_str(), 0, 0, room.width, room.height, CDrawBuffer::AlignLeft, true).width <= width;
    };
    std::vector<std::string> lines;
    std::string rest = text;
    while (!rest.empty()) {
        size_t end = rest.size();
        while (end > 1 && !fits(rest.substr(0, end)))
            --end;
        if (end < rest.size()) {
            const size_t blank = rest.rfind(' ', end);
            if (blank != std::string::npos && blank > 0)
                end = blank;
        }
        lines.push_back(rest.substr(0, end));
        rest.erase(0, end);
        while (!rest.empty() && rest[0] == ' ')
            rest.erase(0, 1);
    }
    return lines;
}

}  // namespace

MessageNote::MessageNote(CPluginUI* editor)
    : CControlGroup(editor, -1)
{
}

void MessageNote::show(const std::string& text)
{
    if (editor == nullptr)
        return;
    // A drag in progress ends for the host before the note takes the mouse.
    if (editor->isMouseCaptured())
        editor->cancelMouse();
    text_ = text;
    shown_ = true;
    drawn_ = false;
    setActive(true);
}

bool MessageNote::onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code)
{
    (void)x;
    (void)y;
    lastModifiers = modifiers;
    if (!shown_ || editor == nullptr)
        return false;
    if (code == kMouseLeftDown || code == kMouseMiddleDown || code == kMouseRightDown) {
        shown_ = false;
        setActive(false);
        editor->updateAllValues();
        editor->setDirty(true);
    }
    return true;
}

void MessageNote::idle(bool moved, int32_t x, int32_t y)
{
    (void)moved;
    (void)x;
    (void)y;
    if (shown_ && editor != nullptr && (!drawn_ || editor->isDirty()))
        draw();
}

void MessageNote::draw()
{
    CDrawBuffer* buffer = editor->getBackBuffer();
    if (buffer == nullptr || !buffer->isValid())
        return;
    drawn_ = true;
    const Color savedColour = buffer->getTextColor();
    const Color savedFill = buffer->getFillColor();
    const Color savedPen = buffer->getPenColor();
    const int32_t savedFont = buffer->getFont();
    const int32_t savedWidth = buffer->getLineWidth();
    buffer->setFont(0);
    buffer->resetClip();
    const SizeHW board = editor->getEditorSize();
    const std::vector<std::string> lines = linesOf(*buffer, text_, kWidth - 2 * kPadding);
    const int32_t lineHeight = buffer->drawText("Qy", 0, 0, board.width, board.height, 0, true).height + kLineGap;
    const int32_t h = static_cast<int32_t>(lines.size()) * lineHeight + 2 * kPadding;
    const Rect note {(board.width - kWidth) / 2, (board.height - h) / 2, kWidth, h};
    buffer->setFillColor(Color::rgba(32, 32, 32));
    buffer->fillRect(note.x, note.y, note.w, note.h);
    buffer->setPenColor(Color::rgba(255, 255, 0));
    buffer->setLineWidth(1);
    buffer->frameRect(note.x, note.y, note.w, note.h);
    buffer->setTextColor(Color::rgba(255, 255, 255));
    int32_t y = note.y + kPadding;
    for (const std::string& line : lines) {
        buffer->drawText(
            line.c_str(), note.x + kPadding, y, note.w - 2 * kPadding, lineHeight, CDrawBuffer::AlignCentre, false);
        y += lineHeight;
    }
    buffer->setTextColor(savedColour);
    buffer->setFillColor(savedFill);
    buffer->setPenColor(savedPen);
    buffer->setFont(savedFont);
    buffer->setLineWidth(savedWidth);
    // While the whole board is repainted anyway, that repaint shows the note.
    if (!editor->isDirty())
        editor->redrawRect(note);
}
