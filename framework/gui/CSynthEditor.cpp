#include "framework/gui/CSynthEditor.h"

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/gui/controls/CControl.h"
#include "framework/gui/controls/CControlGroup.h"

namespace {

constexpr int32_t kNativeFormat = 3;

}  // namespace

CSynthEditor::CSynthEditor(void* moduleHandle, int32_t height, int32_t width)
    : CPluginUI(moduleHandle, height, width)
{
}

bool CSynthEditor::onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code)
{
    const CPluginDefinition* definition = pluginDefinition();
    if (code == kMouseRightDown && definition != nullptr && definition->formatId == kNativeFormat) {
        cancelMouse();
        if (offerParameterMenu(x, y))
            return true;
    }
    return CPluginUI::onMouse(x, y, modifiers, code);
}

bool CSynthEditor::offerParameterMenu(int32_t x, int32_t y)
{
    CControl* candidate = nullptr;
    for (CControlGroup* g = activeGroup != nullptr ? activeGroup : groups; g != nullptr; g = g->nextGroup) {
        if (g->focused != nullptr)
            candidate = g->focused;
        for (CControl* c = g->controls; c != nullptr; c = c->next) {
            if (c->getRect().contains(x, y)) {
                candidate = c;
                break;
            }
        }
        if (g == activeGroup)
            break;
    }
    if (candidate == nullptr || engine == nullptr || engine->getWrapper() == nullptr)
        return false;
    return engine->getWrapper()->showParameterMenu(candidate->getId()) != 0;
}

float CSynthEditor::getParameterValue(CControl* control)
{
    if (engine == nullptr || control == nullptr)
        return 0.0f;
    return engine->getParameter(control->getId());
}

void CSynthEditor::getParameterLabel(CControl* control, char* text)
{
    CPluginUI::getParameterLabel(control, text);
    if (engine != nullptr && control != nullptr)
        engine->getParameterLabel(control->getId(), text);
}

void CSynthEditor::getParameterDisplay(CControl* control, char* text)
{
    CPluginUI::getParameterDisplay(control, text);
    if (engine != nullptr && control != nullptr)
        engine->getParameterDisplay(control->getId(), text);
}

void CSynthEditor::getParameterName(CControl* control, char* text)
{
    CPluginUI::getParameterName(control, text);
    if (engine != nullptr && control != nullptr)
        engine->getParameterName(control->getId(), text);
}

namespace {

CPluginWrapper* publishedWrapper(CSynthesizer* engine, CControl* control)
{
    if (control == nullptr || engine == nullptr || engine->getWrapper() == nullptr || control->getId() < 0)
        return nullptr;
    const CPluginDefinition* definition = pluginDefinition();
    if (definition == nullptr || control->getId() >= definition->publishedParameterCount)
        return nullptr;
    return engine->getWrapper();
}

}  // namespace

void CSynthEditor::beginEdit(CControl* control)
{
    if (CPluginWrapper* wrapper = publishedWrapper(engine, control))
        wrapper->beginEdit(control->getId());
}

void CSynthEditor::endEdit(CControl* control)
{
    if (CPluginWrapper* wrapper = publishedWrapper(engine, control))
        wrapper->endEdit(control->getId());
}

bool CSynthEditor::setParameterValue(int32_t id, float value)
{
    if (!hasWindow())
        return false;
    CControl* control = getControlById(id);
    if (control == nullptr || !control->setValue(value))
        return false;
    control->setDirty(true);
    return true;
}
