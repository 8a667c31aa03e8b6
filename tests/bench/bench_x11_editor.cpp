// The editor window's costs in a real X server (DISPLAY; ./test starts Xvfb):
// instantiate + open + first paint through the built module, the CPU an idle
// open editor takes at the product's 50 ms tick, and one full present of the
// product's 766 x 484 editor with and without shared memory.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/x11/X11WindowSystem.h"
#include "tests/support/VstTestHost.h"

// clang-format off
#include <X11/Xlib.h>
// clang-format on

namespace {

struct HostWindow {
    explicit HostWindow(int w = 300, int h = 200)
        : d(XOpenDisplay(nullptr))
    {
        if (d == nullptr)
            return;
        win = XCreateSimpleWindow(
            d, DefaultRootWindow(d), 20, 20, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, 0, 0);
        XMapWindow(d, win);
        XSync(d, False);
    }
    ~HostWindow()
    {
        if (d != nullptr)
            XCloseDisplay(d);
    }
    Display* d;
    ::Window win = 0;
};

double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_InstantiateOpenFirstPaint(benchmark::State& state)
{
    HostWindow host;
    if (host.d == nullptr) {
        state.SkipWithError("no display");
        return;
    }
    VstModule module(TB_TEST_VST_MODULE_EDITOR);
    for (auto _ : state) {
        VstTestHost vst;
        vst.create(module);
        ERect* rect = nullptr;
        vst.dispatch(effEditGetRect, 0, 0, &rect);
        // Opening runs the first tick, which presents the whole editor.
        if (vst.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(host.win)) == 0) {
            state.SkipWithError("editor did not open");
            break;
        }
        state.PauseTiming();
        vst.dispatch(effEditClose);
        vst.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InstantiateOpenFirstPaint)->Unit(benchmark::kMillisecond);

void BM_IdleEditorCpu(benchmark::State& state)
{
    HostWindow host;
    if (host.d == nullptr) {
        state.SkipWithError("no display");
        return;
    }
    const char* env = std::getenv("TB_BENCH_IDLE_SECONDS");
    const double seconds = env != nullptr ? std::atof(env) : 10.0;
    VstModule module(TB_TEST_VST_MODULE_EDITOR);
    VstTestHost vst;
    vst.create(module);
    vst.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(host.win));
    double percent = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu0 = cpuSeconds();
        auto next = start;
        while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
            vst.dispatch(effEditIdle);
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        percent = 100.0 * (cpuSeconds() - cpu0) / wall;
    }
    state.counters["cpu_percent_of_a_core"] = percent;
    vst.dispatch(effEditClose);
}
BENCHMARK(BM_IdleEditorCpu)->Iterations(1)->Unit(benchmark::kSecond);

void BM_FullPresent766x484(benchmark::State& state)
{
    constexpr int kW = 766, kH = 484;
    HostWindow host(kW, kH);
    if (host.d == nullptr) {
        state.SkipWithError("no display");
        return;
    }
    struct Quiet final : platform::IWindowListener {
        void onWindowEvent(const platform::WindowEvent&) override { }
        void onWindowTimer() override { }
    } quiet;
    platform::X11WindowSystem ws;
    ws.allowSharedMemory(state.range(0) != 0);
    platform::WindowId w = platform::kNoWindow;
    if (ws.createChild(host.win, kW, kH, &quiet, w) != platform::WindowStatus::Ok) {
        state.SkipWithError("no window");
        return;
    }
    if (ws.usesSharedMemory(w) != (state.range(0) != 0))
        state.SkipWithError("shared memory not as asked");
    std::vector<uint32_t> pixels(static_cast<size_t>(kW * kH));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    for (auto _ : state)
        ws.present(w, {pixels.data(), kW, kH}, 0, 0, kW, kH, 0, 0);
    ws.destroy(w);
    state.SetLabel(state.range(0) != 0 ? "MIT-SHM" : "XPutImage");
}
BENCHMARK(BM_FullPresent766x484)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
