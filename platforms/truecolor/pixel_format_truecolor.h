// Kit: the pixels of a TrueColor image, free of any window system's types,
// for the Linux displays: the format of its pixels in memory, the colour
// table of a palette in that format, and rows of 8-bit palette indices
// written into it as blocks of N x N pixels. A display fills the format in
// from what its server says (an X visual and image, a wl_shm format).
#pragma once
#include <cstddef>
#include <cstdint>

#include "platforms/memory/display_memory.h"

// The colour masks of a pixel value and how its pixels lie in memory
// (XRGB8888 of wl_shm: 0xFF0000, 0xFF00, 0xFF, opaque 0, 32 bits, LSB first).
struct PixelFormat {
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t opaque;      // the bits of the depth no colour uses (alpha), all set
    int32_t bitsPerPixel; // 16, 24 (packed) or 32
    bool msbFirst;        // the byte order of a pixel in memory
};

// Three masks the colour table can serve: each one contiguous run of bits,
// none sharing a bit with another.
bool usableMasks(uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

// The format of pixels of depth bits under the masks, each stored in
// bitsPerPixel bits; the bits of the depth that no colour uses are alpha
// and set, or a compositor would show the window transparent.
PixelFormat pixelFormatOf(uint32_t redMask, uint32_t greenMask, uint32_t blueMask, int32_t depth,
                          int32_t bitsPerPixel, bool msbFirst);

// A colour of 8-bit channels as the image holds it in memory, read as a
// 32-bit word on this host (for 24 bits, its first three bytes).
uint32_t storedPixelOf(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue);

// The colours of palette (null: all black) as stored pixels of format, kept
// in table while the same palette comes; the table is made invalid when the
// format changes.
inline const uint32_t* colourTableOf(ColourTable& table, const PixelFormat& format, PaletteHandle palette)
{
    selectColourTable(table, palette,
                      [&](const PaletteEntry& e) { return storedPixelOf(format, e.peRed, e.peGreen, e.peBlue); });
    return table.colours;
}

// Rows of 8-bit indices: row y at first + y * step. A step of 0 repeats one
// row (a fill); a negative one walks up a bottom-up image.
struct IndexRows {
    const uint8_t* first;
    ptrdiff_t step;
};

// Writes the indices of rows through colours (stored pixels) into width x
// height pixels at out, rows bytesPerLine apart, each index as a block of
// blocks x blocks pixels: index x of row y covers the pixels from
// (x * blocks, y * blocks) on, and the last column and row of blocks are
// cut at width and height.
void writeBlocks(const PixelFormat& format, const uint32_t* colours, IndexRows rows, int32_t blocks, uint8_t* out,
                 int32_t bytesPerLine, int32_t width, int32_t height);
