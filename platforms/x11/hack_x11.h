// The scene as an XScreenSaver hack, over one state record: init builds the
// scene for the window's size, draw runs one frame and answers the time to
// the next, reshape builds the scene anew for a new size, expose presents
// from the back buffer, free takes everything down. The host's event loop
// (platforms/x11/main_x11.cpp) calls them.
#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "host/pixel_scale.h"

struct HackState {
    Display* display;
    Window window;
    int32_t width; // of the window, in device pixels
    int32_t height;
    double scale;           // the desktop's, 1.0 at 96 DPI
    int32_t overridePixels; // --pixel-size, 0: none
    PixelScale pixels;      // the blocks and the scene's logical size
};

// The settings must be in place; seed starts the random generator; scale
// and overridePixels choose the pixel size (host/pixel_scale.h). False with
// a sentence in *error when the window cannot be drawn into.
bool hackInit(HackState& state, Display* display, Window window, int32_t width, int32_t height, uint32_t seed,
              double scale, int32_t overridePixels, const char** error);
// One frame; answers the microseconds until the next.
uint32_t hackDraw(HackState& state);
bool hackReshape(HackState& state, int32_t width, int32_t height, const char** error);
// Presents the part of the back buffer under a rectangle of the window
// (device pixels).
void hackExpose(HackState& state, int32_t x, int32_t y, int32_t width, int32_t height);
void hackFree(HackState& state);
