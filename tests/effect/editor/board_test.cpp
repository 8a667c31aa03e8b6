// The pedal board on the headless window system: what it builds from the
// program, what its controls do to the engine and the host, and what it
// paints.
#include "effect/editor/CAboutPage.h"
#include "effect/editor/CPedalCtrlGroup.h"
#include "effect/editor/CVU_Meter.h"
#include "framework/gui/CBitmapStorage.h"
#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/controls/CControlButton.h"
#include "framework/gui/controls/CControlDropDownList.h"
#include "tests/effect/editor/BoardRig.h"
#include "tests/support/SignalGenerators.h"
#include "tests/support/SignalMeasure.h"
#include "tests/support/Waiting.h"
#include "tests/support/WorkGrowth.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

using boardtest::Board;

int redOf(uint32_t rgb) { return static_cast<int>((rgb >> 16) & 255); }

int controlCount(CControlGroup* g)
{
    int n = 0;
    for (CControl* c = g->controls; c != nullptr; c = c->next)
        ++n;
    return n;
}

void setTypes(CDrive& drive, std::initializer_list<float> types)
{
    int b = 0;
    for (float t : types)
        drive.getCurrentProgram()->setParameter(45 + b++, t);
}

TEST(Board, OpensWithOneGroupPerFilledBoxAndTheFacesByType)
{
    Board board;
    setTypes(*board.drive, {1.0f, 0.5f, 6.0f, 5.0f, 12.0f});
    board.drive->getCurrentProgram()->setParameter(39, 0.5f);
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    EXPECT_EQ(e.timerInterval, 50);
    ASSERT_NE(e.pedalGroups[0], nullptr);
    EXPECT_EQ(controlCount(e.pedalGroups[0]), 5) << "four knobs and the switch";
    EXPECT_EQ(e.pedalGroups[1], nullptr) << "0.5 truncates to an empty box";
    ASSERT_NE(e.pedalGroups[2], nullptr);
    EXPECT_EQ(e.pedalGroups[2]->faceBitmap, e.getBitmap(6)) << "delay";
    EXPECT_EQ(controlCount(e.pedalGroups[2]), 4);
    EXPECT_EQ(e.pedalGroups[3]->faceBitmap, e.getBitmap(7)) << "reverb";
    ASSERT_NE(e.pedalGroups[4], nullptr);
    EXPECT_EQ(e.pedalGroups[4]->faceBitmap, nullptr) << "a type past 10 gets the switch alone";
    EXPECT_EQ(controlCount(e.pedalGroups[4]), 1);
    // The board is painted: box 0's lamp is off at exactly 0.5, box 2's is on.
    const int lamp0 = redOf(board.rgb(5 + 84, 67 + 127));
    const int lamp2 = redOf(board.rgb(5 + 2 * 147 + 84, 67 + 127));
    EXPECT_GT(lamp2, lamp0 + 80);
    EXPECT_EQ(e.optionsList->getItemCount(), 7);
    EXPECT_EQ(e.optionsList->getItem(1)->kind, DropDownItem::kTitle);
    EXPECT_STREQ(e.optionsList->getItem(5)->text, "Program List");
    EXPECT_EQ(e.optionsList->getItem(6)->kind, DropDownItem::kCommand);
    EXPECT_TRUE(board.saveBmp(std::string(TB_MODULE_DIR) + "/../board_headless.bmp"));
}

// Guards an undefined float-to-int conversion of box types and switches read
// from a program a host or file filled with values far out of range.
TEST(Board, TypesFarOutOfRangeShowTheSwitchAloneAndMoveAsWholeNumbers)
{
    Board board;
    setTypes(*board.drive, {1e10f, NAN, -1e10f, 0, 0});
    CProgram* p = board.drive->getCurrentProgram();
    p->setParameter(39, 3e9f);
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    for (int b = 0; b < 3; ++b) {
        ASSERT_NE(e.pedalGroups[b], nullptr) << b;
        EXPECT_EQ(controlCount(e.pedalGroups[b]), 1) << b;
    }
    board.choose(e.boxTypeLists[0], 13);  // Move Right: to box 1
    EXPECT_EQ(p->getParameter(46), 16777216.0f);
    EXPECT_EQ(p->getParameter(40), 16777216.0f);
    EXPECT_EQ(p->getParameter(45), -1.0f);
}

