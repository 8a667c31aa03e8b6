#include "effect/editor/CDriveEditor.h"

#include "effect/dsp/StoredValue.h"
#include "effect/editor/CAboutPage.h"
#include "effect/editor/CPedalCtrlGroup.h"
#include "effect/editor/CVU_Meter.h"
#include "effect/editor/MessageNote.h"
#include "effect/product/CDrive.h"
#include "effect/product/PresetFiles.h"
#include "effect/product/ProgramCommands.h"
#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CProgram.h"
#include "framework/gui/CBitmap.h"
#include "framework/gui/controls/CControlButton.h"
#include "framework/gui/controls/CControlDropDownList.h"
#include "framework/gui/controls/CControlKnob.h"
#include "platform/WindowSystem.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int32_t kFirstKnob = 13;
constexpr int32_t kKnobsPerBox = 5;
constexpr int32_t kFirstEnable = 39;
constexpr int32_t kFirstType = 45;
constexpr int32_t kStoredCount = 50;
constexpr int32_t kPublishedCount = 44;
constexpr int32_t kSeparatorItem = 11;
constexpr int32_t kMoveLeftItem = 12;

// Box types and switches are whole numbers read from stored values, which hold
// whatever a host or a file wrote: far out of range they stay out of range
// (a box with its switch alone) without an undefined conversion.
int32_t wholeOf(float value) { return truncateStored(value, -(1 << 24), 1 << 24, -1); }
constexpr int32_t kMoveRightItem = 13;

constexpr Color kYellow = Color::rgba(255, 255, 0);
constexpr Color kWhite = Color::rgba(255, 255, 255);

struct Picture {
    BitmapKey key;
    const char* file;
};

// In loading order; the first that fails keeps the editor from opening.
constexpr Picture kPictures[] = {
    {0, "bkg_main.tga"},
    {1, "btn_check.tga"},
    {2, "pedal_dist_model_a.tga"},
    {3, "pedal_chorus.tga"},
    {4, "pedal_flanger.tga"},
    {5, "pedal_phaser.tga"},
    {6, "pedal_delay.tga"},
    {7, "pedal_reverb.tga"},
    {8, "pedal_eq.tga"},
    {9, "pedal_noisegate.tga"},
    {10, "pedal_compressor.tga"},
    {13, "pedal_modulator.tga"},
    {12, "about.tga"},
    {14, "eq_fader.tga"},
    {15, "eq_bypass.tga"},
    {16, "check_lamp.tga"},
    {17, "btn_prev_preset.tga"},
    {18, "btn_next_preset.tga"},
};

constexpr BitmapKey kBackgroundKey = 0;
constexpr BitmapKey kFaderKey = 14;
constexpr BitmapKey kBypassKey = 15;
constexpr BitmapKey kPrevKey = 17;
constexpr BitmapKey kNextKey = 18;

const char* const kBoxItems[] = {"<empty>", "Distortion", "Chorus", "Flanger", "Phaser", "Reverb", "Delay",
    "Noise Gate", "Equalizer", "Compressor", "Modulator"};
const char* const kModelItems[] = {"<disabled>", "Model A", "Model B", "Model C", "Model D", "Model E"};

void* definitionModule()
{
    const CPluginDefinition* def = pluginDefinition();
    return def != nullptr ? def->moduleHandle : nullptr;
}

// The editor's picture path as the frame joins it; false when it does not fit.
bool picturePath(const char* folder, const char* name, char (&out)[1024])
{
    const size_t n = std::strlen(folder);
    const bool slash = n > 0 && folder[n - 1] != '/';
    const int written = std::snprintf(out, sizeof out, "%s%s%s", folder, slash ? "/" : "", name);
    return written >= 0 && static_cast<size_t>(written) < sizeof out;
}

// Whoever copied only the library must learn why the editor is missing or
// empty: one line on standard error, the host's log.
void reportPictures(const char* folder, const char* file)
{
    std::fprintf(stderr, "Tambrell: no editor: cannot read the picture \"%s\" in the folder \"%s\"\n", file, folder);
}

}  // namespace

const char* firstMissingPicture(const char* folder)
{
    if (folder == nullptr)
        folder = "";
    for (const Picture& p : kPictures) {
        char path[1024];
        if (!picturePath(folder, p.file, path) || ::access(path, R_OK) != 0)
            return p.file;
    }
    return nullptr;
}

CDriveEditor::CDriveEditor(CDrive* drive)
    : CSynthEditor(definitionModule(), kHeight, kWidth)
    , drive_(drive)
    , commands_(
          drive, definitionModule(), [this] { buildProgramMenu(); }, [this](const char* text) { tell(text); })
{
    engine = drive;
    timerInterval = 50;
}

