#include "framework/gui/CPluginUI.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "framework/gui/CBitmap.h"
#include "framework/gui/CBitmapStorage.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/controls/CControl.h"
#include "framework/gui/controls/CControlGroup.h"

namespace {

constexpr size_t kPathCapacity = 1024;

void writeUndefined(char* text)
{
    if (text != nullptr)
        std::memcpy(text, "undefined", sizeof "undefined");
}

}  // namespace

// Registers a walk over the group list with the editor for its lifetime; after
// each call out, advance() reads the next group from the list as it stands then.
class CPluginUI::GroupWalkScope {
public:
    explicit GroupWalkScope(CPluginUI* ui)
        : ui_(ui)
    {
        walk_.outer = ui->groupWalks;
        walk_.current = ui->groups;
        // The walk leaves the list again in the destructor, before it goes out of scope.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
        ui->groupWalks = &walk_;
#pragma GCC diagnostic pop
    }
    ~GroupWalkScope() { ui_->groupWalks = walk_.outer; }
    GroupWalkScope(const GroupWalkScope&) = delete;
    GroupWalkScope& operator=(const GroupWalkScope&) = delete;

    CControlGroup* current() const { return walk_.current; }
    void advance()
    {
        if (walk_.current != nullptr)
            walk_.current = walk_.currentGone ? walk_.following : walk_.current->nextGroup;
        walk_.currentGone = false;
        walk_.following = nullptr;
    }

private:
    CPluginUI* ui_;
    GroupWalk walk_;
};

void CPluginUI::forgetGroup(CControlGroup* group)
{
    for (GroupWalk* w = groupWalks; w != nullptr; w = w->outer) {
        if (w->current == group && !w->currentGone) {
            w->currentGone = true;
            w->following = group != nullptr ? group->nextGroup : nullptr;
        } else if (w->currentGone && w->following == group) {
            w->following = group != nullptr ? group->nextGroup : nullptr;
        }
    }
}

CPluginUI::CPluginUI(void* moduleHandle, int32_t height, int32_t width)
    : CPluginFrame(moduleHandle)
    , backBuffer(new CDrawBuffer)
    , editorHeight(height)
    , editorWidth(width)
{
}

CPluginUI::~CPluginUI()
{
    // A host may delete the editor without closing it first; the window must
    // not outlive its listener.
    if (hasWindow())
        close();
    delete backBuffer;
    backBuffer = nullptr;
}

void CPluginUI::destroyView()
{
    if (hasWindow())
        close();
    delete this;
}

// ---- open and close ----------------------------------------------------------

bool CPluginUI::open(int32_t height, int32_t width, void* parent)
{
    if (hasWindow()) {
        if (windowSystem()->exists(window))
            return true;
        // The host destroyed its window (ours with it) without closing the
        // editor first: that counts as closed, and this open builds anew.
        close();
    }
    if (!createWindow(height, width, parent))
        return false;
    if (!backBuffer->create(height, width, false)) {
        close();
        return false;
    }
    idleCursor = getCursorPos();
    lastMousePos = idleCursor;
    groups = new (std::nothrow) CControlGroup(this, -1);
    // Opening pulls every value anyway: what was asked for while closed is done.
    dropRequests();
    if (groups == nullptr || !createControls()) {
        close();
        return false;
    }
    updateAllValues();
    idle();
    startTimer(timerInterval);
    return true;
}

int32_t CPluginUI::close()
{
    // A drag still in progress is cancelled as a lost capture is, so the host
    // sees the end of its edit before the control goes.
    if (captured)
        cancelMouse();
    releaseMouse();
    destroyWindow();
    for (GroupWalk* w = groupWalks; w != nullptr; w = w->outer) {
        w->currentGone = true;
        w->following = nullptr;
    }
    for (CControlGroup* g = groups; g != nullptr;) {
        CControlGroup* next = g->nextGroup;
        g->destroy();
        g = next;
    }
    backgroundKey = kNoBitmap;
    groups = nullptr;
    activeGroup = nullptr;
    modalGroup = nullptr;
    return 0;
}