TEST(Board, AMissingPictureKeepsItClosedAndTheNextOpenLoadsOnlyThatOne)
{
    bitmapStorage().clear();
    Board board(false);
    const std::string gfx = board.root.path() + "/Gfx";
    std::filesystem::create_directory(gfx);
    for (const auto& f : std::filesystem::directory_iterator(std::string(TB_MODULE_DIR) + "/Gfx"))
        if (f.path().filename() != "btn_next_preset.tga")
            std::filesystem::copy_file(f.path(), gfx + "/" + f.path().filename().string());
    EXPECT_FALSE(board.open());
    EXPECT_EQ(board.ws.windowCount(), 0);
    EXPECT_NE(bitmapStorage().find(17), nullptr);
    EXPECT_EQ(bitmapStorage().find(18), nullptr);
    // The other pictures are cached: even gone from the folder they are not needed.
    std::filesystem::remove(gfx + "/bkg_main.tga");
    std::filesystem::copy_file(std::string(TB_MODULE_DIR) + "/Gfx/btn_next_preset.tga", gfx + "/btn_next_preset.tga");
    EXPECT_TRUE(board.open());
}

// Whoever copied only the library learns why there is no editor.
TEST(Board, WithoutItsPicturesThereIsNoEditorAndStandardErrorSaysWhy)
{
    bitmapStorage().clear();
    Board board(false);
    const std::string line = "Tambrell: no editor: cannot read the picture \"bkg_main.tga\" in the folder \""
        + board.root.path() + "/Gfx\"\n";
    testing::internal::CaptureStderr();
    EditorView* none = createDriveEditor(board.drive.get());
    const bool opened = board.open();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line);
    EXPECT_EQ(none, nullptr);
    EXPECT_FALSE(opened);

    // With the pictures, an open that fails for another reason says that one.
    ::symlink((std::string(TB_MODULE_DIR) + "/Gfx").c_str(), (board.root.path() + "/Gfx").c_str());
    EditorView* editor = createDriveEditor(board.drive.get());
    ASSERT_NE(editor, nullptr);
    editor->destroyView();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(board.editor->openView(nullptr, board.editor->viewSize()));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("Tambrell: no editor: the host's window cannot hold it", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

// A host that has not started processing has sent no signal: both meters rest.
TEST(Board, MetersRestUntilAudioArrives)
{
    Board board;
    ASSERT_TRUE(board.open());
    board.tick();
    for (const int32_t x0 : {201, 290}) {
        int yellow = 0;
        for (int32_t x = x0 + 1; x < x0 + 47; ++x)
            yellow += board.rgb(x, 39) == 0xFFFF00u;
        EXPECT_EQ(yellow, 0) << "meter at " << x0;
    }
}

// The meters read |L + R| before the engine's fixed output stage: a 0.8 sine on
// both inputs shows full red meters while the outputs peak at 0.4 (-8 dBFS).
TEST(Board, FullRedMetersAreNotAClippingOutput)
{
    Board board;
    ASSERT_TRUE(board.open());
    board.drive->setSampleRate(48000.0);
    board.drive->selectProgram(0);
    const int frames = 48000;
    std::vector<float> l = tbtest::makeSine(1000.0, 48000.0, frames, 0.8f), r = l, ol(frames), orr(frames);
    for (int at = 0; at < frames; at += 512) {
        float* in[2] = {l.data() + at, r.data() + at};
        float* out[2] = {ol.data() + at, orr.data() + at};
        ASSERT_EQ(board.drive->render(in, out, std::min(512, frames - at), true), 0);
    }
    board.tick();
    for (const int32_t x0 : {201, 290}) {
        int red = 0;
        for (int32_t x = x0 + 1; x < x0 + 47; ++x)
            red += board.rgb(x, 39) == 0xFF3C3Cu;
        EXPECT_EQ(red, 46) << "meter at " << x0;
    }
    EXPECT_NEAR(tbtest::peakAbs(ol.data() + frames / 2, frames / 2), 0.4f, 0.005f);
    EXPECT_NEAR(tbtest::peakAbs(orr.data() + frames / 2, frames / 2), 0.4f, 0.005f);
}

TEST(Board, KnobDragMovesTheEngineAndIsFramedForTheHost)
{
    Board board;
    setTypes(*board.drive, {2.0f, 0, 0, 0, 0});
    ASSERT_TRUE(board.open());
    const platform::WindowId w = board.editor->windowId();
    board.ws.moveCursorTo(w, 5 + 42 + 11, 67 + 126 + 11);
    board.ws.pressButton(1);
    board.ws.pump();
    board.ws.moveCursorTo(w, 5 + 42 + 11, 67 + 126 - 39);  // 50 pixels up
    board.ws.pump();
    board.ws.releaseButton(1);
    board.ws.pump();
    const float v = board.drive->getParameter(13);
    // From the centre the first move leaves the dead band at once: 50 pixels
    // of 0.01 each, halved.
    EXPECT_NEAR(v, 0.75f, 1e-4f);
    const std::vector<std::string> log = board.host.about(13);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), "begin 13");
    EXPECT_EQ(log[1], "change 13");
    EXPECT_EQ(log.back(), "end 13");
    EXPECT_FLOAT_EQ(board.host.values.back(), v);
}

