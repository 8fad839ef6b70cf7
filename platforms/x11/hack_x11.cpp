// The saver's scene driven by the X11 program: what the Win32 saver procedure
// does on window creation, timer tick and destruction, plus the size changes
// and exposures an X window sees.
#include "platforms/x11/hack_x11.h"

#include "platforms/x11/display_x11.h"
#include "platforms/x11/sound_player_alsa.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "settings/settings.h"

namespace {

// The core's handle for the one window; the display back end knows it.
WindowHandle windowHandle(HackState& state) { return &state; }

void buildScene(HackState& state)
{
    rebuildScene(windowHandle(state), state.pixels.logicalWidth, state.pixels.logicalHeight);
    // The window shows the new background at once, as an erased window would.
    hackExpose(state, 0, 0, state.width, state.height);
}

} // namespace

bool hackInit(HackState& state, Display* display, Window window, int32_t width, int32_t height, uint32_t seed,
              double scale, int32_t overridePixels, const char** error)
{
    state = HackState{display, window, width, height, scale, overridePixels,
                      choosePixelScale(width, height, scale, overridePixels)};
    if (!openX11Window(display, window, width, height, state.pixels.pixelSize, error))
        return false;
    beginScene(seed);
    buildScene(state);
    return true;
}

uint32_t hackDraw(HackState& state)
{
    frameTick(windowHandle(state));
    return static_cast<uint32_t>(settings.aniInterval) * 1000u;
}

bool hackReshape(HackState& state, int32_t width, int32_t height, const char** error)
{
    if (width == state.width && height == state.height)
        return true;
    state.width = width;
    state.height = height;
    state.pixels = choosePixelScale(width, height, state.scale, state.overridePixels);
    if (!resizeX11Window(width, height, state.pixels.pixelSize, error))
        return false;
    buildScene(state);
    return true;
}

void hackExpose(HackState& state, int32_t x, int32_t y, int32_t width, int32_t height)
{
    const DibSurface& back = spriteRenderer.back();
    if (back.bits == nullptr)
        return;
    // Every logical pixel the rectangle touches (an Expose's is never
    // negative).
    const int32_t n = state.pixels.pixelSize;
    const int32_t left = x / n;
    const int32_t top = y / n;
    const int32_t right = (x + width + n - 1) / n;
    const int32_t bottom = (y + height + n - 1) / n;
    DeviceContext dc = getWindowDc(windowHandle(state));
    selectDisplayPalette(dc, back.palette);
    presentDisplayRect(dc, left, top, right - left, bottom - top, back.bits, back.info);
    releaseWindowDc(windowHandle(state), dc);
}

void hackFree(HackState& state)
{
    endScene();
    closeSoundPlayer();
    closeX11Window();
}
