#pragma once
// The main window's look: a gradient title bar that leaves the name out.
//
// Thread use: the message thread.

#include <juce_gui_basics/juce_gui_basics.h>

class QKLookAndFeel : public juce::LookAndFeel_V4 {
public:
    void drawDocumentWindowTitleBar(juce::DocumentWindow& window, juce::Graphics& g, int w, int h, int titleSpaceX,
        int titleSpaceW, const juce::Image* icon, bool drawTitleTextOnLeft) override;
};
