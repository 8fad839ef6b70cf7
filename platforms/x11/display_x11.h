// The X11 window of the memory drawing model: the shell opens it on the
// window it draws into, and the renderer's fills and presents then reach that
// window through a client-side image (platforms/x11/shm_image_x11.h),
// converted through a 256-entry colour table built from the palette the
// renderer selects (platforms/truecolor/pixel_format_truecolor.h).
#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "render/display.h"

// The desktop's scale, 1.0 at 96 DPI: Xft.dpi / 96 from the root window's
// resources, which desktops set when the user scales; 1.0 without it.
double readDesktopScale(Display* display);

// Takes window (of the given size in device pixels) as the drawing target,
// drawn into in logical pixels that each cover pixelSize x pixelSize device
// pixels. TrueColor visuals of 15 to 32 bits with contiguous colour masks
// will do, with images of 16, 24 or 32 bits per pixel in either byte order;
// otherwise, or when the image cannot be made, returns false with *error set
// to a sentence for the user.
bool openX11Window(Display* display, Window window, int32_t width, int32_t height, int32_t pixelSize,
                   const char** error);

// The window changed size, or its blocks did: a new image of the new size.
bool resizeX11Window(int32_t width, int32_t height, int32_t pixelSize, const char** error);

// Releases the image, its shared-memory segment and the graphics contexts.
void closeX11Window();

// Sends the puts of a batch of fills and presents (a frame, an Expose)
// that are still held back, with the --fps overlay
// (platforms/fps/fps_overlay.h) over them. Call it before the program
// waits.
void endX11Batch();

// Takes the events of the window's own puts (MIT-SHM completions); false for
// every other event.
bool noteX11Event(const XEvent& event);

// The window's part of the memory drawing model's seam
// (platforms/memory/display_memory.h), as the program's display switch
// (platforms/x11/window_switch_x11.h) hands it over.
void fillX11Index(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette);
void presentX11Rect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                    const BitmapInfoHeader* info, PaletteHandle palette);