bool CPluginUI::openView(void* parent, ViewSize size) { return open(size.height, size.width, parent); }

uintptr_t CPluginUI::viewHandle() const
{
    platform::IWindowSystem* system = windowSystem();
    return system != nullptr && hasWindow() ? system->nativeHandle(window) : 0;
}

void CPluginUI::idleView()
{
    if (platform::IWindowSystem* ws = windowSystem())
        ws->pump();
}

// ---- requests from other threads ------------------------------------------------

void CPluginUI::requestParameterValue(int32_t id, float value)
{
    if (id < 0 || id >= kRequestIds)
        return;
    requestedValue[id].store(value, std::memory_order_relaxed);
    valueRequested[id].store(true, std::memory_order_release);
    someValueRequested.store(true, std::memory_order_release);
}

void CPluginUI::requestAllValues() { allValuesRequested.store(true, std::memory_order_release); }

void CPluginUI::applyRequests()
{
    if (someValueRequested.exchange(false, std::memory_order_acq_rel)) {
        for (int32_t id = 0; id < kRequestIds; ++id) {
            if (valueRequested[id].exchange(false, std::memory_order_acq_rel))
                setParameterValue(id, requestedValue[id].load(std::memory_order_relaxed));
        }
    }
    // Last, so that a value marked before a program switch cannot outlive it.
    if (allValuesRequested.exchange(false, std::memory_order_acq_rel))
        updateAllValues();
}

void CPluginUI::dropRequests()
{
    allValuesRequested.store(false);
    someValueRequested.store(false);
    for (auto& mark : valueRequested)
        mark.store(false);
}

// ---- window events and the timer ----------------------------------------------

void CPluginUI::onWindowEvent(const platform::WindowEvent& event)
{
    using Kind = platform::WindowEvent::Kind;
    if (!hasWindow())
        return;
    switch (event.kind) {
    case Kind::Expose: paintRect(Rect {event.x, event.y, event.w, event.h}); break;
    case Kind::KeyDown: onKeyDown(event.key); break;
    case Kind::KeyUp: onKeyUp(event.key); break;
    case Kind::Motion:
        if (cursorHidden) {
            endlessDragStep();
        } else {
            const Point p = getCursorPos();
            onMouse(p.x, p.y, getModifierKeys(), kMouseMove);
        }
        break;
    case Kind::ButtonDown:
    case Kind::ButtonUp: {
        if (event.button < 1 || event.button > 3)
            break;
        const bool down = event.kind == Kind::ButtonDown;
        if (down && event.button == 1 && (flags & 1u) != 0 && handlesKeys() && windowSystem()->isViewable(window))
            windowSystem()->focus(window);
        const Point p = getCursorPos();
        const int32_t code = (down ? 0 : 3) + event.button - 1;
        onMouse(p.x, p.y, getModifierKeys(), static_cast<MouseCode>(code));
        break;
    }
    case Kind::Wheel: onMouse(0, event.steps, getModifierKeys(), kMouseWheel); break;
    case Kind::FileDrop:
        if (event.path != nullptr && event.path[0] != '\0') {
            const Point p = getCursorPos();
            onFileDrop(event.path, p.x, p.y);
        }
        break;
    case Kind::CaptureLost:
        // The next idle notices it (cancelLostCapture), wherever the loss came from.
        break;
    case Kind::Gone:
        // The host destroyed its window, and ours with it, without closing the
        // editor: that counts as closed, and whatever hangs on the window (a
        // dialog program) ends now rather than at the host's close.
        close();
        break;
    }
}

void CPluginUI::onWindowTimer()
{
    // Ticks never nest, whatever a group's idle calls out to.
    if (!hasWindow() || inTimer)
        return;
    inTimer = true;
    applyRequests();
    preIdle();
    idle();
    postIdle();
    inTimer = false;
}

void CPluginUI::startTimer(int32_t milliseconds)
{
    if (hasWindow())
        windowSystem()->setTimer(window, milliseconds);
}

