// The editor frame's cost of one full present of the product's 766 x 484 back
// buffer (goal: at most 2 ms) without a server: the frame's repaint protocol and
// the hand-over of rows, on the headless window system. bench_x11_editor
// measures the same into a real X server.
#include <benchmark/benchmark.h>

#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CPluginUI.h"
#include "platform/headless/HeadlessWindowSystem.h"

namespace {

constexpr int32_t kWidth = 766;
constexpr int32_t kHeight = 484;

// A frame whose whole window is one gradient, so every present carries real pixels.
class FullEditor : public CPluginUI {
public:
    FullEditor()
        : CPluginUI(nullptr, kHeight, kWidth)
    {
    }
    bool createControls() override
    {
        getBackBuffer()->fillGradient(0, 0, kWidth, kHeight, Color::rgba(255, 0, 0), Color::rgba(0, 255, 0),
            Color::rgba(0, 0, 255), Color::rgba(255, 255, 255));
        return true;
    }
};

void BM_FullPresentHeadless(benchmark::State& state)
{
    platform::HeadlessWindowSystem ws;
    platform::setWindowSystem(&ws);
    {
        FullEditor editor;
        if (!editor.open(kHeight, kWidth, reinterpret_cast<void*>(uintptr_t {1}))) {
            state.SkipWithError("editor did not open");
        } else {
            for (auto _ : state)
                editor.redrawAll();
            state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
        }
    }
    platform::setWindowSystem(nullptr);
}
BENCHMARK(BM_FullPresentHeadless)->Unit(benchmark::kMicrosecond);

}  // namespace
