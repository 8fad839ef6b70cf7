// Surfaces: taking images, the identity palette, and the three clipped copies
// the renderer runs once per sprite and frame. Copies clip once and then walk
// rows by stride without further checks.
#include "render/dib_surface.h"

#include <new>

#include "render/bitmap_source.h"

namespace {

// Clips a span of length cells that starts at target in one image and at
// source in the other against both images' sizes, moving both starts together.
bool clipSpan(int32_t& target, int32_t& source, int32_t& length, int32_t targetSize, int32_t sourceSize)
{
    int64_t t = target;
    int64_t s = source;
    int64_t n = length;
    if (t < 0) {
        n += t;
        s -= t;
        t = 0;
    }
    if (s < 0) {
        n += s;
        t -= s;
        s = 0;
    }
    if (t + n > targetSize)
        n = targetSize - t;
    if (s + n > sourceSize)
        n = sourceSize - s;
    if (n <= 0)
        return false;
    target = static_cast<int32_t>(t);
    source = static_cast<int32_t>(s);
    length = static_cast<int32_t>(n);
    return true;
}

// Cuts a span of length cells starting at `at` to 0 ... limit - 1.
bool clipToOrigin(int32_t& at, int32_t& length, int32_t limit)
{
    int64_t from = at;
    int64_t n = length;
    if (from < 0) {
        n += from;
        from = 0;
    }
    if (from + n > limit)
        n = limit - from;
    if (n <= 0)
        return false;
    at = static_cast<int32_t>(from);
    length = static_cast<int32_t>(n);
    return true;
}

// Copies rows of columns bytes, starting at the bottom rows' addresses:
// both images are stored bottom-up.
void copyRows(uint8_t* to, int32_t toStride, const uint8_t* from, int32_t fromStride, int32_t rows, int32_t columns)
{
    for (int32_t j = 0; j < rows; ++j, from += fromStride, to += toStride)
        __builtin_memcpy(to, from, static_cast<uint32_t>(columns));
}

// A machine word of bytes at a time: a byte is kept where the source holds
// the transparent index, replaced everywhere else. Sprites are mostly opaque
// or mostly transparent, so whole words usually go one way.
typedef uintptr_t Word;
const Word lowBits = ~Word(0) / 0xFF * 0x7F;  // 0x7F in every byte
const Word highBits = ~Word(0) / 0xFF * 0x80; // 0x80 in every byte
const Word transparentBytes = ~Word(0) / 0xFF * transparentIndex;

void drawTransparentRow(uint8_t* to, const uint8_t* from, int32_t count)
{
    int32_t k = 0;
#if defined(__SSE2__) || defined(__wasm_simd128__)
    // Sixteen bytes at a time where the processor (or WebAssembly with SIMD)
    // has the registers for it; the word loop below then handles the rest of
    // the row.
    typedef uint8_t Lanes __attribute__((vector_size(16)));
    const Lanes transparent = Lanes{} + static_cast<uint8_t>(transparentIndex);
    for (; k + 16 <= count; k += 16) {
        Lanes source;
        Lanes target;
        __builtin_memcpy(&source, from + k, sizeof source);
        __builtin_memcpy(&target, to + k, sizeof target);
        const Lanes keep = reinterpret_cast<Lanes>(source == transparent);
        target = (source & ~keep) | (target & keep);
        __builtin_memcpy(to + k, &target, sizeof target);
    }
#endif
    for (; k + static_cast<int32_t>(sizeof(Word)) <= count; k += sizeof(Word)) {
        Word source;
        __builtin_memcpy(&source, from + k, sizeof source);
        const Word difference = source ^ transparentBytes;
        // High bit of each byte set exactly where the byte differs from the
        // transparent index (no carries cross bytes: 0x7F + 0x7F < 0x100).
        const Word opaque = (((difference & lowBits) + lowBits) | difference) & highBits;
        if (opaque == 0)
            continue;
        if (opaque == highBits) {
            __builtin_memcpy(to + k, &source, sizeof source);
            continue;
        }
        const Word mask = (opaque >> 7) * 0xFF;
        Word target;
        __builtin_memcpy(&target, to + k, sizeof target);
        target = (source & mask) | (target & ~mask);
        __builtin_memcpy(to + k, &target, sizeof target);
    }
    for (; k < count; ++k)
        if (from[k] != transparentIndex)
            to[k] = from[k];
}

// Entries 0-9 and 246-255 of a colour table, the display's static colours,
// from the system palette's entries.
void takeStaticColours(RgbQuad* table, const PaletteEntry* system)
{
    for (int32_t i = 0; i < 256; i = i == 9 ? 246 : i + 1) {
        table[i].rgbRed = system[i].peRed;
        table[i].rgbGreen = system[i].peGreen;
        table[i].rgbBlue = system[i].peBlue;
    }
}

} // namespace

