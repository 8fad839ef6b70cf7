// The drawing calls of render/display.h carried out in plain memory: memory
// device contexts draw into the 8-bit DIB section selected into them, a brush
// becomes the nearest entry of the selected palette, and palettes are tables
// of 256 entries. Every hosted back end (the test stand-in, the X11 program,
// the web page) shares this model; only the window differs, and each back
// end supplies it through the three functions at the end. The test
// stand-in's build also keeps a record of every call of the seam, through
// the observer below.
#pragma once
#include <cstdint>
#include <cstring>

#include "render/display.h"

// The calls of the seam, in the order a caller makes them. A back end that
// wants a record of them (the test stand-in) sets an observer; null: none.
enum class DisplayCall : uint8_t {
    getDc, releaseDc, selectPalette, realizePalette, createPalette, createMemoryDc, deleteMemoryDc,
    createDibSection, selectBitmap, createBrush, deletePalette, deleteBitmap, deleteBrush, fill,
    blacken, present,
};
void observeDisplayCalls(void (*observer)(DisplayCall call));

// Every object the kit makes (palette, memory device context, DIB section
// with its pixels, brush) is one block of the C heap: when it cannot be had
// the call answers null, as GDI does, and never throws; a null device context
// then takes no palette, bitmap or drawing. A back end that tests those
// answers (the test stand-in) sets a veto, asked with the creating call
// before each block; true makes that block fail. Null: none.
void vetoDisplayAllocations(bool (*veto)(DisplayCall call));

// Palettes, memory device contexts, bitmaps and brushes not yet deleted.
int32_t liveMemoryDisplayObjects();

// The 256 entries of a palette made by createDisplayPalette (null for null).
const PaletteEntry* memoryPaletteEntries(PaletteHandle palette);

// A palette converted to the pixel values of a window, kept while the same
// palette stays selected.
struct ColourTable {
    uint32_t colours[256];
    PaletteHandle palette; // the palette colours[] was built from
    bool valid;            // false: build it before its next use
};

// Builds the table from palette (null: all black) through
// pixelOf(const PaletteEntry&) unless it was built from that palette; true
// when it was built anew.
template <typename PixelOf>
bool selectColourTable(ColourTable& table, PaletteHandle palette, PixelOf pixelOf)
{
    if (table.valid && palette == table.palette)
        return false;
    const PaletteEntry* entries = memoryPaletteEntries(palette);
    const PaletteEntry black = {0, 0, 0, 0};
    for (int32_t i = 0; i < 256; ++i)
        table.colours[i] = pixelOf(entries != nullptr ? entries[i] : black);
    table.palette = palette;
    table.valid = true;
    return true;
}

// Copies the rectangle of the bottom-up 8-bit image bits/info to the same
// place in a target whose row y rowAt(y, rowWidth) gives (null: no such
// row), clipped to the image and to each row.
template <typename RowAt>
void copyImageRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                   const BitmapInfoHeader* info, RowAt rowAt)
{
    const int32_t sourceWidth = info->biWidth;
    const int32_t sourceHeight = info->biHeight;
    const size_t stride = dibStride(8, sourceWidth);
    const int32_t from = left < 0 ? 0 : left;
    const int32_t to = left + width > sourceWidth ? sourceWidth : left + width;
    for (int32_t y = top; y < top + height; ++y) {
        if (y < 0 || y >= sourceHeight)
            continue;
        int32_t rowWidth = 0;
        uint8_t* row = rowAt(y, rowWidth);
        if (row == nullptr)
            continue;
        const int32_t end = to < rowWidth ? to : rowWidth;
        if (end > from)
            std::memcpy(row + from, bits + stride * (sourceHeight - 1 - y) + from,
                        static_cast<size_t>(end - from));
    }
}

// Clips (left, top, width, height) to a target of width x height; false
// when nothing is left. 64-bit sums: a rectangle near the limits of int32_t
// does not wrap.
inline bool clipToTarget(int32_t& left, int32_t& top, int32_t& width, int32_t& height, int32_t targetWidth,
                         int32_t targetHeight)
{
    int64_t l = left, t = top, r = static_cast<int64_t>(left) + width, b = static_cast<int64_t>(top) + height;
    l = l < 0 ? 0 : l;
    t = t < 0 ? 0 : t;
    r = r > targetWidth ? targetWidth : r;
    b = b > targetHeight ? targetHeight : b;
    if (r <= l || b <= t)
        return false;
    left = static_cast<int32_t>(l);
    top = static_cast<int32_t>(t);
    width = static_cast<int32_t>(r - l);
    height = static_cast<int32_t>(b - t);
    return true;
}

// A present's rectangle clipped to the part that lies both in the source
// image and in the target; false when nothing is left.
inline bool clipPresentRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                            const BitmapInfoHeader* info, int32_t targetWidth, int32_t targetHeight)
{
    return clipToTarget(left, top, width, height, info->biWidth, info->biHeight) &&
           clipToTarget(left, top, width, height, targetWidth, targetHeight);
}

// A window kept as palette indices in memory, top row first, rows width
// apart: what the stand-in shows, and what the page and the Wayland window
// convert into pixels afterwards. Both calls clip the rectangle to the image
// (and the source) and answer it clipped; false when nothing is left or
// there are no indices.
struct IndexImage {
    uint8_t* indices;
    int32_t width;
    int32_t height;
};
bool fillIndexImage(const IndexImage& image, int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                    uint8_t index);
bool copyIntoIndexImage(const IndexImage& image, int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                        const uint8_t* bits, const BitmapInfoHeader* info);

// Supplied by each back end that uses the model.
//
// Fills left <= x < right, top <= y < bottom of the window with one palette
// index of the palette selected into the window's device context (may be
// null: the default palette).
void fillWindowIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index,
                     PaletteHandle palette);
// Copies the rectangle of the bottom-up 8-bit image bits/info (null bits:
// nothing to copy) to the same place in the window.
void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette);
