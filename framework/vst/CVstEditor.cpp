#include "framework/vst/CVstEditor.h"

#include <algorithm>
#include <cstdint>

#include "framework/engine/EditorView.h"

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
        editor->destroyView();
    editor = nullptr;
}

void CVstEditor::setPluginUI(EditorView* ui)
{
    editor = ui;
    rect = ERect {0, 0, 0, 0};
    if (ui) {
        const ViewSize size = ui->viewSize();
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
    return editor->openView(parentWindow, ViewSize {rect.right, rect.bottom});
}

void CVstEditor::close()
{
    if (editor)
        editor->closeView();
}

void CVstEditor::idle()
{
    if (editor)
        editor->idleView();
}
