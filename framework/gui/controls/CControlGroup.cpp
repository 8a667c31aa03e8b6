#include "framework/gui/controls/CControlGroup.h"

#include <cstdio>

#include "framework/gui/CPluginUI.h"
#include "framework/gui/controls/CControl.h"

// Keeps a walk registered with its group for the walk's lifetime. After each call
// out, advance() reads the next control from the list as it stands then; it
// answers null when the group itself was destroyed by the call.
class CControlGroup::WalkScope {
public:
    explicit WalkScope(CControlGroup* g)
        : group_(g)
    {
        walk_.outer = g->walks_;
        // The walk leaves the list again in the destructor, before it goes out of scope.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
        g->walks_ = &walk_;
#pragma GCC diagnostic pop
        walk_.current = g->controls;
    }
    ~WalkScope()
    {
        if (!walk_.groupGone)
            group_->walks_ = walk_.outer;
    }
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;

    CControl* current() const { return walk_.current; }
    bool groupGone() const { return walk_.groupGone; }
    bool currentGone() const { return walk_.groupGone || walk_.currentGone; }
    void advance()
    {
        if (walk_.groupGone || walk_.current == nullptr) {
            walk_.current = nullptr;
            return;
        }
        walk_.current = walk_.currentGone ? walk_.following : walk_.current->next;
        walk_.currentGone = false;
        walk_.following = nullptr;
    }

private:
    CControlGroup* group_;
    Walk walk_;
};

// Keeps a control alive through one call into it. A control removed during
// the call is deleted when it returns; by then its group may be gone too.
class CControlGroup::CallScope {
public:
    explicit CallScope(CControl* c)
        : control_(c)
    {
        ++control_->calls;
    }
    ~CallScope()
    {
        if (--control_->calls > 0 || !control_->removed)
            return;
        if (control_->group != nullptr)
            control_->group->unpark(control_);
        control_->destroy();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    CControl* control_;
};

CControlGroup::CControlGroup(CPluginUI* ed, int32_t groupId)
    : editor(ed)
    , id(groupId)
{
}

CControlGroup::~CControlGroup()
{
    // The mouse is let go only when this group holds it: a group rebuilt
    // while a control of another group is being dragged leaves that drag be.
    if (captured != nullptr || (editor != nullptr && editor->modalGroup == this))
        CControlGroup::releaseCapture();
    deleteAll(true);
    for (CControl* c = parked_; c != nullptr; c = c->next)
        c->group = nullptr;
    parked_ = nullptr;
    for (Walk* w = walks_; w != nullptr; w = w->outer)
        w->groupGone = true;
    walks_ = nullptr;
}

void CControlGroup::forgetControl(CControl* control)
{
    for (Walk* w = walks_; w != nullptr; w = w->outer) {
        if (w->current == control && !w->currentGone) {
            w->currentGone = true;
            w->following = control->next;
        } else if (w->currentGone && w->following == control) {
            w->following = control->next;
        }
    }
}

void CControlGroup::deleteAll(bool groupGoing)
{
    while (controls != nullptr) {
        CControl* c = controls;
        forgetControl(c);
        controls = c->next;
        if (captured == c)
            captured = nullptr;
        dispose(c, groupGoing);
    }
    focused = nullptr;
    controls = nullptr;
}

void CControlGroup::dispose(CControl* control, bool groupGoing)
{
    if (control->calls == 0) {
        control->destroy();
        return;
    }
    control->removed = true;
    if (groupGoing) {
        control->group = nullptr;
        control->next = nullptr;
    } else {
        control->next = parked_;
        parked_ = control;
    }
}

void CControlGroup::unpark(CControl* control)
{
    for (CControl** link = &parked_; *link != nullptr; link = &(*link)->next) {
        if (*link == control) {
            *link = control->next;
            control->next = nullptr;
            return;
        }
    }
}

int32_t CControlGroup::getId() const { return id; }
void CControlGroup::setId(int32_t newId) { id = newId; }

void CControlGroup::addControl(CControl* control)
{
    if (control == nullptr)
        return;
    CControl** tail = &controls;
    for (; *tail != nullptr; tail = &(*tail)->next)
        if (*tail == control)
            return;
    control->group = this;
    if (editor != nullptr)
        control->setValue(editor->getParameterValue(control));
    control->next = nullptr;
    *tail = control;
}

CControl* CControlGroup::removeControl(CControl* control)
{
    if (controls == nullptr || control == nullptr)
        return nullptr;
    if (focused == control)
        focused = nullptr;
    for (CControl** link = &controls; *link != nullptr; link = &(*link)->next) {
        if (*link != control)
            continue;
        releaseCapture();
        CControl* following = control->next;
        forgetControl(control);
        *link = following;
        dispose(control, false);
        if (editor != nullptr)
            editor->setDirty(true);
        return following;
    }
    return nullptr;
}

int32_t CControlGroup::removeAllControls()
{
    releaseCapture();
    deleteAll(false);
    return 0;
}

CControl* CControlGroup::getControlById(int32_t controlId)
{
    for (CControl* c = controls; c != nullptr; c = c->next)
        if (c->getId() == controlId)
            return c;
    return nullptr;
}

CControl* CControlGroup::getControlByIndex(int32_t n)
{
    CControl* c = controls;
    for (int32_t i = 0; i < n && c != nullptr; ++i)
        c = c->next;
    return c;
}

CBitmap* CControlGroup::getBitmap(BitmapKey key) { return editor != nullptr ? editor->getBitmap(key) : nullptr; }

void CControlGroup::updateValues()
{
    if (editor == nullptr)
        return;
    CPluginUI* e = editor;
    e->beginUpdate();
    for (WalkScope walk(this); walk.current() != nullptr; walk.advance())
        walk.current()->setValue(e->getParameterValue(walk.current()));
    e->endUpdate();
}

void CControlGroup::cancelAll()
{
    for (WalkScope walk(this); walk.current() != nullptr; walk.advance()) {
        CallScope call(walk.current());
        walk.current()->cancel();
    }
}

bool CControlGroup::onFileDrop(const char* path, int32_t x, int32_t y)
{
    if (focused != nullptr) {
        CallScope call(focused);
        return focused->onFileDrop(path, x, y);
    }
    for (WalkScope walk(this); walk.current() != nullptr; walk.advance()) {
        CallScope call(walk.current());
        if (walk.current()->onFileDrop(path, x, y))
            return true;
    }
    return false;
}

bool CControlGroup::isActive() { return editor != nullptr && editor->activeGroup == this; }

void CControlGroup::setActive(bool active)
{
    if (editor != nullptr)
        editor->setActiveGroup(active ? this : nullptr);
}

void CControlGroup::setFocusControl(CControl* control)
{
    if (control != nullptr && control->removed)
        return;
    if (control != nullptr) {
        wasActive = isActive();
        if (!wasActive)
            setActive(true);
        focused = control;
        return;
    }
    if (focused == nullptr)
        return;
    focused = nullptr;
    if (!wasActive)
        setActive(false);
}

void CControlGroup::destroy() { delete this; }

bool CControlGroup::onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code)
{
    lastModifiers = modifiers;
    if (code == kMouseWheel) {
        if (CControl* only = focused != nullptr ? focused : captured) {
            CallScope call(only);
            only->onWheel(x, y);
        } else {
            for (WalkScope walk(this); walk.current() != nullptr; walk.advance()) {
                CallScope call(walk.current());
                walk.current()->onWheel(x, y);
            }
        }
        return true;
    }
    CControl* target = captured != nullptr ? captured : focused;
    for (CControl* c = controls; target == nullptr && c != nullptr; c = c->next)
        if (!c->hidden && c->getRect().contains(x, y))
            target = c;
    if (target == nullptr)
        return false;
    CallScope call(target);
    switch (code) {
    case kMouseLeftDown: target->onLeftDown(x, y); break;
    case kMouseMiddleDown: target->onMiddleDown(x, y); break;
    case kMouseRightDown: target->onRightDown(x, y); break;
    case kMouseLeftUp: target->onLeftUp(x, y); break;
    case kMouseMiddleUp: target->onMiddleUp(x, y); break;
    case kMouseRightUp: target->onRightUp(x, y); break;
    case kMouseMove: target->onMouseMove(x, y); break;
    default: return false;
    }
    return true;
}

