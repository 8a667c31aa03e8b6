#pragma once

#include "effect/product/ProgramCommands.h"
#include "framework/gui/CSynthEditor.h"

#include <cstdint>
#include <string>

class CAboutPage;
class CControlButton;
class CControlDropDownList;
class CDrive;
class CPedalCtrlGroup;
class MessageNote;
class CVU_Meter;

// The pedal board: level knobs with meters, the master equaliser's faders
// and switch, the amplifier-model list, five pedal boxes with their type
// lists, the program menu with previous/next buttons, and the about page.
// UI thread only; program switches made elsewhere reach it as requests that
// the next tick applies.
class CDriveEditor : public CSynthEditor {
public:
    static constexpr int32_t kHeight = 484;
    static constexpr int32_t kWidth = 766;
    static constexpr int32_t kBoxes = 5;

    explicit CDriveEditor(CDrive* drive);
    ~CDriveEditor() override;

    // Says on standard error why, when it fails.
    bool open(int32_t height, int32_t width, void* parent) override;
    bool createControls() override;
    // A dialog still open goes with the window, unanswered.
    int32_t close() override;
    void idle() override;
    void onControlChanged(CControl* control) override;
    float getParameterDefault(CControl* control) override;

    // The program menu's command at a position of the Options list; a save or
    // load finishes on a later tick, once its dialog has been answered.
    void runProgramCommand(int32_t position);
    // A message over the board until the next click (shown from the next tick).
    void tell(const char* text);
    void buildProgramMenu();
    // An ordinary control's value into the engine (ids 0..49) and to the host
    // (ids 0..43).
    void applyControlValue(CControl* control);
    // Replaces the five pedal groups with groups for the program's box types.
    void rebuildPedalGroups();

    float inputPeak = 0.0f;
    float outputPeak = 0.0f;
    CPedalCtrlGroup* pedalGroups[kBoxes] = {};
    CVU_Meter* inputMeter = nullptr;
    CVU_Meter* outputMeter = nullptr;
    CControlDropDownList* boxTypeLists[kBoxes] = {};
    CControlDropDownList* optionsList = nullptr;
    CControlButton* nextPresetButton = nullptr;
    CControlButton* prevPresetButton = nullptr;
    MessageNote* note = nullptr;

private:
    bool loadPictures();
    CControlDropDownList* addList(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h, Color textColour);
    void replaceBox(int32_t box, int32_t type);
    void changeBoxType(int32_t box, CControlDropDownList* list);
    void movePedal(int32_t box, CControlDropDownList* list, int32_t direction);
    void stepPreset(int32_t direction);
    // Rebuilds the pedal groups when the engine switched programs since the
    // last look (from this thread or any other).
    void followProgramSwitches();
    float programValue(int32_t index) const;
    // The editor's window as the dialogs' owner.
    void* ownerWindow() const;

    CDrive* drive_;
    uint32_t seenSwitches_ = 0;
    const char* failedPicture_ = nullptr;  // the first that did not load, at the last open
    ProgramCommands commands_;
    std::string noteToShow_;
};

// The first of the board's pictures that the folder lacks (or cannot give for
// reading); null when all are there.
const char* firstMissingPicture(const char* folder);

// The product definition's editor factory.
EditorView* createDriveEditor(CSynthesizer* engine);
