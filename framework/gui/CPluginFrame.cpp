#include "framework/gui/CPluginFrame.h"

namespace {

// Editor windows of the process (UI thread only). The first one opens the
// display connection and the last one to close releases it.
int32_t openWindowCount = 0;

}  // namespace

CPluginFrame::CPluginFrame(void* moduleHandle)
    : moduleHandle(moduleHandle)
{
}

CPluginFrame::~CPluginFrame() = default;

int32_t CPluginFrame::openWindows() { return openWindowCount; }

bool CPluginFrame::createWindow(int32_t height, int32_t width, void* parent)
{
    if (hasWindow())
        return true;
    holdCount = 0;
    captured = false;
    cursorHidden = false;
    inTimer = false;
    parentWindow = parent;
    windowHeight = height;
    windowWidth = width;

    platform::IWindowSystem* ws = platform::windowSystem();
    lastWindowStatus = platform::WindowStatus::NoDisplay;
    if (ws == nullptr)
        return false;
    if (openWindowCount == 0 && (lastWindowStatus = ws->connect()) != platform::WindowStatus::Ok)
        return false;
    ++openWindowCount;
    platform::WindowId made = platform::kNoWindow;
    lastWindowStatus = ws->createChild(reinterpret_cast<uintptr_t>(parent), width, height, this, made);
    if (lastWindowStatus != platform::WindowStatus::Ok || made == platform::kNoWindow) {
        if (lastWindowStatus == platform::WindowStatus::Ok)
            lastWindowStatus = platform::WindowStatus::Failed;
        // A window that was never made holds no share of the connection.
        if (--openWindowCount == 0)
            ws->disconnect();
        return false;
    }
    system = ws;
    window = made;
    if (handlesKeys()) {
        ws->acceptKeys(window, true);
        if (ws->isViewable(window))
            ws->focus(window);
    }
    return true;
}

void CPluginFrame::destroyWindow()
{
    if (!hasWindow())
        return;
    platform::IWindowSystem* ws = system;
    ws->destroy(window);
    window = platform::kNoWindow;
    system = nullptr;
    if (openWindowCount > 0 && --openWindowCount == 0)
        ws->disconnect();
}

platform::PresentStatus CPluginFrame::WindowTarget::present(
    const platform::PixelSource& source, int32_t x, int32_t y, int32_t w, int32_t h, int32_t srcX, int32_t srcY)
{
    if (!frame.hasWindow())
        return platform::PresentStatus::NoTarget;
    return frame.system->present(frame.window, source, x, y, w, h, srcX, srcY);
}