CDriveEditor::~CDriveEditor()
{
    // When the frame's destructor closes the window, this class's close no
    // longer runs: an open dialog ends here.
    commands_.cancel();
}

int32_t CDriveEditor::close()
{
    commands_.cancel();
    noteToShow_.clear();
    note = nullptr;
    return CSynthEditor::close();
}

void CDriveEditor::tell(const char* text)
{
    if (text != nullptr && hasWindow())
        noteToShow_ = text;
}

EditorView* createDriveEditor(CSynthesizer* engine)
{
    // Only the product's engine can drive the board.
    auto* drive = dynamic_cast<CDrive*>(engine);
    if (drive == nullptr)
        return nullptr;
    // Without its pictures the board would open as an empty window: no editor
    // then, and the host shows its own controls for the parameters.
    if (const char* missing = firstMissingPicture(drive->getGraphicsFolder())) {
        reportPictures(drive->getGraphicsFolder(), missing);
        return nullptr;
    }
    return new (std::nothrow) CDriveEditor(drive);
}

bool CDriveEditor::open(int32_t height, int32_t width, void* parent)
{
    failedPicture_ = nullptr;
    if (CSynthEditor::open(height, width, parent))
        return true;
    const char* folder = drive_ != nullptr ? drive_->getGraphicsFolder() : "";
    if (failedPicture_ != nullptr) {
        reportPictures(folder, failedPicture_);
        return false;
    }
    const char* why = "out of memory";
    switch (windowStatus()) {
    case platform::WindowStatus::NoDisplay: why = "no X display to open"; break;
    case platform::WindowStatus::BadParent: why = "the host's window cannot hold it"; break;
    case platform::WindowStatus::BadArguments: why = "the window size was refused"; break;
    case platform::WindowStatus::NotOpen:
    case platform::WindowStatus::Failed: why = "its window could not be made"; break;
    case platform::WindowStatus::Ok: break;
    }
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "Tambrell: no editor: %s (DISPLAY=%s)\n", why, display != nullptr ? display : "");
    return false;
}

float CDriveEditor::programValue(int32_t index) const { return drive_ != nullptr ? drive_->getParameter(index) : 0.0f; }

bool CDriveEditor::loadPictures()
{
    const char* folder = drive_ != nullptr ? drive_->getGraphicsFolder() : "";
    for (const Picture& p : kPictures)
        if (!loadBitmapFromFolder(folder, p.file, p.key)) {
            failedPicture_ = p.file;
            return false;
        }
    return true;
}

CControlDropDownList* CDriveEditor::addList(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h, Color textColour)
{
    auto* list = new (std::nothrow) CControlDropDownList(id, x, y, w, h);
    if (list == nullptr)
        return nullptr;
    // The list repaints the board under itself.
    list->picture = getBitmap(kBackgroundKey);
    list->pictureX = x;
    list->pictureY = y;
    list->showItemText = 1;
    list->font = 0;
    list->textColor = textColour;
    return list;
}