// Regression: a program switch from the host during a drag on a box's knob
// rebuilt the box and left the host's gesture open.
TEST(Board, RebuildDuringAKnobDragEndsTheHostsGesture)
{
    Board board;
    setTypes(*board.drive, {2.0f, 0, 0, 0, 0});
    ASSERT_TRUE(board.open());
    board.ws.moveCursorTo(board.editor->windowId(), 5 + 42 + 11, 67 + 126 + 11);
    board.ws.pressButton(1);
    board.ws.pump();
    std::thread host([&] { board.drive->selectProgram(0); });
    host.join();
    board.tick();
    const std::vector<std::string> log = board.host.about(13);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "begin 13");
    EXPECT_EQ(log.back(), "end 13");
    EXPECT_FALSE(board.editor->isMouseCaptured());
}

TEST(Board, SwitchClickTogglesTheBoxAndItsLamp)
{
    Board board;
    setTypes(*board.drive, {9.0f, 0, 0, 0, 0});
    ASSERT_TRUE(board.open());
    const int on = redOf(board.rgb(5 + 84, 67 + 127));
    board.click(5 + 84, 67 + 300);
    EXPECT_EQ(board.drive->getParameter(39), 0.0f);
    EXPECT_EQ(board.host.about(39), (std::vector<std::string> {"begin 39", "change 39", "end 39"}));
    board.tick();
    EXPECT_LT(redOf(board.rgb(5 + 84, 67 + 127)), on - 80);
}

// Regression: a box switch moved by the host (automation) showed its new
// position while the lamp kept the old one.
TEST(Board, LampFollowsTheSwitchWhenTheHostMovesIt)
{
    Board board;
    setTypes(*board.drive, {9.0f, 0, 0, 0, 0});
    ASSERT_TRUE(board.open());
    board.tick();
    const int on = redOf(board.rgb(5 + 84, 67 + 127));
    board.drive->setParameter(39, 0.0f);
    board.editor->requestParameterValue(39, 0.0f);
    board.tick();
    EXPECT_LT(redOf(board.rgb(5 + 84, 67 + 127)), on - 80);
}

TEST(Board, TypeListsReplaceGroupsAndKeepTheBoxValues)
{
    Board board;
    setTypes(*board.drive, {1.0f, 0, 0, 0, 0});
    board.drive->getCurrentProgram()->setParameter(13, 0.8f);
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    board.choose(e.boxTypeLists[0], 0);
    EXPECT_EQ(e.pedalGroups[0], nullptr);
    EXPECT_EQ(board.drive->getParameter(45), 0.0f);
    board.choose(e.boxTypeLists[0], 4);
    ASSERT_NE(e.pedalGroups[0], nullptr);
    EXPECT_EQ(board.drive->getParameter(45), 4.0f);
    EXPECT_FLOAT_EQ(e.pedalGroups[0]->getControlById(13)->getValue(), 0.8f);
    EXPECT_TRUE(board.host.about(45).empty()) << "box types are not published";
}

