// --fps, as XScreenSaver's hacks show it: the program's loop
// (platforms/x11/main_x11.cpp) counts its frames here, and about once a
// second the overlay's text becomes the frames per second and the share of
// a core the process used meanwhile. The X11 window draws the text over the
// lower left corner after each batch of puts.
#pragma once
#include <X11/Xlib.h>

#include <cstdint>

// Starts the count at now (microseconds, monotonic); until the first second
// is over the overlay shows dashes.
void startFpsCount(uint64_t now);
// Counts a frame that ended at now; nothing unless the count was started.
void countFpsFrame(uint64_t now);

// Whether the text changed since the overlay was last drawn.
bool fpsOverlayChanged();
// Draws the text, lines from the lower left corner of a window of the given
// height up, in the server's built-in font, foreground on background pixels.
void drawFpsOverlay(Display* display, Window window, int32_t height, unsigned long foreground,
                    unsigned long background);
// Releases the font and the graphics context, and forgets the text and the
// count.
void closeFpsOverlay(Display* display);
