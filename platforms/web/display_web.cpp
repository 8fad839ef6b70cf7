// Canvas back end of the window for the memory drawing model. Each fill or
// present of the window writes its rectangle's palette indices into an
// 8-bit image of the canvas and notes the rectangle; before the page's
// script presents, the noted rectangles are brought up to date in the RGBA
// image through a 256-entry colour table built from the selected palette.
// So the ticks of one animation frame convert each pixel once at most.
#include "platforms/web/display_web.h"

#include <cstdlib>
#include <cstring>

#include "platforms/memory/display_memory.h"
#include "scene/scene_driver.h"

namespace {

struct WebCanvas {
    int32_t width;
    int32_t height;
    uint32_t* pixels;           // RGBA bytes, one word per pixel
    uint8_t* indices;           // the palette index each pixel is to show
    uint8_t* shown;             // the palette index each pixel shows
    ColourTable table;          // RGBA words of the selected palette
    bool recolour;              // the table changed: convert every pixel
    int32_t rectCount;
    int32_t rects[maxWebRects * 4];
};

WebCanvas canvas;

// A rectangle that overlaps one already listed by at least as much as their
// union adds joins it: the same ship's places on consecutive ticks of one
// animation frame come out as one rectangle, converted and put once.
bool joinListedRect(int32_t left, int32_t top, int32_t width, int32_t height)
{
    const int64_t area = static_cast<int64_t>(width) * height;
    for (int32_t i = 0; i < canvas.rectCount; ++i) {
        int32_t* rect = canvas.rects + 4 * i;
        const int32_t l = left < rect[0] ? left : rect[0];
        const int32_t t = top < rect[1] ? top : rect[1];
        const int32_t r = left + width > rect[0] + rect[2] ? left + width : rect[0] + rect[2];
        const int32_t b = top + height > rect[1] + rect[3] ? top + height : rect[1] + rect[3];
        const int64_t united = static_cast<int64_t>(r - l) * (b - t);
        if (united <= area + static_cast<int64_t>(rect[2]) * rect[3] &&
            (left < rect[0] + rect[2] && rect[0] < left + width && top < rect[1] + rect[3] && rect[1] < top + height)) {
            rect[0] = l;
            rect[1] = t;
            rect[2] = r - l;
            rect[3] = b - t;
            return true;
        }
    }
    return false;
}

void noteRect(int32_t left, int32_t top, int32_t width, int32_t height)
{
    if (joinListedRect(left, top, width, height))
        return;
    if (canvas.rectCount == maxWebRects) {
        canvas.rects[0] = 0;
        canvas.rects[1] = 0;
        canvas.rects[2] = canvas.width;
        canvas.rects[3] = canvas.height;
        canvas.rectCount = 1;
        return;
    }
    int32_t* rect = canvas.rects + 4 * canvas.rectCount++;
    rect[0] = left;
    rect[1] = top;
    rect[2] = width;
    rect[3] = height;
}

// Canvas image data is R, G, B, A in memory order; wasm is little-endian.
uint32_t rgbaWord(const PaletteEntry& e)
{
    return e.peRed | static_cast<uint32_t>(e.peGreen) << 8 | static_cast<uint32_t>(e.peBlue) << 16 | 0xFF000000u;
}

// The pixels of a new palette are converted when the page presents next,
// all of them: every pixel is to show its index's new colour.
IndexImage indexImage() { return IndexImage{canvas.indices, canvas.width, canvas.height}; }

void selectColours(PaletteHandle palette)
{
    if (!selectColourTable(canvas.table, palette, rgbaWord))
        return;
    canvas.recolour = true;
    noteRect(0, 0, canvas.width, canvas.height);
}

// Brings count pixels of row y from x on up to date. Runs of 8 that show
// their indices already are skipped: a present covers a sprite's old and
// new places, and much of that (the black around a ship, overlapping
// rectangles) shows the right colour already.
void convertRow(int32_t y, int32_t x, int32_t count)
{
    enum : int32_t { run = 8 };
    const size_t at = static_cast<size_t>(y) * canvas.width + x;
    uint32_t* out = canvas.pixels + at;
    const uint8_t* indices = canvas.indices + at;
    uint8_t* shown = canvas.shown + at;
    const uint32_t* colours = canvas.table.colours;
    int32_t i = 0;
    for (; i + run <= count; i += run) {
        uint64_t wanted, now;
        std::memcpy(&wanted, indices + i, run);
        std::memcpy(&now, shown + i, run);
        if (wanted == now)
            continue;
        for (int32_t k = i; k < i + run; ++k)
            out[k] = colours[indices[k]];
        std::memcpy(shown + i, &wanted, run);
    }
    for (; i < count; ++i) {
        out[i] = colours[indices[i]];
        shown[i] = indices[i];
    }
}

} // namespace

