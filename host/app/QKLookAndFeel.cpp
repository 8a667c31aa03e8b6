#include "host/app/QKLookAndFeel.h"

void QKLookAndFeel::drawDocumentWindowTitleBar(juce::DocumentWindow& window, juce::Graphics& g, int w, int h,
    int titleSpaceX, int titleSpaceW, const juce::Image* icon, bool drawTitleTextOnLeft)
{
    const bool active = window.isActiveWindow();
    const juce::Colour background = window.getBackgroundColour();
    g.setGradientFill(juce::ColourGradient(
        background, 0.0f, 0.0f, background.contrasting(active ? 0.15f : 0.05f), 0.0f, static_cast<float>(h), false));
    g.fillAll();

    const juce::Font font(static_cast<float>(h) * 0.65f, juce::Font::bold);
    g.setFont(font);
    int textW = font.getStringWidth(window.getName());
    int iconW = 0;
    int iconH = 0;
    if (icon != nullptr && icon->getHeight() > 0) {
        iconH = static_cast<int>(font.getHeight());
        iconW = icon->getWidth() * iconH / icon->getHeight() + 4;
    }
    textW = std::min(titleSpaceW, textW + iconW);
    int x = drawTitleTextOnLeft ? titleSpaceX : std::max(titleSpaceX, (w - textW) / 2);
    if (x + textW > titleSpaceX + titleSpaceW)
        x = titleSpaceX + titleSpaceW - textW;
    if (icon != nullptr && iconH > 0) {
        g.setOpacity(active ? 1.0f : 0.6f);
        g.drawImageWithin(*icon, x, (h - iconH) / 2, iconW, iconH, juce::RectanglePlacement::centred, false);
    }
    // The name itself stays off the bar: the editor below carries it.
    g.setColour(background.contrasting(active ? 0.7f : 0.4f));
}
