// The X11 calls go through JUCE's own connection and its table of Xlib
// functions (JUCE loads libX11 at run time), so requests to the plug-in's child
// are ordered with JUCE's own, and an X error lands in JUCE's handler, which
// reports it and carries on.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "host/plugin/OVPluginWindow.h"

#include "framework/vst/VstOpcodes.h"
#include "host/plugin/OVPlugin.h"

namespace {

// Shared by every editor window: an editor idle that once threw is never
// sent again.
bool gEditorIdleBusy = false;

::Display* display() { return juce::XWindowSystem::getInstance()->getDisplay(); }

// The children of a window, bottom-most first; empty on any error.
std::vector<::Window> childrenOf(::Window parent)
{
    std::vector<::Window> out;
    ::Display* d = display();
    if (d == nullptr || parent == 0)
        return out;
    ::Window root = 0, up = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (juce::X11Symbols::getInstance()->xQueryTree(d, parent, &root, &up, &children, &count) != 0 && children) {
        out.assign(children, children + count);
    }
    if (children != nullptr)
        juce::X11Symbols::getInstance()->xFree(children);
    return out;
}

}  // namespace

OVPluginWindow::OVPluginWindow(OVPlugin& plugin)
    : plugin_(plugin)
{
    setOpaque(true);
    setVisible(true);
    setWantsKeyboardFocus(true);
    setSize(kDefaultWidth, kDefaultHeight);
    watcher_ = std::make_unique<CompMovementWatcher>(*this);
}

OVPluginWindow::~OVPluginWindow()
{
    watcher_.reset();
    closeEditor();
    plugin_.forgetEditorWindow(this);
    stopTimer();
}

void OVPluginWindow::openEditor()
{
    juce::ComponentPeer* peer = getPeer();
    if (editorOpen_ || peer == nullptr)
        return;
    editorOpen_ = true;
    HostedPlugin& host = plugin_.host();
    parent_ = reinterpret_cast<::Window>(peer->getNativeHandle());
    // The plug-in talks to the server on a connection of its own: the window
    // it is given must exist there before it is asked to use it.
    if (::Display* d = display())
        juce::X11Symbols::getInstance()->xSync(d, False);

    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent_));
    rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    host.dispatch(effGetProgram);
    host.keysWanted.store(host.dispatch(effKeysRequired) == 0);

    const std::vector<::Window> children = childrenOf(parent_);
    if (children.empty()) {
        // No editor appeared: nothing to close later.
        editorOpen_ = false;
        return;
    }
    child_ = children.back();  // the top-most: the one just opened
    // The child keeps its own size until the component has adopted it:
    // moving it now would stretch it to the default size first.
    moving_ = true;
    setSize(kDefaultWidth, kDefaultHeight);
    moving_ = false;
    syncSizeToChild(true);
    moveChild();
    startTimer(18 + juce::Random::getSystemRandom().nextInt(5));
    repaint();
}

void OVPluginWindow::closeEditor()
{
    if (!editorOpen_)
        return;
    editorOpen_ = false;
    plugin_.host().dispatch(effEditClose);
    stopTimer();
    if (child_ != 0 && childStillExists())
        if (::Display* d = display()) {
            juce::X11Symbols::getInstance()->xDestroyWindow(d, child_);
            juce::X11Symbols::getInstance()->xFlush(d);
        }
    child_ = 0;
}

bool OVPluginWindow::childStillExists() const
{
    for (::Window w : childrenOf(parent_))
        if (w == child_)
            return true;
    return false;
}

void OVPluginWindow::syncSizeToChild(bool evenWhenHidden)
{
    ::Display* d = display();
    if (child_ == 0 || d == nullptr || !childStillExists())
        return;
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned int w = 0, h = 0, border = 0, depth = 0;
    if (juce::X11Symbols::getInstance()->xGetGeometry(d, child_, &root, &x, &y, &w, &h, &border, &depth) == 0)
        return;
    if ((evenWhenHidden || isShowing()) && w > 0 && h > 0 && w < 16384 && h < 16384
        && (static_cast<int>(w) != getWidth() || static_cast<int>(h) != getHeight())) {
        setSize(static_cast<int>(w), static_cast<int>(h));
        sizeCheckCountdown_ = 0;
    }
}

void OVPluginWindow::moveChild()
{
    if (moving_)
        return;
    moving_ = true;
    juce::Component* top = getTopLevelComponent();
    ::Display* d = display();
    if (top != nullptr && top->getPeer() != nullptr && child_ != 0 && d != nullptr && getWidth() > 0
        && getHeight() > 0) {
        const juce::Point<int> at = top->getLocalPoint(this, juce::Point<int>());
        auto* x11 = juce::X11Symbols::getInstance();
        x11->xMoveResizeWindow(
            d, child_, at.x, at.y, static_cast<unsigned int>(getWidth()), static_cast<unsigned int>(getHeight()));
        x11->xMapRaised(d, child_);
        x11->xFlush(d);
    }
    moving_ = false;
}

void OVPluginWindow::timerCallback()
{
    if (!gEditorIdleBusy) {
        gEditorIdleBusy = true;
        bool threw = false;
        plugin_.host().dispatch(effEditIdle, 0, 0, nullptr, 0.0f, &threw);
        if (!threw)
            gEditorIdleBusy = false;
    }
    if (--sizeCheckCountdown_ <= 0) {
        sizeCheckCountdown_ = 10;
        syncSizeToChild();
    }
}

void OVPluginWindow::mouseDown(const juce::MouseEvent&)
{
    toFront(true);
    grabKeyboardFocus();
}

bool OVPluginWindow::keyPressed(const juce::KeyPress&) { return plugin_.keysWanted(); }

bool OVPluginWindow::keyStateChanged(bool) { return plugin_.keysWanted(); }

// ---- watcher ---------------------------------------------------------------------

OVPluginWindow::CompMovementWatcher::CompMovementWatcher(OVPluginWindow& owner)
    : juce::ComponentMovementWatcher(&owner)
    , owner_(owner)
{
}

void OVPluginWindow::CompMovementWatcher::componentMovedOrResized(bool, bool) { owner_.moveChild(); }

void OVPluginWindow::CompMovementWatcher::componentPeerChanged()
{
    owner_.closeEditor();
    owner_.openEditor();
}

void OVPluginWindow::CompMovementWatcher::componentVisibilityChanged()
{
    const bool showing = owner_.isShowing();
    if (showing != owner_.wasShowing_) {
        owner_.wasShowing_ = showing;
        if (showing)
            owner_.openEditor();
        else
            owner_.closeEditor();
    }
    owner_.moveChild();
}
