#pragma once

#include "effect/editor/CDriveEditor.h"
#include "effect/product/CDrive.h"
#include "framework/engine/CPluginWrapper.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/effect/product/product_rig.h"

#include <memory>
#include <string>
#include <vector>

namespace boardtest {

// The host as the editor reaches it: automation and edit gestures in order.
class RecordingHost : public CPluginWrapper {
public:
    void parameterChanged(int32_t index, float value) override
    {
        log.push_back("change " + std::to_string(index));
        values.push_back(value);
    }
    void beginEdit(int32_t index) override { log.push_back("begin " + std::to_string(index)); }
    void endEdit(int32_t index) override { log.push_back("end " + std::to_string(index)); }
    EditorView* getEditor() override { return editor; }
    // The entries for one parameter, in order.
    std::vector<std::string> about(int32_t index) const;

    EditorView* editor = nullptr;
    std::vector<std::string> log;
    std::vector<float> values;
};

// A data folder with the built pictures and a presets folder, an engine on
// it, and the board open in a headless window.
class Board {
public:
    // Preset files named in presets (in that order, each a default program
    // named after its file) are in the presets folder before the engine starts.
    explicit Board(bool withPictures = true, const std::vector<std::string>& presets = {});
    ~Board();

    bool open();
    void close();
    // One tick of the board's timer.
    void tick();
    // A left click at a board position.
    void click(int32_t x, int32_t y);
    // The board's window as presented, as 0xRRGGBB.
    uint32_t rgb(int32_t x, int32_t y) const;
    // The window as a 24-bit BMP a person can open; false when not written.
    bool saveBmp(const std::string& path) const;
    // A user's choice in a drop-down list (the list's own report path).
    void choose(CControl* list, int32_t item);

    producttest::DataRoot root;
    platform::HeadlessWindowSystem ws {1280, 1024};
    RecordingHost host;
    std::unique_ptr<CDrive> drive;
    CDriveEditor* editor = nullptr;
};

}  // namespace boardtest
