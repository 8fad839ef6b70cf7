// The test stand-in platform as the unit tests see it: everything a test
// sets or reads of it. The "window" is an 8-bit buffer, top row first; every
// present and every call of the display seam is recorded; the clocks are
// plain values; bitmaps and waves come from tables that tests fill, and
// every play is recorded. Only the stand-in and its tests include this.
#pragma once
#include <cstdint>

#include "host/pixel_scale.h"
#include "platforms/memory/display_memory.h"
#include "render/display.h"

void resetStubDisplay(int32_t width, int32_t height);
WindowHandle stubWindow();
int32_t stubWindowWidth();
int32_t stubWindowHeight();
uint8_t stubWindowPixel(int32_t x, int32_t y);
const uint8_t* stubWindowRow(int32_t y);

// The scene driver's calls on the window: a prepare makes the window a black
// buffer of the logical size. Reset with the display.
struct StubSceneWindow {
    int32_t prepares; // every call, failed ones too
    int32_t releases;
    int32_t deviceWidth; // of the last prepare that succeeded
    int32_t deviceHeight;
    PixelScale pixels;
};
const StubSceneWindow& stubSceneWindow();
// The next prepares fail after this many succeed (-1: never).
void failSceneWindowAfter(int32_t successes);
// The display's next DIB sections fail, as when their memory cannot be had,
// after this many succeed (-1: never). Reset with the display.
void failDibSectionsAfter(int32_t successes);

// The static colours the display reports (entries 0-9 and 246-255 of the
// table); unset, they read as black, as on a display without a palette.
void setStubSystemColours(const PaletteEntry* entries);

// Every rectangle presented to the window since the last clear, in order.
struct PresentedRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};
void clearStubPresents();
int32_t stubPresentCount();
const PresentedRect* stubPresents(); // the first min(count, capacity) entries
enum { stubPresentCapacity = 4096 };

// The platform calls made, for checks of order and balance.
void clearStubDisplayCalls();
int32_t stubDisplayCallCount();
const DisplayCall* stubDisplayCalls(); // the first min(count, capacity) calls
enum { stubDisplayCallCapacity = 8192 };
int32_t liveStubDisplayObjects();

// The 256 entries of a palette made by createDisplayPalette.
const PaletteEntry* stubPaletteEntries(PaletteHandle palette);

// The palette selected in the window's device context at the last present
// (null if none was).
PaletteHandle stubWindowPaletteAtLastPresent();

// The clock: the value readTickCount answers from now on.
void setStubTickCount(uint32_t ticks);
void advanceStubTickCount(uint32_t milliseconds);

// Bitmaps: the named-image store that stands in for resources (the bytes
// are copied), and a count of live image blocks for leak checks.
void addStubBitmapResource(const char* name, const uint8_t* bytes, uint32_t size);
void clearStubBitmapResources();
int32_t liveDibMemoryBlocks();
// The next allocations fail after this many succeed (-1: never).
void failDibMemoryAfter(int32_t successes);

// Sound: the images the loader finds (copied), and the calls to
// playWaveImage since the last clear (null for a stop); the first
// min(count, capacity) are kept.
void addStubWaveResource(const char* name, const uint8_t* bytes, uint32_t size);
void clearStubWaveResources();
int32_t stubPlayCount();
const void* stubPlayed(int32_t index);
void clearStubPlays();
enum { stubPlayCapacity = 256 };