void CPluginUI::idle()
{
    cancelLostCapture();
    bool cursorMoved = false;
    if (!captured) {
        const Point p = getCursorPos();
        if (p.x != idleCursor.x || p.y != idleCursor.y) {
            idleCursor = p;
            cursorMoved = true;
        }
    }
    if (dirty) {
        backBuffer->setClip(Rect {0, 0, windowWidth, windowHeight});
        drawBitmap(backBuffer, getBitmap(backgroundKey), 0, 0, windowWidth, windowHeight, 0, 0);
    }
    if (activeGroup != nullptr) {
        activeGroup->idle(cursorMoved, idleCursor.x, idleCursor.y);
    } else {
        for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance()) {
            // Once a group's idle made a group active, only that one still runs.
            if (activeGroup == nullptr || walk.current() == activeGroup)
                walk.current()->idle(cursorMoved, idleCursor.x, idleCursor.y);
        }
    }
    const bool r = needsRedraw();
    if (!r && !dirty)
        return;
    dirty = false;
    redrawRect(Rect {0, 0, windowWidth, windowHeight});
}

void CPluginUI::preIdle()
{
    for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance())
        walk.current()->preIdle();
}

void CPluginUI::postIdle()
{
    for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance())
        walk.current()->postIdle();
}

bool CPluginUI::needsRedraw() { return false; }

// ---- repainting -------------------------------------------------------------------

void CPluginUI::redrawAll() { redrawRect(Rect {0, 0, windowWidth, windowHeight}); }

void CPluginUI::redrawRect(Rect r)
{
    if (!hasWindow())
        return;
    redrawPending = true;
    if (holdCount > 0)
        return;
    paintRect(r);
    redrawPending = false;
}

void CPluginUI::paintRect(Rect r)
{
    if (backBuffer != nullptr && backBuffer->isValid())
        backBuffer->copyToDC(&target, r.x, r.y, r.w, r.h, r.x, r.y);
}

int32_t CPluginUI::beginUpdate()
{
    if (holdCount == 0)
        redrawPending = false;
    return ++holdCount;
}

void CPluginUI::endUpdate() { releaseUpdate(redrawPending); }

void CPluginUI::releaseUpdate(bool redraw)
{
    const int32_t depth = holdCount;
    if (holdCount > 0)
        --holdCount;
    if (redraw && depth == 1)
        redrawAll();
}

bool CPluginUI::drawControl(CControl* control)
{
    if (control == nullptr || (!control->isDirty() && !dirty))
        return false;
    control->draw(backBuffer);
    control->setDirty(false);
    // While the whole editor is dirty, the full repaint at the end of idle follows.
    if (!dirty)
        redrawRect(control->getRect());
    return true;
}

void CPluginUI::updateAllValues()
{
    if (!hasWindow())
        return;
    if (activeGroup != nullptr) {
        activeGroup->updateValues();
        return;
    }
    beginUpdate();
    for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance())
        walk.current()->updateValues();
    setDirty(true);
    // No repaint now: the next idle repaints everything.
    releaseUpdate(false);
}

// ---- mouse --------------------------------------------------------------------------

Point CPluginUI::getCursorPos() const
{
    platform::IWindowSystem* ws = windowSystem();
    platform::ScreenPoint cursor;
    if (ws == nullptr || !ws->cursorInWindow(window, cursor))
        return Point {-1, -1};
    return Point {cursor.x, cursor.y};
}

ModifierKeys CPluginUI::getModifierKeys() const
{
    platform::IWindowSystem* ws = windowSystem();
    return ws != nullptr ? ws->modifierKeys() & (kModifierCtrl | kModifierShift | kModifierAlt) : 0;
}

void CPluginUI::cancelLostCapture()
{
    if (captured && hasWindow() && !windowSystem()->hasCapture(window))
        cancelMouse();
}

void CPluginUI::cancelMouse()
{
    for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance())
        walk.current()->cancelAll();
    releaseMouse();
}

