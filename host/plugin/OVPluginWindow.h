#pragma once
// The component that hosts the plug-in's own editor: the plug-in opens its
// editor as a native child of the X11 window of this component's top-level
// window. The component keeps the child in place and in size, idles the
// editor, and opens and closes it as the component is shown, hidden or moved
// to another native window.
//
// Thread use: message thread only.

#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

class OVPlugin;

class OVPluginWindow : public juce::Component, private juce::Timer {
public:
    static constexpr int kDefaultWidth = 766;
    static constexpr int kDefaultHeight = 484;

    explicit OVPluginWindow(OVPlugin& plugin);
    ~OVPluginWindow() override;

    bool isEditorOpen() const { return editorOpen_; }
    // The plug-in's X11 child window, 0 while none is known.
    unsigned long childWindow() const { return child_; }

    void openEditor();
    void closeEditor();
    // Adopts the child's size; only while showing unless told otherwise (on
    // opening, before anything has moved the child).
    void syncSizeToChild(bool evenWhenHidden = false);
    void moveChild();

    void paint(juce::Graphics&) override { }
    void mouseDown(const juce::MouseEvent&) override;
    bool keyPressed(const juce::KeyPress&) override;
    bool keyStateChanged(bool isKeyDown) override;
    void broughtToFront() override { }

private:
    class CompMovementWatcher : public juce::ComponentMovementWatcher {
    public:
        explicit CompMovementWatcher(OVPluginWindow& owner);
        void componentMovedOrResized(bool wasMoved, bool wasResized) override;
        void componentPeerChanged() override;
        void componentVisibilityChanged() override;

    private:
        OVPluginWindow& owner_;
    };

    void timerCallback() override;
    bool childStillExists() const;

    OVPlugin& plugin_;
    bool editorOpen_ = false;
    bool wasShowing_ = false;
    bool moving_ = false;
    unsigned long child_ = 0;
    unsigned long parent_ = 0;
    int sizeCheckCountdown_ = 0;
    std::unique_ptr<CompMovementWatcher> watcher_;
};
