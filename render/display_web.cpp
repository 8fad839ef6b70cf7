// Canvas back end of the window for the memory drawing model. Each fill or
// present of the window brings exactly its rectangle up to date in an RGBA
// image through a 256-entry colour table built from the palette the
// renderer selects, and notes the rectangle for the page's script.
#include "render/display_web.h"

#include <cstdlib>
#include <cstring>

#include "render/display_memory.h"

namespace {

struct WebCanvas {
    int32_t width;
    int32_t height;
    uint32_t* pixels;           // RGBA bytes, one word per pixel
    uint8_t* shadow;            // the palette index behind every pixel
    uint32_t colours[256];      // RGBA words of the selected palette
    PaletteHandle tablePalette; // the palette colours[] was built from
    bool tableValid;
    int32_t rectCount;
    int32_t rects[maxWebRects * 4];
};

WebCanvas canvas;

void noteRect(int32_t left, int32_t top, int32_t width, int32_t height)
{
    if (canvas.rectCount == maxWebRects) {
        canvas.rects[0] = 0;
        canvas.rects[1] = 0;
        canvas.rects[2] = canvas.width;
        canvas.rects[3] = canvas.height;
        canvas.rectCount = 1;
        return;
    }
    // After an overflow the whole image is already on the list.
    if (canvas.rectCount == 1 && canvas.rects[2] == canvas.width && canvas.rects[3] == canvas.height)
        return;
    int32_t* rect = canvas.rects + 4 * canvas.rectCount++;
    rect[0] = left;
    rect[1] = top;
    rect[2] = width;
    rect[3] = height;
}

// Clips (left, top, width, height) to the image; false when nothing is left.
bool clipToCanvas(int32_t& left, int32_t& top, int32_t& width, int32_t& height)
{
    int64_t l = left, t = top, r = static_cast<int64_t>(left) + width, b = static_cast<int64_t>(top) + height;
    l = l < 0 ? 0 : l;
    t = t < 0 ? 0 : t;
    r = r > canvas.width ? canvas.width : r;
    b = b > canvas.height ? canvas.height : b;
    if (r <= l || b <= t)
        return false;
    left = static_cast<int32_t>(l);
    top = static_cast<int32_t>(t);
    width = static_cast<int32_t>(r - l);
    height = static_cast<int32_t>(b - t);
    return true;
}

// Canvas image data is R, G, B, A in memory order; wasm is little-endian.
uint32_t rgbaWord(const PaletteEntry& e)
{
    return e.peRed | static_cast<uint32_t>(e.peGreen) << 8 | static_cast<uint32_t>(e.peBlue) << 16 | 0xFF000000u;
}

// A new palette recolours the whole image from the shadow, so that every
// pixel shows its index's colour again.
const uint32_t* coloursFor(PaletteHandle palette)
{
    if (canvas.tableValid && palette == canvas.tablePalette)
        return canvas.colours;
    const PaletteEntry* entries = memoryPaletteEntries(palette);
    for (int32_t i = 0; i < 256; ++i)
        canvas.colours[i] = entries != nullptr ? rgbaWord(entries[i]) : 0xFF000000u;
    canvas.tablePalette = palette;
    canvas.tableValid = true;
    const size_t count = static_cast<size_t>(canvas.width) * canvas.height;
    for (size_t i = 0; i < count; ++i)
        canvas.pixels[i] = canvas.colours[canvas.shadow[i]];
    noteRect(0, 0, canvas.width, canvas.height);
    return canvas.colours;
}

// Brings count pixels of row y from x on up to date with the given indices.
// Runs of 8 that the shadow already holds are skipped: a present covers a
// sprite's old and new places, and much of that (the black around a ship,
// overlapping rectangles) shows the right colour already.
void updateRow(int32_t y, int32_t x, const uint8_t* indices, int32_t count, const uint32_t* colours)
{
    enum : int32_t { run = 8 };
    const size_t at = static_cast<size_t>(y) * canvas.width + x;
    uint32_t* out = canvas.pixels + at;
    uint8_t* shadow = canvas.shadow + at;
    int32_t i = 0;
    for (; i + run <= count; i += run) {
        uint64_t wanted, shown;
        std::memcpy(&wanted, indices + i, run);
        std::memcpy(&shown, shadow + i, run);
        if (wanted == shown)
            continue;
        for (int32_t k = i; k < i + run; ++k)
            out[k] = colours[indices[k]];
        std::memcpy(shadow + i, &wanted, run);
    }
    for (; i < count; ++i) {
        out[i] = colours[indices[i]];
        shadow[i] = indices[i];
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
    canvas.shadow = static_cast<uint8_t*>(std::calloc(count, 1));
    if (canvas.pixels == nullptr || canvas.shadow == nullptr) {
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
    std::free(canvas.shadow);
    canvas.pixels = nullptr;
    canvas.shadow = nullptr;
    canvas.width = 0;
    canvas.height = 0;
    canvas.tableValid = false;
    canvas.rectCount = 0;
}

const uint8_t* webCanvasPixels() { return reinterpret_cast<const uint8_t*>(canvas.pixels); }
int32_t webCanvasWidth() { return canvas.width; }
int32_t webCanvasHeight() { return canvas.height; }
int32_t webRectCount() { return canvas.rectCount; }
const int32_t* webRects() { return canvas.rects; }
void clearWebRects() { canvas.rectCount = 0; }

void noteDisplayCall(DisplayCall) {}

// A canvas has no system palette: the static colours stay black, as on a
// true-colour Windows display.
void readSystemColours(PaletteEntry*) {}

void fillWindowIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette)
{
    int32_t width = right - left;
    int32_t height = bottom - top;
    if (canvas.pixels == nullptr || !clipToCanvas(left, top, width, height))
        return;
    const uint32_t* colours = coloursFor(palette);
    for (int32_t y = top; y < top + height; ++y) {
        const size_t at = static_cast<size_t>(y) * canvas.width + left;
        for (int32_t x = 0; x < width; ++x)
            canvas.pixels[at + x] = colours[index];
        std::memset(canvas.shadow + at, index, static_cast<size_t>(width));
    }
    noteRect(left, top, width, height);
}

void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (canvas.pixels == nullptr || bits == nullptr)
        return;
    // The part that lies both in the source image and in the canvas.
    int64_t r = static_cast<int64_t>(left) + width, b = static_cast<int64_t>(top) + height;
    r = r > info->biWidth ? info->biWidth : r;
    b = b > info->biHeight ? info->biHeight : b;
    width = r > left ? static_cast<int32_t>(r - left) : 0;
    height = b > top ? static_cast<int32_t>(b - top) : 0;
    if (!clipToCanvas(left, top, width, height))
        return;
    const uint32_t* colours = coloursFor(palette);
    const int32_t stride = (info->biWidth + 3) & ~3;
    for (int32_t y = top; y < top + height; ++y)
        updateRow(y, left, bits + static_cast<size_t>(stride) * (info->biHeight - 1 - y) + left, width, colours);
    noteRect(left, top, width, height);
}