bool CPluginUI::captureMouse(bool hideCursor)
{
    if (!hasWindow())
        return false;
    if (captured)
        return true;
    platform::IWindowSystem* ws = windowSystem();
    captured = true;
    cursorHidden = hideCursor;
    if (hideCursor) {
        ws->cursorPosition(savedCursor);
        const Point p = getCursorPos();
        virtualPos = platform::ScreenPoint {p.x, p.y};
        lastRealCursor = savedCursor;
        ws->showCursor(window, false);
    }
    return ws->capture(window) == platform::WindowStatus::Ok;
}

bool CPluginUI::releaseMouse()
{
    if (!captured)
        return false;
    captured = false;
    platform::IWindowSystem* ws = windowSystem();
    if (ws != nullptr) {
        if (cursorHidden) {
            ws->warpCursor(savedCursor);
            ws->showCursor(window, true);
        }
        ws->releaseCapture();
    }
    cursorHidden = false;
    return true;
}

void CPluginUI::endlessDragStep()
{
    platform::IWindowSystem* ws = windowSystem();
    platform::ScreenPoint p;
    if (!ws->cursorPosition(p))
        return;
    const platform::ScreenPoint p0 = p;
    const platform::ScreenSize screen = ws->screenSize();
    // Wrapping just inside the edges keeps the cursor off the edge rows, so the
    // next motion can be measured again; the jump itself is not counted.
    if (p.y == 0) {
        p.y = screen.height - 2;
        ws->warpCursor(p);
    }
    if (p.y == screen.height - 1) {
        p.y = 1;
        ws->warpCursor(p);
    }
    if (p.x == 0) {
        p.x = screen.width - 2;
        ws->warpCursor(p);
    }
    if (p.x == screen.width - 1) {
        p.x = 1;
        ws->warpCursor(p);
    }
    const int32_t dx = p0.x - lastRealCursor.x;
    const int32_t dy = p0.y - lastRealCursor.y;
    lastRealCursor = p;
    if (dx == 0 && dy == 0)
        return;
    virtualPos.x += dx;
    virtualPos.y += dy;
    onMouse(virtualPos.x, virtualPos.y, getModifierKeys(), kMouseMove);
}

bool CPluginUI::onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code)
{
    if (code != kMouseWheel)
        lastMousePos = Point {x, y};
    if (modalGroup != nullptr)
        return modalGroup->onMouse(x, y, modifiers, code);
    if (activeGroup != nullptr)
        return activeGroup->onMouse(x, y, modifiers, code);
    bool result = false;
    for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance())
        result = walk.current()->onMouse(x, y, modifiers, code);
    return result;
}

void CPluginUI::onKeyDown(int32_t key) { (void)key; }
void CPluginUI::onKeyUp(int32_t key) { (void)key; }

bool CPluginUI::onFileDrop(const char* path, int32_t x, int32_t y)
{
    if (activeGroup != nullptr)
        return activeGroup->onFileDrop(path, x, y);
    for (GroupWalkScope walk(this); walk.current() != nullptr; walk.advance()) {
        if (walk.current()->onFileDrop(path, x, y))
            return true;
    }
    return false;
}

// ---- groups and controls -------------------------------------------------------

void CPluginUI::addGroup(CControlGroup* group)
{
    if (group == nullptr)
        return;
    CControlGroup* tail = nullptr;
    for (CControlGroup* g = groups; g != nullptr; g = g->nextGroup) {
        if (g == group)
            return;
        tail = g;
    }
    group->nextGroup = nullptr;
    if (tail == nullptr)
        groups = group;
    else
        tail->nextGroup = group;
    setDirty(true);
}

CControlGroup* CPluginUI::removeGroup(CControlGroup* group)
{
    if (groups == nullptr || group == nullptr)
        return nullptr;
    for (CControlGroup* prev = groups; prev->nextGroup != nullptr; prev = prev->nextGroup) {
        if (prev->nextGroup != group)
            continue;
        if (activeGroup == group)
            activeGroup = nullptr;
        if (modalGroup == group) {
            releaseMouse();
            modalGroup = nullptr;
        }
        CControlGroup* following = group->nextGroup;
        forgetGroup(group);
        prev->nextGroup = following;
        group->destroy();
        setDirty(true);
        return following;
    }
    return nullptr;
}

