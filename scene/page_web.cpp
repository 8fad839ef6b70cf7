// The saver's scene driven by the web page: what the Win32 saver procedure
// does on window creation, timer tick and destruction, plus the canvas's
// size changes.
#include "scene/page_web.h"

#include <new>

#include "render/display_web.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "scene/sound.h"
#include "support/random.h"

namespace {

// The core's handle for the one canvas; the display back end knows it.
WindowHandle windowHandle(PageState& state) { return &state; }

void resetRenderer()
{
    spriteRenderer.~SpriteRenderer();
    new (&spriteRenderer) SpriteRenderer();
}

// The renderer builds its tables once per process, as the Windows saver
// needs it; a new size needs a new renderer. The canvas is wholly presented
// afterwards (openWebCanvas lists it whole), so the squares painted here
// show at once.
bool buildScene(PageState& state)
{
    if (state.built)
        resetRenderer();
    state.built = false;
    if (!openWebCanvas(state.width, state.height))
        return false;
    scene.screenWidth = webCanvasWidth();
    scene.screenHeight = webCanvasHeight();
    setupScene(windowHandle(state));
    state.built = true;
    return true;
}

} // namespace

bool pageOpen(PageState& state, int32_t width, int32_t height, uint32_t seed)
{
    state = PageState{width, height, false};
    seedRandom(seed);
    loadSoundBank();
    return buildScene(state);
}

void pageTick(PageState& state)
{
    if (state.built)
        frameTick(windowHandle(state));
}

bool pageReshape(PageState& state, int32_t width, int32_t height)
{
    state.width = width;
    state.height = height;
    return buildScene(state);
}

void pageClose(PageState& state)
{
    releaseSoundBank();
    if (state.built)
        resetRenderer();
    state.built = false;
    closeWebCanvas();
}
