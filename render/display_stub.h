// The test stand-in's window and records, for the native unit tests: the
// "window" is an 8-bit buffer, top row first, and every present and every
// call of the display seam is recorded.
#pragma once
#include <cstdint>

#include "render/display.h"
#include "render/display_memory.h"

// The platform calls of the seam, in the order a caller makes them; the
// memory drawing model reports each one to the stand-in, which records it.
enum class DisplayCall : uint8_t {
    getDc, releaseDc, selectPalette, realizePalette, createPalette, createMemoryDc, deleteMemoryDc,
    createDibSection, selectBitmap, createBrush, deletePalette, deleteBitmap, deleteBrush, fill,
    blacken, present,
};
void noteDisplayCall(DisplayCall call);

// Kept by the memory drawing model: palettes, memory device contexts,
// bitmaps and brushes not yet deleted.
int32_t liveMemoryDisplayObjects();

void resetNativeDisplay(int32_t width, int32_t height);
WindowHandle nativeWindow();
int32_t nativeWindowWidth();
int32_t nativeWindowHeight();
uint8_t nativeWindowPixel(int32_t x, int32_t y);
const uint8_t* nativeWindowRow(int32_t y);

// The static colours the display reports (entries 0-9 and 246-255 of the
// table); unset, they read as black, as on a display without a palette.
void setNativeSystemColours(const PaletteEntry* entries);

// Every rectangle presented to the window since the last clear, in order.
struct PresentedRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};
void clearNativePresents();
int32_t nativePresentCount();
const PresentedRect* nativePresents(); // the first min(count, capacity) entries
enum { nativePresentCapacity = 4096 };

// The platform calls made, for checks of order and balance.
void clearNativeDisplayCalls();
int32_t nativeDisplayCallCount();
const DisplayCall* nativeDisplayCalls(); // the first min(count, capacity) calls
enum { nativeDisplayCallCapacity = 8192 };
int32_t liveNativeDisplayObjects();

// The 256 entries of a palette made by createDisplayPalette.
const PaletteEntry* nativePaletteEntries(PaletteHandle palette);

// The palette selected in the window's device context at the last present
// (null if none was).
PaletteHandle nativeWindowPaletteAtLastPresent();