CControlGroup* CPluginUI::getGroupById(int32_t id)
{
    for (CControlGroup* g = groups != nullptr ? groups->nextGroup : nullptr; g != nullptr; g = g->nextGroup) {
        if (g->getId() == id)
            return g;
    }
    return nullptr;
}

CControlGroup* CPluginUI::getGroupByIndex(int32_t index)
{
    CControlGroup* g = groups != nullptr ? groups->nextGroup : nullptr;
    for (int32_t i = 0; g != nullptr && i < index; ++i)
        g = g->nextGroup;
    return g;
}

void CPluginUI::setActiveGroup(CControlGroup* group)
{
    releaseMouse();
    modalGroup = nullptr;
    activeGroup = group;
}

void CPluginUI::addControl(CControl* control)
{
    if (groups != nullptr)
        groups->addControl(control);
}

CControl* CPluginUI::removeControl(CControl* control)
{
    return groups != nullptr ? groups->removeControl(control) : nullptr;
}

CControl* CPluginUI::getControlById(int32_t id)
{
    for (CControlGroup* g = groups; g != nullptr; g = g->nextGroup) {
        if (CControl* c = g->getControlById(id))
            return c;
    }
    return nullptr;
}

// ---- pictures ------------------------------------------------------------------------

CBitmap* CPluginUI::getBitmap(BitmapKey key) { return bitmapStorage().find(key); }

CBitmap* CPluginUI::getBackgroundBitmap() { return bitmapStorage().find(backgroundKey); }

void CPluginUI::setBackgroundKey(BitmapKey key)
{
    if (key == backgroundKey)
        return;
    backgroundKey = key;
    dirty = true;
}

bool CPluginUI::loadBitmap(const char* path, BitmapKey key)
{
    if (path == nullptr)
        return false;
    if (bitmapStorage().find(key) != nullptr)
        return true;
    auto* picture = new (std::nothrow) CBitmap(key);
    if (picture == nullptr)
        return false;
    if (!picture->load(path) || !bitmapStorage().add(picture)) {
        delete picture;
        return false;
    }
    return true;
}

bool CPluginUI::loadBitmapFromFolder(const char* folder, const char* name, BitmapKey key)
{
    if (name == nullptr)
        return false;
    if (folder == nullptr)
        folder = "";
    const size_t folderLength = std::strlen(folder);
    const bool needsSlash = folderLength > 0 && folder[folderLength - 1] != '/';
    char joined[kPathCapacity] = {};
    // A cut path would name another file: refuse what does not fit whole.
    const int n = std::snprintf(joined, sizeof joined, "%s%s%s", folder, needsSlash ? "/" : "", name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof joined)
        return false;
    return loadBitmap(joined, key);
}

// ---- parameters (the plain frame knows none) ------------------------------------------

void CPluginUI::onControlChanged(CControl* control) { (void)control; }
bool CPluginUI::createControls() { return false; }

float CPluginUI::getParameterValue(CControl* control)
{
    (void)control;
    return 0.0f;
}

void CPluginUI::getParameterLabel(CControl* control, char* text)
{
    (void)control;
    writeUndefined(text);
}

void CPluginUI::getParameterDisplay(CControl* control, char* text)
{
    (void)control;
    writeUndefined(text);
}

void CPluginUI::getParameterName(CControl* control, char* text)
{
    (void)control;
    writeUndefined(text);
}

float CPluginUI::getParameterDefault(CControl* control)
{
    (void)control;
    return 0.0f;
}

void CPluginUI::beginEdit(CControl* control) { (void)control; }
void CPluginUI::endEdit(CControl* control) { (void)control; }

bool CPluginUI::setParameterValue(int32_t id, float value)
{
    (void)id;
    (void)value;
    return false;
}
