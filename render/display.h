// The drawing calls the surfaces and the renderer need, as plain functions:
// system palette entries, the logical palette, device contexts, the back
// buffer's DIB section, brushes and rectangle fills, and the present of one
// back-buffer rectangle. A platform with a drawing library maps each onto
// one of its calls; one without links the model in plain memory
// (platforms/memory/display_memory.h) and supplies only the window.
#pragma once
#include <cstdint>

#include "render/packed_dib.h"

// Opaque platform handles (HWND, HDC, HPALETTE, HBITMAP, HBRUSH).
typedef void* WindowHandle;
typedef void* DeviceContext;
typedef void* PaletteHandle;
typedef void* BitmapHandle;
typedef void* BrushHandle;

// The platform's PALETTEENTRY.
struct PaletteEntry {
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
    uint8_t peFlags;
};

enum : uint8_t { paletteNoCollapse = 4 }; // PC_NOCOLLAPSE

// Reads system palette entries 0-9 and 246-255 (the static colours) into the
// same entries of the table; the others are left alone. A display without a
// palette leaves the table as it was.
void readSystemColours(PaletteEntry* entries);

// A logical palette of 256 entries, version 0x300.
PaletteHandle createDisplayPalette(const PaletteEntry* entries);

// Selects the palette as the foreground palette; returns the previous one.
PaletteHandle selectDisplayPalette(DeviceContext dc, PaletteHandle palette);
void realizeDisplayPalette(DeviceContext dc);

DeviceContext getWindowDc(WindowHandle window);
void releaseWindowDc(WindowHandle window, DeviceContext dc);
DeviceContext createMemoryDc(DeviceContext compatible);
void deleteMemoryDc(DeviceContext dc);

// A DIB section for the header and colour table at info; *bits receives its
// pixel memory (null on failure).
BitmapHandle createDibSectionBitmap(DeviceContext dc, const BitmapInfoHeader* info, uint8_t** bits);
BitmapHandle selectDisplayBitmap(DeviceContext dc, BitmapHandle bitmap);

BrushHandle createSolidBrush(uint32_t colour);

// Palettes, bitmaps and brushes.
void deleteDisplayObject(void* object);

// Fills left <= x < right, top <= y < bottom with the brush.
void fillDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t right, int32_t bottom, BrushHandle brush);

// Sets a rectangle of the DC's bitmap to black.
void blackenDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height);

// Copies the rectangle (left, top, width, height) of the bottom-up 8-bit image
// bits/info to the same place in dc, at the same size.
void presentDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height,
                        const uint8_t* bits, const BitmapInfoHeader* info);
