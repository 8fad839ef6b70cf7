// Native back end of the drawing calls: the window is an 8-bit buffer (top
// row first), memory device contexts draw into the DIB section selected into
// them, a brush colour becomes the nearest entry of the selected palette, and
// every present and every call is recorded for the tests.
#include "render/display.h"

#include <cstring>
#include <vector>

namespace {

enum class Kind : uint8_t { palette, bitmap, brush };

struct NativeObject {
    Kind kind;
    PaletteEntry entries[256]; // palette
    uint8_t* bits;             // bitmap: bottom-up rows
    int32_t width;
    int32_t height;
    int32_t stride;
    uint32_t colour; // brush
};

struct NativeDc {
    bool window;
    NativeObject* palette;
    NativeObject* bitmap;
};

std::vector<uint8_t> windowPixels;
int32_t windowWidth = 0;
int32_t windowHeight = 0;
NativeDc windowDc = {true, nullptr, nullptr};
NativeObject stockBitmap = {Kind::bitmap, {}, nullptr, 0, 0, 0, 0};

PaletteEntry systemColours[256];
bool haveSystemColours = false;

PresentedRect presents[nativePresentCapacity];
int32_t presentCount = 0;
DisplayCall calls[nativeDisplayCallCapacity];
int32_t callCount = 0;
int32_t liveObjects = 0;
NativeObject* paletteAtLastPresent = nullptr;

void record(DisplayCall call)
{
    if (callCount < nativeDisplayCallCapacity)
        calls[callCount] = call;
    ++callCount;
}

NativeDc* dcOf(DeviceContext dc) { return static_cast<NativeDc*>(dc); }

// The row y (from the top) of what dc draws into, with its size; null outside.
uint8_t* targetRow(NativeDc* dc, int32_t y, int32_t& width)
{
    if (dc->window) {
        width = windowWidth;
        return y >= 0 && y < windowHeight ? windowPixels.data() + static_cast<size_t>(y) * windowWidth : nullptr;
    }
    const NativeObject* bitmap = dc->bitmap;
    width = bitmap != nullptr ? bitmap->width : 0;
    if (bitmap == nullptr || bitmap->bits == nullptr || y < 0 || y >= bitmap->height)
        return nullptr;
    return bitmap->bits + static_cast<size_t>(bitmap->stride) * (bitmap->height - 1 - y);
}

uint8_t nearestIndex(const NativeObject* palette, uint32_t colour)
{
    if (palette == nullptr)
        return 0;
    const int32_t red = colour & 0xFF;
    const int32_t green = (colour >> 8) & 0xFF;
    const int32_t blue = (colour >> 16) & 0xFF;
    int32_t best = 0;
    int32_t bestDistance = 0x7FFFFFFF;
    for (int32_t i = 0; i < 256; ++i) {
        const PaletteEntry& e = palette->entries[i];
        const int32_t dr = e.peRed - red;
        const int32_t dg = e.peGreen - green;
        const int32_t db = e.peBlue - blue;
        const int32_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

void fillIndex(NativeDc* dc, int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index)
{
    for (int32_t y = top; y < bottom; ++y) {
        int32_t width = 0;
        uint8_t* row = targetRow(dc, y, width);
        if (row == nullptr)
            continue;
        const int32_t from = left < 0 ? 0 : left;
        const int32_t to = right > width ? width : right;
        for (int32_t x = from; x < to; ++x)
            row[x] = index;
    }
}

} // namespace

void readSystemColours(PaletteEntry* entries)
{
    if (!haveSystemColours)
        return;
    for (int32_t i = 0; i < 10; ++i) {
        entries[i] = systemColours[i];
        entries[246 + i] = systemColours[246 + i];
    }
}

PaletteHandle createDisplayPalette(const PaletteEntry* entries)
{
    record(DisplayCall::createPalette);
    NativeObject* palette = new NativeObject();
    palette->kind = Kind::palette;
    std::memcpy(palette->entries, entries, sizeof palette->entries);
    ++liveObjects;
    return palette;
}

PaletteHandle selectDisplayPalette(DeviceContext dc, PaletteHandle palette)
{
    record(DisplayCall::selectPalette);
    NativeObject* previous = dcOf(dc)->palette;
    dcOf(dc)->palette = static_cast<NativeObject*>(palette);
    return previous;
}

void realizeDisplayPalette(DeviceContext) { record(DisplayCall::realizePalette); }

DeviceContext getWindowDc(WindowHandle)
{
    record(DisplayCall::getDc);
    // A common device context comes with the default palette selected.
    windowDc.palette = nullptr;
    return &windowDc;
}

void releaseWindowDc(WindowHandle, DeviceContext) { record(DisplayCall::releaseDc); }

DeviceContext createMemoryDc(DeviceContext)
{
    record(DisplayCall::createMemoryDc);
    ++liveObjects;
    return new NativeDc{false, nullptr, &stockBitmap};
}

void deleteMemoryDc(DeviceContext dc)
{
    if (dc == nullptr)
        return;
    record(DisplayCall::deleteMemoryDc);
    --liveObjects;
    delete dcOf(dc);
}

BitmapHandle createDibSectionBitmap(DeviceContext, const BitmapInfoHeader* info, uint8_t** bits)
{
    record(DisplayCall::createDibSection);
    *bits = nullptr;
    if (info->biWidth <= 0 || info->biHeight <= 0 || info->biBitCount != 8)
        return nullptr;
    NativeObject* bitmap = new NativeObject();
    bitmap->kind = Kind::bitmap;
    bitmap->width = info->biWidth;
    bitmap->height = info->biHeight;
    bitmap->stride = (info->biWidth + 3) & ~3;
    const size_t size = static_cast<size_t>(bitmap->stride) * bitmap->height;
    bitmap->bits = new uint8_t[size];
    // Not cleared: whoever creates the section has to paint it.
    std::memset(bitmap->bits, 0xCD, size);
    *bits = bitmap->bits;
    ++liveObjects;
    return bitmap;
}

BitmapHandle selectDisplayBitmap(DeviceContext dc, BitmapHandle bitmap)
{
    record(DisplayCall::selectBitmap);
    NativeObject* previous = dcOf(dc)->bitmap;
    dcOf(dc)->bitmap = static_cast<NativeObject*>(bitmap);
    return previous;
}

BrushHandle createSolidBrush(uint32_t colour)
{
    record(DisplayCall::createBrush);
    NativeObject* brush = new NativeObject();
    brush->kind = Kind::brush;
    brush->colour = colour;
    ++liveObjects;
    return brush;
}

void deleteDisplayObject(void* object)
{
    NativeObject* native = static_cast<NativeObject*>(object);
    if (native == nullptr || native == &stockBitmap)
        return;
    switch (native->kind) {
    case Kind::palette:
        record(DisplayCall::deletePalette);
        break;
    case Kind::bitmap:
        record(DisplayCall::deleteBitmap);
        delete[] native->bits;
        break;
    case Kind::brush:
        record(DisplayCall::deleteBrush);
        break;
    }
    --liveObjects;
    delete native;
}

void fillDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t right, int32_t bottom, BrushHandle brush)
{
    record(DisplayCall::fill);
    if (brush == nullptr)
        return;
    NativeDc* native = dcOf(dc);
    fillIndex(native, left, top, right, bottom, nearestIndex(native->palette, static_cast<NativeObject*>(brush)->colour));
}

void blackenDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height)
{
    record(DisplayCall::blacken);
    NativeDc* native = dcOf(dc);
    fillIndex(native, left, top, left + width, top + height, nearestIndex(native->palette, 0));
}

void presentDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height,
                        const uint8_t* bits, const BitmapInfoHeader* info)
{
    record(DisplayCall::present);
    if (presentCount < nativePresentCapacity)
        presents[presentCount] = PresentedRect{left, top, width, height};
    ++presentCount;
    NativeDc* native = dcOf(dc);
    paletteAtLastPresent = native->palette;
    if (bits == nullptr)
        return;
    const int32_t sourceWidth = info->biWidth;
    const int32_t sourceHeight = info->biHeight;
    const int32_t stride = (sourceWidth + 3) & ~3;
    int32_t from = left < 0 ? 0 : left;
    int32_t to = left + width;
    if (to > sourceWidth)
        to = sourceWidth;
    for (int32_t y = top; y < top + height; ++y) {
        if (y < 0 || y >= sourceHeight)
            continue;
        int32_t targetWidth = 0;
        uint8_t* row = targetRow(native, y, targetWidth);
        if (row == nullptr)
            continue;
        const int32_t end = to < targetWidth ? to : targetWidth;
        if (end > from)
            std::memcpy(row + from, bits + static_cast<size_t>(stride) * (sourceHeight - 1 - y) + from, end - from);
    }
}

void resetNativeDisplay(int32_t width, int32_t height)
{
    windowWidth = width;
    windowHeight = height;
    windowPixels.assign(static_cast<size_t>(width) * height, 0);
    windowDc.palette = nullptr;
    clearNativePresents();
    clearNativeDisplayCalls();
}

WindowHandle nativeWindow() { return &windowDc; }
int32_t nativeWindowWidth() { return windowWidth; }
int32_t nativeWindowHeight() { return windowHeight; }

uint8_t nativeWindowPixel(int32_t x, int32_t y) { return windowPixels[static_cast<size_t>(y) * windowWidth + x]; }

const uint8_t* nativeWindowRow(int32_t y) { return windowPixels.data() + static_cast<size_t>(y) * windowWidth; }

void setNativeSystemColours(const PaletteEntry* entries)
{
    haveSystemColours = entries != nullptr;
    if (entries != nullptr)
        std::memcpy(systemColours, entries, sizeof systemColours);
}

void clearNativePresents()
{
    presentCount = 0;
    paletteAtLastPresent = nullptr;
}

int32_t nativePresentCount() { return presentCount; }
const PresentedRect* nativePresents() { return presents; }

void clearNativeDisplayCalls() { callCount = 0; }
int32_t nativeDisplayCallCount() { return callCount; }
const DisplayCall* nativeDisplayCalls() { return calls; }
int32_t liveNativeDisplayObjects() { return liveObjects; }

PaletteHandle nativeWindowPaletteAtLastPresent() { return paletteAtLastPresent; }

const PaletteEntry* nativePaletteEntries(PaletteHandle palette)
{
    return palette != nullptr ? static_cast<NativeObject*>(palette)->entries : nullptr;
}
