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
    rebuildScene(windowHandle(state), state.width, state.height);
    // The window shows the new background at once, as an erased window would.
    hackExpose(state, 0, 0, state.width, state.height);
}

} // namespace

bool hackInit(HackState& state, Display* display, Window window, int32_t width, int32_t height, uint32_t seed,
              const char** error)
{
    state = HackState{display, window, width, height};
    if (!openX11Window(display, window, width, height, error))
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
    if (!resizeX11Window(width, height, error))
        return false;
    buildScene(state);
    return true;
}

void hackExpose(HackState& state, int32_t x, int32_t y, int32_t width, int32_t height)
{
    const DibSurface& back = spriteRenderer.back();
    if (back.bits == nullptr)
        return;
    DeviceContext dc = getWindowDc(windowHandle(state));
    selectDisplayPalette(dc, back.palette);
    presentDisplayRect(dc, x, y, width, height, back.bits, back.info);
    releaseWindowDc(windowHandle(state), dc);
}

void hackFree(HackState& state)
{
    endScene();
    closeSoundPlayer();
    closeX11Window();
}