bool openWebCanvas(int32_t width, int32_t height)
{
    closeWebCanvas();
    canvas.width = width > 0 ? width : 1;
    canvas.height = height > 0 ? height : 1;
    const size_t count = static_cast<size_t>(canvas.width) * canvas.height;
    canvas.pixels = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    canvas.indices = static_cast<uint8_t*>(std::calloc(count, 1));
    canvas.shown = static_cast<uint8_t*>(std::calloc(count, 1));
    if (canvas.pixels == nullptr || canvas.indices == nullptr || canvas.shown == nullptr) {
        closeWebCanvas();
        return false;
    }
    for (size_t i = 0; i < count; ++i)
        canvas.pixels[i] = 0xFF000000u;
    noteRect(0, 0, canvas.width, canvas.height);
    return true;
}

void closeWebCanvas()
{
    std::free(canvas.pixels);
    std::free(canvas.indices);
    std::free(canvas.shown);
    canvas.pixels = nullptr;
    canvas.indices = nullptr;
    canvas.shown = nullptr;
    canvas.width = 0;
    canvas.height = 0;
    canvas.table.valid = false;
    canvas.recolour = false;
    canvas.rectCount = 0;
}

void convertWebRects()
{
    if (canvas.recolour) {
        const size_t count = static_cast<size_t>(canvas.width) * canvas.height;
        for (size_t i = 0; i < count; ++i)
            canvas.pixels[i] = canvas.table.colours[canvas.indices[i]];
        std::memcpy(canvas.shown, canvas.indices, count);
        canvas.recolour = false;
        return;
    }
    for (int32_t r = 0; r < canvas.rectCount; ++r) {
        const int32_t* rect = canvas.rects + 4 * r;
        for (int32_t y = rect[1]; y < rect[1] + rect[3]; ++y)
            convertRow(y, rect[0], rect[2]);
    }
}

const uint8_t* webCanvasPixels() { return reinterpret_cast<const uint8_t*>(canvas.pixels); }
int32_t webCanvasWidth() { return canvas.width; }
int32_t webCanvasHeight() { return canvas.height; }
int32_t webRectCount() { return canvas.rectCount; }
const int32_t* webRects() { return canvas.rects; }
void clearWebRects() { canvas.rectCount = 0; }

// A canvas has no system palette: the static colours stay black, as on a
// true-colour Windows display.
void readSystemColours(PaletteEntry*) {}

void fillWindowIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette)
{
    int32_t width = right - left;
    int32_t height = bottom - top;
    if (canvas.pixels == nullptr || !fillIndexImage(indexImage(), left, top, width, height, index))
        return;
    selectColours(palette);
    noteRect(left, top, width, height);
}

void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (canvas.pixels == nullptr || !copyIntoIndexImage(indexImage(), left, top, width, height, bits, info))
        return;
    selectColours(palette);
    noteRect(left, top, width, height);
}

// The canvas holds the scene's logical size; the page's style scales it up
// to whole blocks of device pixels.
bool prepareSceneWindow(WindowHandle, int32_t, int32_t, const PixelScale& pixels)
{
    return openWebCanvas(pixels.logicalWidth, pixels.logicalHeight);
}

void releaseSceneWindow(WindowHandle) { closeWebCanvas(); }
