// Minimal bodies so that the editor frame links and runs; the group's mouse
// routing, capture, focus and idle pass arrive with the controls.
#include "framework/gui/controls/CControlGroup.h"

#include "framework/gui/controls/CControl.h"

CControlGroup::CControlGroup(CPluginUI* editor, int32_t id)
    : editor(editor)
    , id(id)
{
}

CControlGroup::~CControlGroup()
{
    for (CControl* c = controls; c != nullptr;) {
        CControl* next = c->next;
        c->destroy();
        c = next;
    }
    focused = nullptr;
    controls = nullptr;
}

int32_t CControlGroup::getId() const { return id; }
void CControlGroup::setId(int32_t newId) { id = newId; }
void CControlGroup::addControl(CControl* control) { (void)control; }
CControl* CControlGroup::removeControl(CControl* control)
{
    (void)control;
    return nullptr;
}
int32_t CControlGroup::removeAllControls() { return 0; }
CControl* CControlGroup::getControlById(int32_t wanted)
{
    for (CControl* c = controls; c != nullptr; c = c->next) {
        if (c->getId() == wanted)
            return c;
    }
    return nullptr;
}
CControl* CControlGroup::getControlByIndex(int32_t index)
{
    (void)index;
    return nullptr;
}
CBitmap* CControlGroup::getBitmap(BitmapKey key)
{
    (void)key;
    return nullptr;
}
void CControlGroup::updateValues() { }
void CControlGroup::cancelAll() { }
bool CControlGroup::onFileDrop(const char* path, int32_t x, int32_t y)
{
    (void)path;
    (void)x;
    (void)y;
    return false;
}
bool CControlGroup::isActive() { return false; }
void CControlGroup::setActive(bool active) { (void)active; }
void CControlGroup::setFocusControl(CControl* control) { (void)control; }
void CControlGroup::destroy() { delete this; }
bool CControlGroup::onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code)
{
    (void)x;
    (void)y;
    (void)code;
    lastModifiers = modifiers;
    return false;
}
void CControlGroup::setCapture(CControl* control, bool hideCursor)
{
    (void)control;
    (void)hideCursor;
}
void CControlGroup::releaseCapture() { captured = nullptr; }
void CControlGroup::idle(bool moved, int32_t x, int32_t y)
{
    (void)moved;
    (void)x;
    (void)y;
}
void CControlGroup::preIdle() { }
void CControlGroup::postIdle() { }
void CControlGroup::onControlChanged(CControl* control) { (void)control; }
void CControlGroup::getName(CControl* control, char* text)
{
    (void)control;
    (void)text;
}
void CControlGroup::getDisplay(CControl* control, char* text)
{
    (void)control;
    (void)text;
}
void CControlGroup::getLabel(CControl* control, char* text)
{
    (void)control;
    (void)text;
}
float CControlGroup::getDefaultValue(CControl* control)
{
    (void)control;
    return 0.0f;
}
CPluginUI* CControlGroup::getEditor() { return editor; }
