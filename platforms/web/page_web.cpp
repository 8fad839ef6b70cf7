// The saver's scene driven by the web page: what the Win32 saver procedure
// does on window creation, timer tick and destruction, plus the canvas's
// size changes.
#include "platforms/web/page_web.h"

#include "platforms/web/display_web.h"
#include "scene/scene.h"

namespace {

// The core's handle for the one canvas; the display back end knows it.
WindowHandle windowHandle(PageState& state) { return &state; }

// A new size needs a new renderer. The canvas is wholly presented
// afterwards (openWebCanvas lists it whole), so the squares painted here
// show at once.
bool buildScene(PageState& state)
{
    state.built = openWebCanvas(state.width, state.height);
    if (state.built)
        rebuildScene(windowHandle(state), webCanvasWidth(), webCanvasHeight());
    else
        releaseScene();
    return state.built;
}

} // namespace

bool pageOpen(PageState& state, int32_t width, int32_t height, uint32_t seed)
{
    state = PageState{width, height, false};
    beginScene(seed);
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
    endScene();
    state.built = false;
    closeWebCanvas();
}