void CControlGroup::setCapture(CControl* control, bool hideCursor)
{
    if (control != nullptr && control->removed)
        return;
    captured = control;
    if (control == nullptr) {
        releaseCapture();
        return;
    }
    if (editor == nullptr)
        return;
    editor->modalGroup = this;
    editor->captureMouse(hideCursor);
}

void CControlGroup::releaseCapture()
{
    captured = nullptr;
    if (editor == nullptr)
        return;
    editor->modalGroup = nullptr;
    editor->releaseMouse();
}

void CControlGroup::idle(bool moved, int32_t x, int32_t y)
{
    CPluginUI* e = editor;
    for (WalkScope walk(this); walk.current() != nullptr; walk.advance()) {
        CControl* c = walk.current();
        if (c->hidden || (focused != nullptr && focused != c))
            continue;
        CallScope call(c);
        if (moved) {
            const bool inside = c->getRect().contains(x, y);
            if (inside != c->hovered) {
                c->hovered = inside;
                c->onHoverChanged();
                if (walk.currentGone())
                    continue;
            }
        }
        c->onTimer();
        if (walk.currentGone())
            continue;
        if (e != nullptr)
            e->drawControl(c);
    }
}

void CControlGroup::preIdle() { }
void CControlGroup::postIdle() { }

void CControlGroup::onControlChanged(CControl* control)
{
    if (editor != nullptr)
        editor->onControlChanged(control);
}

namespace {
void writeUndefined(char* text)
{
    if (text != nullptr)
        std::snprintf(text, 10, "%s", "undefined");
}
}  // namespace

void CControlGroup::getName(CControl* control, char* text)
{
    writeUndefined(text);
    if (editor != nullptr)
        editor->getParameterName(control, text);
}

void CControlGroup::getDisplay(CControl* control, char* text)
{
    writeUndefined(text);
    if (editor != nullptr)
        editor->getParameterDisplay(control, text);
}

void CControlGroup::getLabel(CControl* control, char* text)
{
    writeUndefined(text);
    if (editor != nullptr)
        editor->getParameterLabel(control, text);
}

float CControlGroup::getDefaultValue(CControl* control)
{
    return editor != nullptr ? editor->getParameterDefault(control) : 0.0f;
}

CPluginUI* CControlGroup::getEditor() { return editor; }
