#pragma once
#include <cstdint>

#include "framework/gui/CPluginUI.h"

class CSynthesizer;

// The editor with its parameter bridge: a control's id is the index of the
// engine parameter it shows; edits are framed for the host's automation, and on
// the native protocol a right click first offers the host's parameter menu.
class CSynthEditor : public CPluginUI {
public:
    CSynthEditor(void* moduleHandle, int32_t height, int32_t width);

    bool onMouse(int32_t x, int32_t y, ModifierKeys modifiers, MouseCode code) override;
    float getParameterValue(CControl* control) override;
    void getParameterLabel(CControl* control, char* text) override;
    void getParameterDisplay(CControl* control, char* text) override;
    void getParameterName(CControl* control, char* text) override;
    void beginEdit(CControl* control) override;
    void endEdit(CControl* control) override;
    bool setParameterValue(int32_t id, float value) override;
    // Deletes the editor, closing an open window first.
    virtual void destroy() { destroyView(); }

    // The engine whose parameters the controls show; set by the product's editor.
    CSynthesizer* engine = nullptr;

private:
    // The native host's own menu for the parameter under a right click; true
    // when it took the click.
    bool offerParameterMenu(int32_t x, int32_t y);
};
