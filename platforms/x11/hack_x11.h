// The scene as an XScreenSaver hack, over one state record: init opens the
// scene driver on the window, draw runs one frame and answers the time to
// the next, reshape follows a new size, expose presents from the back
// buffer, free takes everything down. The program's event loop
// (platforms/x11/main_x11.cpp) calls them.
#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "scene/scene_driver.h"

struct HackState {
    Display* display;
    Window window;
    bool imageOpen; // the X11 window took its first image
    const char* error; // why the window could not take the scene
    SceneDriver driver;
};

// The settings must be in place; seed starts the random generator; scale
// (the desktop's, 1.0 at 96 DPI) and overridePixels choose the pixel size
// (host/pixel_scale.h). False with a sentence in *error when the window
// cannot be drawn into.
bool hackInit(HackState& state, Display* display, Window window, int32_t width, int32_t height, uint32_t seed,
              double scale, int32_t overridePixels, const char** error);
// One frame; answers the microseconds until the next.
uint32_t hackDraw(HackState& state);
// Microseconds until the next frame is due; 0: now.
uint32_t hackDelay(const HackState& state);
bool hackReshape(HackState& state, int32_t width, int32_t height, const char** error);
// Presents the part of the back buffer under a rectangle of the window
// (device pixels).
void hackExpose(HackState& state, int32_t x, int32_t y, int32_t width, int32_t height);
void hackFree(HackState& state);

// The window's part of the scene driver's seam (scene/scene_driver.h), as
// the program's display switch (platforms/x11/window_switch_x11.h) hands it
// over.
bool prepareX11Scene(const PixelScale& pixels);
void releaseX11Scene();