TEST(Board, MovesExchangeWholeNumberSwitchesAndWrapAround)
{
    Board board;
    setTypes(*board.drive, {3.0f, 0, 0, 0, 8.0f});
    CProgram* p = board.drive->getCurrentProgram();
    p->setParameter(39, 0.7f);
    p->setParameter(13, 0.25f);
    p->setParameter(33, 0.75f);
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    board.choose(e.boxTypeLists[0], 12);  // Move Left from box 0: box 4
    EXPECT_EQ(p->getParameter(45), 8.0f);
    EXPECT_EQ(p->getParameter(49), 3.0f);
    EXPECT_EQ(p->getParameter(43), 0.0f) << "0.7 travels as 0";
    EXPECT_EQ(p->getParameter(39), 1.0f);
    EXPECT_FLOAT_EQ(p->getParameter(33), 0.25f);
    EXPECT_FLOAT_EQ(p->getParameter(13), 0.75f);
    ASSERT_NE(e.pedalGroups[4], nullptr);
    EXPECT_EQ(e.pedalGroups[4]->faceBitmap, e.getBitmap(4)) << "the flanger moved";
    board.tick();
    EXPECT_EQ(e.boxTypeLists[4]->getValue(), 3.0f);

    // Moving an empty box shows its type again and changes nothing.
    const std::vector<std::string> before = board.host.log;
    board.choose(e.boxTypeLists[2], 13);
    EXPECT_EQ(e.boxTypeLists[2]->getValue(), 0.0f);
    EXPECT_EQ(board.host.log, before);
}

// Regression: a move exchanged its values outside the engine's control turn,
// where a host's chunk restore could land between two of its writes.
TEST(Board, MoveWaitsForTheControlTurn)
{
    Board board;
    setTypes(*board.drive, {3.0f, 0, 0, 0, 0});
    ASSERT_TRUE(board.open());
    CProgram* p = board.drive->getCurrentProgram();
    std::thread mover;
    {
        const auto turn = board.drive->takeControlTurn();
        std::atomic<pid_t> moverThread {0};
        mover = std::thread([&] {
            moverThread.store(tbtest::threadId());
            board.choose(board.editor->boxTypeLists[0], 13);
        });
        // Until the move is held back (or, were it not to wait, has run).
        EXPECT_TRUE(tbtest::waitUntil([&] { return moverThread.load() != 0; }));
        EXPECT_TRUE(tbtest::waitUntilBlocked(moverThread.load()));
        EXPECT_EQ(p->getParameter(45), 3.0f) << "nothing moves while another thread has the turn";
    }
    mover.join();
    EXPECT_EQ(p->getParameter(46), 3.0f);
}

TEST(Board, PresetButtonsStepAndRebuildTheMenu)
{
    Board board(true, {"a", "b", "c"});  // starts on "a"
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    board.click(24 + 4, 17 + 17);  // previous at the first: nothing
    EXPECT_STREQ(board.drive->getCurrentProgram()->name, "a");
    board.click(154 + 4, 17 + 17);
    EXPECT_STREQ(board.drive->getCurrentProgram()->name, "b");
    EXPECT_STREQ(e.optionsList->getItem(0)->text, "b");
    EXPECT_TRUE(e.optionsList->getItem(7)->highlighted);
}

TEST(Board, OptionsListRunsTheProgramCommands)
{
    Board board(true, {"a"});
    board.drive->getCurrentProgram()->setParameter(45, 2.0f);
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    board.choose(e.optionsList, 4);  // Reset Program
    EXPECT_STREQ(board.drive->getCurrentProgram()->name, "<noname>");
    EXPECT_STREQ(e.optionsList->getItem(0)->text, "<noname>");
    EXPECT_FALSE(e.optionsList->getItem(6)->highlighted);
    EXPECT_EQ(e.pedalGroups[0], nullptr) << "the reset program's boxes are empty";
    board.choose(e.optionsList, 6);  // the preset "a"
    EXPECT_STREQ(board.drive->getCurrentProgram()->name, "a");
    EXPECT_TRUE(e.optionsList->getItem(6)->highlighted);
}

