// The window seam of the memory drawing model and the scene driver, switched
// between the X11 window (display_x11.cpp, hack_x11.cpp) and the Wayland
// window (platforms/wayland).
#include "platforms/x11/window_switch_x11.h"

#include "platforms/memory/display_memory.h"
#include "platforms/wayland/display_wayland.h"
#include "platforms/wayland/main_wayland.h"
#include "platforms/x11/display_x11.h"
#include "platforms/x11/hack_x11.h"
#include "scene/scene_driver.h"

namespace {

OpenedDisplay opened = OpenedDisplay::x11;

} // namespace

void useDisplay(OpenedDisplay display) { opened = display; }

// Both are TrueColor and have no system palette: the static colours stay
// as they are (black), as on a true-colour Windows display.
void readSystemColours(PaletteEntry*) {}

void fillWindowIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette)
{
    switch (opened) {
    case OpenedDisplay::x11:
        fillX11Index(left, top, right, bottom, index, palette);
        break;
    case OpenedDisplay::wayland:
        fillWaylandIndex(left, top, right, bottom, index, palette);
        break;
    }
}

void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    switch (opened) {
    case OpenedDisplay::x11:
        presentX11Rect(left, top, width, height, bits, info, palette);
        break;
    case OpenedDisplay::wayland:
        presentWaylandRect(left, top, width, height, bits, info, palette);
        break;
    }
}

bool prepareSceneWindow(WindowHandle, int32_t deviceWidth, int32_t deviceHeight, const PixelScale& pixels)
{
    switch (opened) {
    case OpenedDisplay::x11:
        return prepareX11Scene(pixels);
    case OpenedDisplay::wayland:
        return prepareWaylandScene(deviceWidth, deviceHeight, pixels.pixelSize);
    }
    return false;
}

void releaseSceneWindow(WindowHandle)
{
    switch (opened) {
    case OpenedDisplay::x11:
        releaseX11Scene();
        break;
    case OpenedDisplay::wayland:
        releaseWaylandScene();
        break;
    }
}
