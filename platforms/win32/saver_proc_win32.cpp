// The saver's own window procedure: opens the scene when the window is
// created and lays it out anew when its size changes, runs one frame per tick
// of timer 1, and closes the scene when the window goes. Everything else goes
// on to the host's default handling. The scene is laid out in its own pixels,
// each a block of device pixels as large as the display's scale asks for.
#include "platforms/win32/scene_win32.h"

#include "platforms/win32/clock_win32.h"
#include "platforms/win32/display_win32.h"
#include "platforms/win32/host_win32.h"
#include "scene/scene.h"
#include "scene/scene_driver.h"
#include "settings/settings.h"
#include "support/clock.h"

namespace {

SceneDriver driver;

double displayScale() { return hostState.dpi.logPixels / 96.0; }

void createScene(HWND window)
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    loadSettings();
    openScene(driver, window, client.right, client.bottom, displayScale(), 0, readCalendarSeconds(), readTickCount());
    scene.timerId = static_cast<uint16_t>(SetTimer(window, animationTimerId, settings.aniInterval, nullptr));
}

// A new size: the desktop changed under the full-screen window.
void resizeWindowScene(LPARAM size)
{
    const int32_t width = LOWORD(size);
    const int32_t height = HIWORD(size);
    if (width > 0 && height > 0)
        resizeScene(driver, width, height, displayScale());
}

void destroyScene(HWND window)
{
    if (scene.timerId != 0) {
        KillTimer(window, scene.timerId);
        scene.timerId = 0;
    }
    closeScene(driver);
    PostQuitMessage(0);
}

} // namespace

// The window's own device context keeps the scene's palette selected, and a
// selected palette cannot be deleted: the stock one stands in until a new
// scene selects its own.
bool prepareSceneWindow(WindowHandle window, int32_t, int32_t, const PixelScale& pixels)
{
    releaseSceneWindow(window);
    displayState.pixelSize = pixels.pixelSize;
    return true;
}

void releaseSceneWindow(WindowHandle window)
{
    HWND hwnd = static_cast<HWND>(window);
    HDC dc = GetDC(hwnd);
    SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    ReleaseDC(hwnd, dc);
}

LRESULT CALLBACK saverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        createScene(window);
        return 0;
    case WM_DESTROY:
        destroyScene(window);
        return 0;
    case WM_SIZE:
        resizeWindowScene(lParam);
        break;
    case WM_TIMER:
        // Other timers are not ours to pass on. The timer paces the frames.
        if (wParam == animationTimerId)
            tickScene(driver, readTickCount());
        return 0;
    }
    return defaultSaverProc(window, message, wParam, lParam);
}
