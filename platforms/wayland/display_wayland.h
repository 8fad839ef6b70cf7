// The Wayland window of the memory drawing model: fills and presents land in
// an 8-bit image of the scene's logical size, and each frame brings one of
// the surface's wl_shm buffers (platforms/wayland/shm_buffers_wayland.h) up
// to date with it, in blocks of N x N device pixels, through the colour
// table of the selected palette. The program's surface
// (platforms/wayland/surface_wayland.cpp) commits what this attaches.
#pragma once
#include <cstdint>

#include "render/display.h"

struct wl_shm;
struct wl_surface;

// Binds the window to the surface it attaches buffers to, made with shm in
// format (a wl_shm format of 4 bytes a pixel).
void openWaylandWindow(wl_shm* shm, wl_surface* surface, uint32_t format);

// A new layout: buffers of deviceWidth x deviceHeight, drawn into in
// logical pixels that each cover pixelSize x pixelSize device pixels. False
// with *error set when there is no memory for the image.
bool resizeWaylandWindow(int32_t deviceWidth, int32_t deviceHeight, int32_t pixelSize, const char** error);

// Lets go of the buffers and the image.
void closeWaylandWindow();

// Whether something was drawn that the surface does not show yet.
bool waylandWindowChanged();
// Whether a buffer is free to take the next frame.
bool waylandBufferFree();

// Brings a free buffer up to date, attaches it and damages what changed
// since the last one attached; the caller commits. False when nothing
// changed or every buffer is held by the compositor.
bool attachWaylandFrame();

// The window's part of the seam, as the program's display switch
// (platforms/x11/window_switch_x11.cpp) hands it over.
void fillWaylandIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette);
void presentWaylandRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                        const BitmapInfoHeader* info, PaletteHandle palette);
