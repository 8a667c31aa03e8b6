#pragma once
class CSynthesizer;
class EditorView;

// The test module's editor on the real frame: a background and two bars that
// show parameters 0 and 1. A left drag on a bar (with the cursor hidden) or the
// wheel over it changes its parameter; the host sees the change.
constexpr int kTestEditorWidth = 300;
constexpr int kTestEditorHeight = 200;
// Colours as the window shows them (0xRRGGBB).
constexpr unsigned kTestEditorBackground = 0x203040;
constexpr unsigned kTestEditorBarEmpty = 0x101010;
constexpr unsigned kTestEditorBarFull = 0xE0A020;
// Bar i covers x = 40 + 120 i .. +60, y = 40 .. 160; its lit part grows from the bottom.
constexpr int kTestBarX[2] = {40, 160};
constexpr int kTestBarY = 40;
constexpr int kTestBarW = 60;
constexpr int kTestBarH = 120;

EditorView* makeTestFrameEditor(CSynthesizer* engine);