bool isSurfaceImage(const PackedDib* block, uint32_t blockSize)
{
    if (block == nullptr || blockSize < infoHeaderSize)
        return false;
    BitmapInfoHeader header;
    __builtin_memcpy(&header, block, sizeof header);
    if (header.biSize != infoHeaderSize || header.biBitCount != 8 || header.biCompression != compressionNone)
        return false;
    if (header.biClrUsed != 0 && header.biClrUsed != 256)
        return false;
    if (header.biWidth < 1 || header.biWidth > static_cast<int32_t>(maxDibDimension) || header.biHeight < 1 ||
        header.biHeight > static_cast<int32_t>(maxDibDimension))
        return false;
    const uint64_t rows = static_cast<uint64_t>(dibStride(8, header.biWidth)) * static_cast<uint32_t>(header.biHeight);
    return dibHeadBytes + rows <= blockSize;
}

DibSurface::~DibSurface()
{
    deleteDisplayObject(palette);
    delete[] ownedBlock;
    freeDibMemory(ownedImage);
}

bool DibSurface::takeImage(const PackedDib* block, uint32_t blockSize, uint8_t* owned)
{
    if (!isSurfaceImage(block, blockSize)) {
        freeDibMemory(owned);
        return false;
    }
    header = block;
    info = block;
    width = block->biWidth;
    height = block->biHeight;
    // Pattern images may be read-only resource data; only the back buffer
    // and save-under buffers are ever written through bits.
    bits = const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(block)) + dibHeadBytes;
    ownedImage = owned;
    return true;
}

void DibSurface::releaseImage()
{
    freeDibMemory(ownedImage);
    ownedImage = nullptr;
    if (header != reinterpret_cast<const PackedDib*>(ownedBlock)) {
        header = nullptr;
        info = nullptr;
        bits = nullptr;
        width = 0;
        height = 0;
    }
}

void DibSurface::loadNamed(const char* name)
{
    releaseImage();
    uint32_t blockSize = 0;
    int32_t fromResource = 0;
    const PackedDib* dib = loadPackedDib(name, &blockSize, &fromResource);
    if (dib == nullptr)
        return;
    uint8_t* owned = fromResource ? nullptr : const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(dib));
    takeImage(dib, blockSize, owned);
}

const PackedDib* DibSurface::createBlank(int32_t newWidth, int32_t newHeight)
{
    releaseImage();
    PackedDib* dib = allocBlankDib(8, newWidth, newHeight);
    if (dib == nullptr)
        return nullptr;
    if (!takeImage(dib, blankDibSize(8, newWidth, newHeight), reinterpret_cast<uint8_t*>(dib)))
        return nullptr;
    return dib;
}

uint8_t* DibSurface::writableHeaderBlock()
{
    if (ownedBlock == nullptr) {
        releaseImage();
        ownedBlock = new (std::nothrow) uint8_t[dibHeadBytes];
        if (ownedBlock == nullptr)
            return nullptr;
        __builtin_memset(ownedBlock, 0, dibHeadBytes);
        reinterpret_cast<BitmapInfoHeader*>(ownedBlock)->biSize = infoHeaderSize;
        header = reinterpret_cast<const PackedDib*>(ownedBlock);
    }
    return ownedBlock;
}

RgbQuad* DibSurface::colourTable() const
{
    return reinterpret_cast<RgbQuad*>(ownedBlock + reinterpret_cast<const BitmapInfoHeader*>(ownedBlock)->biSize);
}