bool CDriveEditor::createControls()
{
    if (!loadPictures())
        return false;
    CBitmap* background = getBitmap(kBackgroundKey);

    inputMeter = new (std::nothrow) CVU_Meter(-1, 201, 33, 48, 13);
    outputMeter = new (std::nothrow) CVU_Meter(-1, 290, 33, 48, 13);
    addControl(inputMeter);
    addControl(outputMeter);

    for (const int32_t id : {0, 1}) {
        const int32_t x = id == 0 ? 173 : 262;
        auto* knob = new (std::nothrow) CControlKnob(id, x, 23, 18, 18);
        if (knob == nullptr)
            continue;
        knob->picture = background;
        knob->pictureX = x;
        knob->pictureY = 23;
        knob->frameCount = 1;
        knob->pointer = 1;
        knob->innerFactor = 0.1f;
        knob->outerFactor = 0.9f;
        knob->pointerColor = kYellow;
        knob->lineWidth = 2;
        knob->deadBand = 0.1f;
        addControl(knob);
    }

    if (CBitmap* fader = getBitmap(kFaderKey)) {
        const int32_t w = fader->getWidth() / 13;
        for (int32_t i = 0; i < 8; ++i) {
            auto* knob = new (std::nothrow) CControlKnob(3 + i, 411 + 16 * i, 25, w, fader->getHeight());
            if (knob == nullptr)
                continue;
            knob->picture = fader;
            knob->frameCount = 13;
            knob->vertical = 0;
            knob->frameStep = w;
            knob->crossfade = 1;
            knob->pointer = 0;
            knob->deadBand = 0.0f;
            addControl(knob);
        }
    }

    if (CBitmap* bypass = getBitmap(kBypassKey)) {
        auto* button = new (std::nothrow) CControlButton(2, 378, 34, bypass->getWidth(), bypass->getHeight() / 2);
        if (button != nullptr) {
            button->picture = bypass;
            button->mode = CControlButton::kToggleFade;
            addControl(button);
        }
    }

    if (CControlDropDownList* model = addList(11, 542, 34, 67, 15, kYellow)) {
        for (const char* item : kModelItems)
            model->addItem(item, false, false, false);
        addControl(model);
    }

    for (int32_t b = 0; b < kBoxes; ++b) {
        CControlDropDownList* list = addList(kFirstType + b, 25 + 147 * b, 455, 125, 14, kWhite);
        boxTypeLists[b] = list;
        if (list == nullptr)
            continue;
        for (const char* item : kBoxItems)
            list->addItem(item, false, false, false);
        if (DropDownItem* separator = list->addItem("", false, false, false)) {
            separator->kind = DropDownItem::kSeparator;
            separator->text[0] = 0;
        }
        list->addItem("Move Left", false, false, false);
        list->addItem("Move Right", false, false, false);
        addControl(list);
    }

    optionsList = addList(-1, 33, 37, 118, 15, kYellow);
    addControl(optionsList);

    for (const bool next : {false, true}) {
        CBitmap* strip = getBitmap(next ? kNextKey : kPrevKey);
        if (strip == nullptr)
            continue;
        auto* button
            = new (std::nothrow) CControlButton(-1, next ? 154 : 24, 17, strip->getWidth(), strip->getHeight() / 4);
        if (button == nullptr)
            continue;
        button->picture = strip;
        button->mode = CControlButton::kToggleHeld;
        addControl(button);
        (next ? nextPresetButton : prevPresetButton) = button;
    }

    for (int32_t b = 0; b < kBoxes; ++b) {
        pedalGroups[b] = nullptr;
        replaceBox(b, wholeOf(programValue(kFirstType + b)));
    }
    seenSwitches_ = drive_ != nullptr ? drive_->getProgramSwitchCount() : 0;

    buildProgramMenu();
    setBackgroundKey(kBackgroundKey);
    addGroup(new (std::nothrow) CAboutPage(this));
    note = new (std::nothrow) MessageNote(this);
    addGroup(note);
    return true;
}

void CDriveEditor::replaceBox(int32_t box, int32_t type)
{
    if (pedalGroups[box] != nullptr) {
        // A knob or switch of the box held by the mouse (a program switch from
        // the host mid-drag) ends its gesture for the host before it goes.
        if (CControl* held = pedalGroups[box]->captured)
            held->cancel();
        removeGroup(pedalGroups[box]);
        pedalGroups[box] = nullptr;
    }
    if (type == 0)
        return;
    auto* group = new (std::nothrow) CPedalCtrlGroup(this, box);
    if (group == nullptr)
        return;
    group->buildPedalControls(type);
    pedalGroups[box] = group;
    addGroup(group);
}

void CDriveEditor::rebuildPedalGroups()
{
    for (int32_t b = 0; b < kBoxes; ++b)
        replaceBox(b, wholeOf(programValue(kFirstType + b)));
    updateAllValues();
}

void CDriveEditor::followProgramSwitches()
{
    if (drive_ == nullptr || getRootGroup() == nullptr)
        return;
    const uint32_t count = drive_->getProgramSwitchCount();
    if (count == seenSwitches_)
        return;
    seenSwitches_ = count;
    rebuildPedalGroups();
}

void CDriveEditor::idle()
{
    commands_.poll();
    if (!noteToShow_.empty() && note != nullptr) {
        note->show(noteToShow_);
        noteToShow_.clear();
    }
    if (drive_ != nullptr) {
        inputPeak = drive_->getInputPeak();
        outputPeak = drive_->getOutputPeak();
    }
    if (inputMeter != nullptr)
        inputMeter->setLevel(inputPeak);
    if (outputMeter != nullptr)
        outputMeter->setLevel(outputPeak);
    followProgramSwitches();
    if (isDirty())
        for (CPedalCtrlGroup* group : pedalGroups)
            if (group != nullptr)
                group->faceDirty = 1;
    if (note != nullptr && note->isShown() && isDirty() && activeGroup == note) {
        // The board drawn again whole is drawn with its controls, and the note
        // (the last group) over them.
        activeGroup = nullptr;
        CSynthEditor::idle();
        activeGroup = note;
        return;
    }
    CSynthEditor::idle();
}

