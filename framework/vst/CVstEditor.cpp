#include "framework/vst/CVstEditor.h"

#include <algorithm>
#include <cstdint>

#include "framework/gui/CPluginUI.h"

namespace {

VstInt16 toRectCoordinate(std::int32_t v) { return static_cast<VstInt16>(std::clamp<std::int32_t>(v, 0, INT16_MAX)); }

}  // namespace

CVstEditor::CVstEditor(AudioEffect* effect)
    : AEffEditor(effect)
{
}

CVstEditor::~CVstEditor()
{
    if (editor)
        editor->destroy();
    editor = nullptr;
}

void CVstEditor::setPluginUI(CPluginUI* ui)
{
    editor = ui;
    rect = ERect {0, 0, 0, 0};
    if (ui) {
        const EditorSize size = ui->getEditorSize();
        rect.bottom = toRectCoordinate(size.height);
        rect.right = toRectCoordinate(size.width);
    }
}

bool CVstEditor::getRect(ERect** out)
{
    if (!out)
        return false;
    *out = &rect;
    return true;
}

bool CVstEditor::open(void* parentWindow)
{
    if (!editor)
        return false;
    systemWindow = parentWindow;
    return editor->open(rect.bottom, rect.right, parentWindow);
}

void CVstEditor::close()
{
    if (editor)
        editor->close();
}
