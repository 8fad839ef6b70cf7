// The drawing model in plain memory shared by the hosted back ends: memory
// device contexts and DIB sections as 8-bit buffers, palettes as tables,
// brushes as colours matched to the nearest palette entry at each fill. The
// window's own device context hands its fills and presents to the back end.
#include "platforms/memory/display_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

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
bool (*allocationVeto)(DisplayCall) = nullptr;

void noteCall(DisplayCall call)
{
    if (callObserver != nullptr)
        callObserver(call);
}

// A new object of type T with extra bytes after it, made by call; null when
// the veto refuses it or the heap has no room. Freed with std::free.
template <typename T>
T* allocateObject(DisplayCall call, size_t extra)
{
    static_assert(std::is_trivially_destructible<T>::value, "freed without a destructor");
    if (allocationVeto != nullptr && allocationVeto(call))
        return nullptr;
    if (extra > SIZE_MAX - sizeof(T))
        return nullptr;
    void* block = std::malloc(sizeof(T) + extra);
    if (block == nullptr)
        return nullptr;
    ++liveObjects;
    return new (block) T();
}

MemoryObject* allocateMemoryObject(DisplayCall call, Kind kind, size_t extra)
{
    MemoryObject* object = allocateObject<MemoryObject>(call, extra);
    if (object != nullptr)
        object->kind = kind;
    return object;
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

void vetoDisplayAllocations(bool (*veto)(DisplayCall)) { allocationVeto = veto; }

PaletteHandle createDisplayPalette(const PaletteEntry* entries)
{
    NOTE_CALL(createPalette);
    MemoryObject* palette = allocateMemoryObject(DisplayCall::createPalette, Kind::palette, 0);
    if (palette != nullptr)
        std::memcpy(palette->entries, entries, sizeof palette->entries);
    return palette;
}

PaletteHandle selectDisplayPalette(DeviceContext dc, PaletteHandle palette)
{
    NOTE_CALL(selectPalette);
    if (dc == nullptr)
        return nullptr;
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
    MemoryDc* dc = allocateObject<MemoryDc>(DisplayCall::createMemoryDc, 0);
    if (dc != nullptr)
        dc->bitmap = &stockBitmap;
    return dc;
}

void deleteMemoryDc(DeviceContext dc)
{
    if (dc == nullptr)
        return;
    NOTE_CALL(deleteMemoryDc);
    --liveObjects;
    std::free(dcOf(dc));
}

BitmapHandle createDibSectionBitmap(DeviceContext, const BitmapInfoHeader* info, uint8_t** bits)
{
    NOTE_CALL(createDibSection);
    *bits = nullptr;
    if (info->biWidth <= 0 || info->biHeight <= 0 || info->biBitCount != 8)
        return nullptr;
    const uint32_t stride = dibStride(8, info->biWidth);
    // In 64 bits: the web page's size_t has 32, too few for every product.
    const uint64_t size = static_cast<uint64_t>(stride) * static_cast<uint32_t>(info->biHeight);
    if (stride > 0x7FFFFFFFu || size > SIZE_MAX)
        return nullptr;
    // The pixels follow the object in its block.
    MemoryObject* bitmap =
        allocateMemoryObject(DisplayCall::createDibSection, Kind::bitmap, static_cast<size_t>(size));
    if (bitmap == nullptr)
        return nullptr;
    bitmap->width = info->biWidth;
    bitmap->height = info->biHeight;
    bitmap->stride = static_cast<int32_t>(stride);
    bitmap->bits = reinterpret_cast<uint8_t*>(bitmap + 1);
    // Not cleared: whoever creates the section has to paint it.
    std::memset(bitmap->bits, 0xCD, static_cast<size_t>(size));
    *bits = bitmap->bits;
    return bitmap;
}

BitmapHandle selectDisplayBitmap(DeviceContext dc, BitmapHandle bitmap)
{
    NOTE_CALL(selectBitmap);
    if (dc == nullptr)
        return nullptr;
    MemoryObject* previous = dcOf(dc)->bitmap;
    dcOf(dc)->bitmap = static_cast<MemoryObject*>(bitmap);
    return previous;
}

BrushHandle createSolidBrush(uint32_t colour)
{
    NOTE_CALL(createBrush);
    MemoryObject* brush = allocateMemoryObject(DisplayCall::createBrush, Kind::brush, 0);
    if (brush != nullptr)
        brush->colour = colour;
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
        break;
    case Kind::brush:
        NOTE_CALL(deleteBrush);
        break;
    }
    --liveObjects;
    std::free(memory);
}

void fillDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t right, int32_t bottom, BrushHandle brush)
{
    NOTE_CALL(fill);
    if (dc == nullptr || brush == nullptr)
        return;
    MemoryDc* memory = dcOf(dc);
    fillIndex(memory, left, top, right, bottom, nearestIndex(memory->palette, static_cast<MemoryObject*>(brush)->colour));
}

void blackenDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height)
{
    NOTE_CALL(blacken);
    if (dc == nullptr)
        return;
    MemoryDc* memory = dcOf(dc);
    fillIndex(memory, left, top, left + width, top + height, nearestIndex(memory->palette, 0));
}

void presentDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height,
                        const uint8_t* bits, const BitmapInfoHeader* info)
{
    NOTE_CALL(present);
    if (dc == nullptr)
        return;
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

bool fillIndexImage(const IndexImage& image, int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                    uint8_t index)
{
    if (image.indices == nullptr || !clipToTarget(left, top, width, height, image.width, image.height))
        return false;
    for (int32_t y = top; y < top + height; ++y)
        std::memset(image.indices + static_cast<size_t>(y) * image.width + left, index, static_cast<size_t>(width));
    return true;
}

bool copyIntoIndexImage(const IndexImage& image, int32_t& left, int32_t& top, int32_t& width, int32_t& height,
                        const uint8_t* bits, const BitmapInfoHeader* info)
{
    if (image.indices == nullptr || bits == nullptr ||
        !clipPresentRect(left, top, width, height, info, image.width, image.height))
        return false;
    copyImageRect(left, top, width, height, bits, info, [&image](int32_t y, int32_t& rowWidth) {
        rowWidth = image.width;
        return image.indices + static_cast<size_t>(y) * image.width;
    });
    return true;
}