float CDriveEditor::getParameterDefault(CControl* control)
{
    if (engine == nullptr || control == nullptr)
        return 0.0f;
    return engine->getParameterDefault(control->getId());
}

void CDriveEditor::buildProgramMenu()
{
    if (optionsList == nullptr || drive_ == nullptr)
        return;
    optionsList->removeAllItems();
    presetfiles::buildMenu(*drive_, [this](const char* text, int32_t kind, bool highlighted) {
        if (kind == presetfiles::kTitle)
            optionsList->addTitleItem(text);
        else
            optionsList->addItem(text, kind == presetfiles::kCommand, highlighted, false);
    });
    optionsList->setDirty(true);
}

void* CDriveEditor::ownerWindow() const
{
    platform::IWindowSystem* system = windowSystem();
    if (system == nullptr || !hasWindow())
        return nullptr;
    return reinterpret_cast<void*>(system->nativeHandle(windowId()));
}

void CDriveEditor::runProgramCommand(int32_t position)
{
    if (drive_ == nullptr)
        return;
    commands_.run(position, ownerWindow());
    followProgramSwitches();
}

void CDriveEditor::applyControlValue(CControl* control)
{
    if (control == nullptr || engine == nullptr || engine->getWrapper() == nullptr)
        return;
    const int32_t id = control->getId();
    const float value = control->getValue();
    if (id >= 0 && id < kStoredCount)
        engine->setParameter(id, value);
    if (id >= 0 && id < kPublishedCount)
        engine->getWrapper()->parameterChanged(id, value);
}

void CDriveEditor::stepPreset(int32_t direction)
{
    if (drive_ == nullptr)
        return;
    switch (presetfiles::step(*drive_, direction)) {
    case presetfiles::StepResult::Refused:
    case presetfiles::StepResult::Accepted: buildProgramMenu(); break;
    default: break;
    }
    followProgramSwitches();
}

void CDriveEditor::changeBoxType(int32_t box, CControlDropDownList* list)
{
    const int32_t v = wholeOf(list->getValue());
    if (v == kMoveLeftItem || v == kMoveRightItem) {
        movePedal(box, list, v == kMoveLeftItem ? -1 : +1);
        return;
    }
    if (v < kSeparatorItem)
        replaceBox(box, v);
    applyControlValue(list);
}

void CDriveEditor::movePedal(int32_t box, CControlDropDownList* list, int32_t direction)
{
    if (drive_ == nullptr)
        return;
    // The exchange and its switch in one turn, so a host's chunk restore on
    // another thread cannot land between two of its writes.
    CSynthesizer::ControlTurn turn = drive_->takeControlTurn();
    CProgram* program = drive_->getCurrentProgram();
    if (program == nullptr)
        return;
    if (wholeOf(program->getParameter(kFirstType + box)) == 0) {
        list->setValue(program->getParameter(list->getId()));
        return;
    }
    const int32_t other = (box + direction + kBoxes) % kBoxes;
    // Types and switches travel as whole numbers, the knobs as they are.
    auto swapWhole = [&](int32_t a, int32_t b) {
        const float va = static_cast<float>(wholeOf(program->getParameter(a)));
        const float vb = static_cast<float>(wholeOf(program->getParameter(b)));
        program->setParameter(a, vb);
        program->setParameter(b, va);
    };
    swapWhole(kFirstType + box, kFirstType + other);
    swapWhole(kFirstEnable + box, kFirstEnable + other);
    for (int32_t j = 0; j < kKnobsPerBox; ++j) {
        const int32_t a = kFirstKnob + kKnobsPerBox * box + j;
        const int32_t b = kFirstKnob + kKnobsPerBox * other + j;
        const float va = program->getParameter(a);
        program->setParameter(a, program->getParameter(b));
        program->setParameter(b, va);
    }
    drive_->selectProgram(0);
    turn.unlock();
    followProgramSwitches();
}

void CDriveEditor::onControlChanged(CControl* control)
{
    if (control == nullptr)
        return;
    if (control == optionsList) {
        runProgramCommand(wholeOf(control->getValue()));
        return;
    }
    if (control == prevPresetButton || control == nextPresetButton) {
        stepPreset(control == prevPresetButton ? -1 : +1);
        return;
    }
    for (int32_t b = 0; b < kBoxes; ++b) {
        if (control == boxTypeLists[b]) {
            changeBoxType(b, boxTypeLists[b]);
            return;
        }
    }
    applyControlValue(control);
}
