// The saver's own window procedure: builds the scene when the window is
// created and anew when its size changes, runs one frame per tick of timer 1,
// and takes the scene down when the window goes. Everything else goes on to
// the host's default handling. The scene is laid out in its own pixels, each
// a block of device pixels as large as the display's scale asks for.
#include "platforms/win32/scene_win32.h"

#include "host/pixel_scale.h"
#include "platforms/win32/display_win32.h"
#include "platforms/win32/host_win32.h"
#include "scene/scene.h"
#include "settings/settings.h"
#include "support/clock.h"

namespace {

// The window's own device context keeps the scene's palette selected, and a
// selected palette cannot be deleted: the stock one stands in until a new
// scene selects its own.
void deselectScenePalette(HWND window)
{
    HDC dc = GetDC(window);
    SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    ReleaseDC(window, dc);
}

PixelScale pixelScaleOf(int32_t clientWidth, int32_t clientHeight)
{
    return choosePixelScale(clientWidth, clientHeight, hostState.dpi.logPixels / 96.0, 0);
}

void layOutScene(HWND window, const PixelScale& scale)
{
    displayState.pixelSize = scale.pixelSize;
    rebuildScene(window, scale.logicalWidth, scale.logicalHeight);
}

void createScene(HWND window)
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    loadSettings();
    beginScene(readCalendarSeconds());
    layOutScene(window, pixelScaleOf(client.right, client.bottom));
    scene.timerId = static_cast<uint16_t>(SetTimer(window, animationTimerId, settings.aniInterval, nullptr));
}

// A new size (the desktop changed under the full-screen window) gets a scene
// laid out for it, unless its pixels and logical size stay as they are.
void resizeScene(HWND window, LPARAM size)
{
    const int32_t width = LOWORD(size);
    const int32_t height = HIWORD(size);
    if (width <= 0 || height <= 0)
        return;
    const PixelScale scale = pixelScaleOf(width, height);
    if (scale.pixelSize == displayState.pixelSize && scale.logicalWidth == scene.screenWidth &&
        scale.logicalHeight == scene.screenHeight)
        return;
    deselectScenePalette(window);
    layOutScene(window, scale);
}

void destroyScene(HWND window)
{
    if (scene.timerId != 0) {
        KillTimer(window, scene.timerId);
        scene.timerId = 0;
    }
    deselectScenePalette(window);
    endScene();
    PostQuitMessage(0);
}

} // namespace

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
        resizeScene(window, lParam);
        break;
    case WM_TIMER:
        // Other timers are not ours to pass on.
        if (wParam == animationTimerId)
            frameTick(window);
        return 0;
    }
    return defaultSaverProc(window, message, wParam, lParam);
}
