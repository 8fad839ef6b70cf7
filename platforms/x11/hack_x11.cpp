// The saver's scene driven by the X11 program: the scene driver over the X11
// window, which takes an image of the scene's blocks for each layout.
#include "platforms/x11/hack_x11.h"

#include "platforms/x11/display_x11.h"
#include "platforms/alsa/sound_player_alsa.h"
#include "settings/settings.h"
#include "support/clock.h"

namespace {

// The hack whose window takes the scene; null while none is open (the back
// end's tests bind the X11 window themselves).
HackState* current = nullptr;

} // namespace

// The image covers whole blocks, so that every window size that rounds to
// the same blocks is covered by it; the server clips what sticks out.
bool prepareX11Scene(const PixelScale& pixels)
{
    const int32_t width = pixels.logicalWidth * pixels.pixelSize;
    const int32_t height = pixels.logicalHeight * pixels.pixelSize;
    const char* error = nullptr;
    bool ready;
    if (current != nullptr && !current->imageOpen) {
        ready = openX11Window(current->display, current->window, width, height, pixels.pixelSize, &error);
        current->imageOpen = ready;
    } else {
        ready = resizeX11Window(width, height, pixels.pixelSize, &error);
    }
    if (current != nullptr)
        current->error = error;
    return ready;
}

void releaseX11Scene() { closeX11Window(); }

bool hackInit(HackState& state, Display* display, Window window, int32_t width, int32_t height, uint32_t seed,
              double scale, int32_t overridePixels, const char** error)
{
    state = HackState{display, window, false, nullptr, {}};
    current = &state;
    const bool shown = openScene(state.driver, &state, width, height, scale, overridePixels, seed, readTickCount());
    *error = state.error;
    return shown;
}

uint32_t hackDraw(HackState& state) { return tickScene(state.driver, readTickCount()) * 1000u; }

uint32_t hackDelay(const HackState& state) { return sceneTickDelay(state.driver, readTickCount()) * 1000u; }

bool hackReshape(HackState& state, int32_t width, int32_t height, const char** error)
{
    const bool shown = resizeScene(state.driver, width, height, state.driver.scale);
    *error = state.error;
    return shown;
}

void hackExpose(HackState& state, int32_t x, int32_t y, int32_t width, int32_t height)
{
    exposeScene(state.driver, x, y, width, height);
}

void hackFree(HackState& state)
{
    if (current == &state) {
        closeScene(state.driver);
        current = nullptr;
    }
    closeSoundPlayer();
}
