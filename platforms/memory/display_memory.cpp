// The drawing model in plain memory shared by the hosted back ends: memory
// device contexts and DIB sections as 8-bit buffers, palettes as tables,
// brushes as colours matched to the nearest palette entry at each fill. The
// window's own device context hands its fills and presents to the back end.
#include "platforms/memory/display_memory.h"

#include <cstring>

#define NOTE_CALL(call) noteCall(DisplayCall::call)

namespace {

enum class Kind : uint8_t { palette, bitmap, brush };

struct MemoryObject {
    Kind kind;
    PaletteEntry entries[256]; // palette
    uint8_t* bits;             // bitmap: bottom-up rows
    int32_t width;
    int32_t height;
    int32_t stride;
    uint32_t colour; // brush
};

struct MemoryDc {
    bool window;
    MemoryObject* palette;
    MemoryObject* bitmap;
};

MemoryDc windowDc = {true, nullptr, nullptr};
MemoryObject stockBitmap = {Kind::bitmap, {}, nullptr, 0, 0, 0, 0};
int32_t liveObjects = 0;
void (*callObserver)(DisplayCall) = nullptr;

void noteCall(DisplayCall call)
{
    if (callObserver != nullptr)
        callObserver(call);
}

MemoryDc* dcOf(DeviceContext dc) { return static_cast<MemoryDc*>(dc); }

// Row y (from the top) of the bitmap a memory DC draws into, and its width;
// null outside.
uint8_t* bitmapRow(const MemoryDc* dc, int32_t y, int32_t& width)
{
    const MemoryObject* bitmap = dc->bitmap;
    width = bitmap != nullptr ? bitmap->width : 0;
    if (bitmap == nullptr || bitmap->bits == nullptr || y < 0 || y >= bitmap->height)
        return nullptr;
    return bitmap->bits + static_cast<size_t>(bitmap->stride) * (bitmap->height - 1 - y);
}

uint8_t nearestIndex(const MemoryObject* palette, uint32_t colour)
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

void fillIndex(MemoryDc* dc, int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index)
{
    if (dc->window) {
        fillWindowIndex(left, top, right, bottom, index, dc->palette);
        return;
    }
    for (int32_t y = top; y < bottom; ++y) {
        int32_t width = 0;
        uint8_t* row = bitmapRow(dc, y, width);
        if (row == nullptr)
            continue;
        const int32_t from = left < 0 ? 0 : left;
        const int32_t to = right > width ? width : right;
        for (int32_t x = from; x < to; ++x)
            row[x] = index;
    }
}

} // namespace

const PaletteEntry* memoryPaletteEntries(PaletteHandle palette)
{
    return palette != nullptr ? static_cast<MemoryObject*>(palette)->entries : nullptr;
}

int32_t liveMemoryDisplayObjects() { return liveObjects; }

void observeDisplayCalls(void (*observer)(DisplayCall)) { callObserver = observer; }

PaletteHandle createDisplayPalette(const PaletteEntry* entries)
{
    NOTE_CALL(createPalette);
    MemoryObject* palette = new MemoryObject();
    palette->kind = Kind::palette;
    std::memcpy(palette->entries, entries, sizeof palette->entries);
    ++liveObjects;
    return palette;
}

PaletteHandle selectDisplayPalette(DeviceContext dc, PaletteHandle palette)
{
    NOTE_CALL(selectPalette);
    MemoryObject* previous = dcOf(dc)->palette;
    dcOf(dc)->palette = static_cast<MemoryObject*>(palette);
    return previous;
}

void realizeDisplayPalette(DeviceContext) { NOTE_CALL(realizePalette); }

DeviceContext getWindowDc(WindowHandle)
{
    NOTE_CALL(getDc);
    // A common device context comes with the default palette selected.
    windowDc.palette = nullptr;
    return &windowDc;
}

void releaseWindowDc(WindowHandle, DeviceContext) { NOTE_CALL(releaseDc); }

DeviceContext createMemoryDc(DeviceContext)
{
    NOTE_CALL(createMemoryDc);
    ++liveObjects;
    return new MemoryDc{false, nullptr, &stockBitmap};
}

void deleteMemoryDc(DeviceContext dc)
{
    if (dc == nullptr)
        return;
    NOTE_CALL(deleteMemoryDc);
    --liveObjects;
    delete dcOf(dc);
}

BitmapHandle createDibSectionBitmap(DeviceContext, const BitmapInfoHeader* info, uint8_t** bits)
{
    NOTE_CALL(createDibSection);
    *bits = nullptr;
    if (info->biWidth <= 0 || info->biHeight <= 0 || info->biBitCount != 8)
        return nullptr;
    MemoryObject* bitmap = new MemoryObject();
    bitmap->kind = Kind::bitmap;
    bitmap->width = info->biWidth;
    bitmap->height = info->biHeight;
    bitmap->stride = static_cast<int32_t>(dibStride(8, info->biWidth));
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
    NOTE_CALL(selectBitmap);
    MemoryObject* previous = dcOf(dc)->bitmap;
    dcOf(dc)->bitmap = static_cast<MemoryObject*>(bitmap);
    return previous;
}

BrushHandle createSolidBrush(uint32_t colour)
{
    NOTE_CALL(createBrush);
    MemoryObject* brush = new MemoryObject();
    brush->kind = Kind::brush;
    brush->colour = colour;
    ++liveObjects;
    return brush;
}

void deleteDisplayObject(void* object)
{
    MemoryObject* memory = static_cast<MemoryObject*>(object);
    if (memory == nullptr || memory == &stockBitmap)
        return;
    switch (memory->kind) {
    case Kind::palette:
        NOTE_CALL(deletePalette);
        break;
    case Kind::bitmap:
        NOTE_CALL(deleteBitmap);
        delete[] memory->bits;
        break;
    case Kind::brush:
        NOTE_CALL(deleteBrush);
        break;
    }
    --liveObjects;
    delete memory;
}

void fillDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t right, int32_t bottom, BrushHandle brush)
{
    NOTE_CALL(fill);
    if (brush == nullptr)
        return;
    MemoryDc* memory = dcOf(dc);
    fillIndex(memory, left, top, right, bottom, nearestIndex(memory->palette, static_cast<MemoryObject*>(brush)->colour));
}

void blackenDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height)
{
    NOTE_CALL(blacken);
    MemoryDc* memory = dcOf(dc);
    fillIndex(memory, left, top, left + width, top + height, nearestIndex(memory->palette, 0));
}

void presentDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height,
                        const uint8_t* bits, const BitmapInfoHeader* info)
{
    NOTE_CALL(present);
    MemoryDc* memory = dcOf(dc);
    if (memory->window) {
        presentWindowRect(left, top, width, height, bits, info, memory->palette);
        return;
    }
    if (bits == nullptr)
        return;
    copyImageRect(left, top, width, height, bits, info,
                  [memory](int32_t y, int32_t& rowWidth) { return bitmapRow(memory, y, rowWidth); });
}