BitmapHandle DibSurface::createDibSection(DeviceContext dc, int32_t newWidth, int32_t newHeight)
{
    // A negative height would make the platform store the rows top-down.
    if (newWidth < 1 || newHeight < 1 || newWidth > static_cast<int32_t>(maxDibDimension) ||
        newHeight > static_cast<int32_t>(maxDibDimension)) {
        newWidth = 0;
        newHeight = 0;
    }
    BitmapInfoHeader* head = reinterpret_cast<BitmapInfoHeader*>(writableHeaderBlock());
    if (head == nullptr) {
        bits = nullptr;
        width = 0;
        height = 0;
        return nullptr;
    }
    head->biSize = infoHeaderSize;
    head->biWidth = newWidth;
    head->biHeight = newHeight;
    head->biPlanes = 1;
    head->biBitCount = 8;
    head->biCompression = compressionNone;
    head->biSizeImage = 0;
    head->biXPelsPerMeter = 0;
    head->biYPelsPerMeter = 0;
    head->biClrUsed = 0;
    head->biClrImportant = 0;
    header = head;
    info = head;
    width = newWidth;
    height = newHeight;
    bits = nullptr;
    const BitmapHandle bitmap = newWidth > 0 ? createDibSectionBitmap(dc, head, &bits) : nullptr;
    if (bitmap == nullptr || bits == nullptr) {
        // Without pixels every copy to or from this surface clips to nothing.
        bits = nullptr;
        width = 0;
        height = 0;
    }
    return bitmap;
}

void DibSurface::adoptColours(const DibSurface& source)
{
    PaletteEntry system[256] = {};
    readSystemColours(system);
    if (writableHeaderBlock() == nullptr)
        return;
    RgbQuad* table = colourTable();
    takeStaticColours(table, system);
    if (source.header == nullptr)
        return;
    const RgbQuad* from = reinterpret_cast<const RgbQuad*>(reinterpret_cast<const uint8_t*>(source.header) +
                                                           source.header->biSize);
    for (int32_t i = 10; i < 246; ++i) {
        table[i].rgbRed = from[i].rgbRed;
        table[i].rgbGreen = from[i].rgbGreen;
        table[i].rgbBlue = from[i].rgbBlue;
    }
}

void DibSurface::buildPalette()
{
    PaletteEntry entries[256] = {};
    readSystemColours(entries);
    if (writableHeaderBlock() == nullptr)
        return;
    RgbQuad* table = colourTable();
    takeStaticColours(table, entries);
    for (int32_t i = 10; i < 246; ++i)
        entries[i] = PaletteEntry{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, paletteNoCollapse};
    deleteDisplayObject(palette);
    palette = createDisplayPalette(entries);
}

PaletteHandle DibSurface::selectPalette(DeviceContext dc) { return selectDisplayPalette(dc, palette); }

void DibSurface::copyFrom(const DibSurface* source, int32_t x, int32_t y)
{
    if (bits == nullptr || source == nullptr || source->bits == nullptr)
        return;
    int32_t columns = width;
    int32_t rows = height;
    if (!clipToOrigin(x, columns, source->width) || !clipToOrigin(y, rows, source->height))
        return;
    copyRows(pixelAddress(0, rows - 1), stride(), source->pixelAddress(x, y + rows - 1), source->stride(), rows,
             columns);
}

void DibSurface::copyTo(DibSurface* target, int32_t x, int32_t y) const
{
    if (bits == nullptr || target == nullptr || target->bits == nullptr)
        return;
    int32_t columns = width;
    int32_t rows = height;
    if (!clipToOrigin(x, columns, target->width) || !clipToOrigin(y, rows, target->height))
        return;
    copyRows(target->pixelAddress(x, y + rows - 1), target->stride(), pixelAddress(0, rows - 1), stride(), rows,
             columns);
}

void DibSurface::drawTransparent(DibSurface* target, int32_t x, int32_t y, int32_t drawWidth, int32_t drawHeight,
                                 int32_t sx, int32_t sy) const
{
    if (bits == nullptr || target == nullptr || target->bits == nullptr)
        return;
    if (!clipSpan(x, sx, drawWidth, target->width, width) || !clipSpan(y, sy, drawHeight, target->height, height))
        return;
    const int32_t targetStride = target->stride();
    const int32_t ownStride = stride();
    const uint8_t* from = pixelAddress(sx, sy + drawHeight - 1);
    uint8_t* to = target->pixelAddress(x, y + drawHeight - 1);
    for (int32_t j = 0; j < drawHeight; ++j, from += ownStride, to += targetStride)
        drawTransparentRow(to, from, drawWidth);
}
