// The pixels of a TrueColor window's image: which visuals the X11 window
// (platforms/x11/display_x11.cpp) can serve, the pixel value of a colour
// under a visual's masks, and the conversion of rows of palette indices into
// the image's pixels through a 256-entry colour table.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>

// A visual's colour masks and the layout of its image in memory.
struct PixelFormat {
    unsigned long redMask;
    unsigned long greenMask;
    unsigned long blueMask;
    uint32_t opaque;  // the bits of the depth no colour uses (alpha), all set
    int bitsPerPixel; // 16, 24 (packed) or 32
    bool msbFirst;    // the image's byte order
};

// TrueColor with three separate contiguous masks within a depth of 15 to
// 32 bits: what the colour table can serve.
bool usableVisual(const XVisualInfo& info);

// The format of image, made for visual at depth.
PixelFormat pixelFormatOf(const Visual* visual, int depth, const XImage* image);

// The pixel value of a colour of 8-bit channels, as a GC takes it.
uint32_t pixelOf(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue);

// A colour-table entry: the pixel value of the colour laid out as the image
// holds it in memory (for 24 bits, the first three bytes).
uint32_t storedPixelOf(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue);

// Writes the pixels of count indices to out, through colours (entries made
// by storedPixelOf).
void convertRow(const PixelFormat& format, uint8_t* out, const uint8_t* in, int32_t count, const uint32_t* colours);