// Regression: each item appended to the program menu walked the whole list,
// so a big presets folder made every rebuild (opening, previous/next, a menu
// choice) quadratic: seconds for 40,000 presets.
TEST(Board, ProgramMenuOfTenTimesThePresetsTakesAboutTenTimesTheWork)
{
    Board board;
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    auto rebuild = [&](int presets) {
        producttest::fillPresetList(*board.drive, presets);
        const double took = tbtest::leastThreadSeconds(5, [&] { e.buildProgramMenu(); });
        EXPECT_EQ(e.optionsList->getItemCount(), 6 + presets);
        EXPECT_STREQ(e.optionsList->getItem(5 + presets)->text, presets == 4000 ? "03999" : "39999");
        return took;
    };
    const double small = rebuild(4000);
    const double big = rebuild(40000);
    EXPECT_LT(big, 40.0 * small) << small << " s for 4,000 presets, " << big << " s for 40,000";
}

TEST(Board, ProgramSwitchFromAnotherThreadRebuildsOnTheNextTick)
{
    Board board;
    ASSERT_TRUE(board.open());
    std::vector<uint8_t> chunk(460);
    board.drive->getProgramChunk(chunk.data());
    float type = 5.0f;
    std::memcpy(chunk.data() + 4 + 4 * 46, &type, 4);
    std::thread host([&] { board.drive->setProgramChunk(chunk.data(), 460); });
    host.join();
    EXPECT_EQ(board.editor->pedalGroups[1], nullptr) << "nothing of the board is touched off its thread";
    board.tick();
    ASSERT_NE(board.editor->pedalGroups[1], nullptr);
    EXPECT_EQ(board.editor->pedalGroups[1]->faceBitmap, board.editor->getBitmap(7));
}

TEST(Board, AboutOpensOnlyInsideTheNamePlateAndAnyPressCloses)
{
    Board board;
    ASSERT_TRUE(board.open());
    CDriveEditor& e = *board.editor;
    board.click(750, 59);
    board.click(749, 60);
    EXPECT_EQ(e.activeGroup, nullptr);
    board.click(749, 59);
    ASSERT_NE(e.activeGroup, nullptr);
    board.tick();
    // The version text stands in the plain area in grey.
    int grey = 0;
    for (int x = 400; x < 450; ++x)
        for (int y = 302; y < 320; ++y)
            grey += redOf(board.rgb(x, y)) > 150;
    EXPECT_GT(grey, 10);
    board.click(100, 300);
    EXPECT_EQ(e.activeGroup, nullptr);
}

TEST(Board, MeterHoldsTheHighestLevelAndDrawsNonFiniteAsZero)
{
    CDrawBuffer target;
    ASSERT_TRUE(target.create(20, 60, false));
    CVU_Meter meter(-1, 0, 0, 48, 13);
    auto bar = [&] {
        target.resetClip();
        target.setFillColor(Color::rgba(0, 0, 0));
        target.fillRect(0, 0, 60, 20);
        meter.draw(&target);
        int w = 0;
        while (w < 50 && (target.pixelAt(1 + w, 6) & 0xFFFFFF) != 0)
            ++w;
        return std::make_pair(w, target.pixelAt(1, 6) & 0xFFFFFF);
    };
    meter.setLevel(0.3f);
    meter.setLevel(0.1f);
    EXPECT_EQ(bar().first, int(46 * 0.3f));
    meter.setLevel(1.0f);
    EXPECT_EQ(bar(), std::make_pair(46, 0xFF3C3Cu));
    meter.setLevel(0.999f);
    EXPECT_EQ(bar().second, 0xFFFF00u);
    meter.setLevel(std::nanf(""));
    EXPECT_EQ(bar().first, 0);
    meter.setLevel(INFINITY);
    EXPECT_EQ(bar().first, 0);
    EXPECT_EQ(meter.level, -1.0f);
}

TEST(Board, OpenAndCloseAgainLeavesNothingBehind)
{
    Board board;
    setTypes(*board.drive, {1, 2, 3, 4, 5});
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(board.open());
        board.tick();
        board.close();
    }
    EXPECT_EQ(board.ws.windowCount(), 0);
    int cached = 0;
    for (CBitmap* b = bitmapStorage().head; b != nullptr; b = b->next)
        ++cached;
    EXPECT_EQ(cached, 18);
}

}  // namespace
