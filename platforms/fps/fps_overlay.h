// Kit: the --fps overlay, the same on every Linux display: the counter's
// text (platforms/fps/fps_count.h) in a 5 x 7 font built into the program,
// white on a black panel off the lower left corner, drawn by the program
// itself into its TrueColor image. Each dot of the font is a block of 2 x 2
// of the scene's pixels, so that the text grows with the pixel size.
#pragma once
#include <cstdint>

#include "platforms/truecolor/pixel_format_truecolor.h"

// The panel of an overlay: the text it shows laid out in dots. It grows to
// the widest and tallest text it has held and never shrinks, so that a
// shorter text leaves nothing of a longer one behind.
struct OverlayPanel {
    // Glyphs in cells of 6 x 9 dots, a border of 2 dots around them.
    enum : int32_t { maxColumns = 24, maxLines = 4, maxWidth = 4 + 6 * maxColumns, maxHeight = 4 + 9 * maxLines };
    char text[maxLines * (maxColumns + 1)];
    int32_t width; // in dots; 0: nothing to show
    int32_t height;
    uint8_t dots[maxHeight][maxWidth]; // 1: ink, 0: the panel
};

// Lays text out in the panel: lines split at '\n', characters the font lacks
// left blank, whatever lies past maxColumns or maxLines left out. False when
// the panel already shows that text.
bool setOverlayText(OverlayPanel& panel, const char* text);

// A rectangle of an image, in its pixels.
struct OverlayBox {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

// Where the panel lies in an image of width x height, in which blocks x
// blocks pixels show one pixel of the scene: a margin off the lower left
// corner, cut at the right edge. Empty when the panel is, or when it does
// not fit the image's height.
OverlayBox overlayBox(const OverlayPanel& panel, int32_t width, int32_t height, int32_t blocks);

// Draws the panel into box, whose top left pixel lies at out and whose rows
// lie bytesPerLine apart.
void drawOverlay(const OverlayPanel& panel, const OverlayBox& box, int32_t blocks, const PixelFormat& format,
                 uint8_t* out, int32_t bytesPerLine);

// Whether two boxes share a pixel: a put over the overlay hides it.
bool boxesMeet(const OverlayBox& a, const OverlayBox& b);
