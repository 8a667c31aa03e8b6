#include "effect/editor/CAboutPage.h"

#include "framework/engine/CPluginDefinition.h"
#include "framework/gui/CBitmap.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CPluginUI.h"
#include "framework/util/TextCopy.h"

CAboutPage::CAboutPage(CPluginUI* editor)
    : CControlGroup(editor, -1)
{
}

bool CAboutPage::onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code)
{
    lastModifiers = modifiers;
    if (code != kMouseLeftDown || editor == nullptr)
        return false;
    if (isActive()) {
        setActive(false);
        editor->updateAllValues();
        editor->setDirty(true);
        return true;
    }
    if (x >= 640 && x < 750 && y >= 10 && y < 60) {
        setActive(true);
        editor->setDirty(true);
        return true;
    }
    return false;
}

void CAboutPage::idle(bool moved, int32_t x, int32_t y)
{
    (void)moved;
    (void)x;
    (void)y;
    if (isActive() && editor != nullptr && editor->isDirty())
        drawAbout();
}

void CAboutPage::drawAbout()
{
    CDrawBuffer* buffer = editor != nullptr ? editor->getBackBuffer() : nullptr;
    if (buffer == nullptr)
        return;
    buffer->resetClip();
    const SizeHW size = editor->getEditorSize();
    drawBitmap(buffer, getBitmap(kPictureKey), 0, 0, size.width, size.height, 0, 0);

    char text[600] = {};
    if (const CPluginDefinition* def = pluginDefinition()) {
        copyText(text, def->version);
        appendText(text, sizeof text, " ");
        appendText(text, sizeof text, def->formatText);
    }
    const Color savedColour = buffer->getTextColor();
    const int32_t savedFont = buffer->getFont();
    buffer->setTextColor(Color::rgba(190, 190, 190));
    buffer->setFont(0);
    buffer->setClip(Rect {400, 302, 201, 18});
    buffer->drawText(text, 400, 302, 201, 18, 4, false);
    buffer->setTextColor(savedColour);
    buffer->setFont(savedFont);
    editor->redrawAll();
}
