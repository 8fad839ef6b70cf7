// The renderer's one image record: an 8-bit, bottom-up image whose pixels are
// palette indices. It holds a pattern image loaded by name, a sprite's blank
// save-under buffer, or the back buffer (a DIB section that also carries the
// identity palette), and copies rectangles between such images with clipping.
#pragma once
#include <cstdint>

#include "render/display.h"
#include "render/packed_dib.h"

enum : uint8_t { transparentIndex = 10 };

// Whether a block of blockSize bytes is an image a surface can hold as it
// stands: 8 bits, uncompressed, bottom-up, the 40-byte header with a full
// 256-entry colour table (rows at dibHeadBytes), and every row inside the block.
bool isSurfaceImage(const PackedDib* block, uint32_t blockSize);

struct DibSurface {
    PaletteHandle palette;        // the identity palette (back buffer only)
    const PackedDib* header;      // the image block; null: no image
    uint8_t* ownedBlock;          // header block the surface allocated itself
    uint8_t* bits;                // the bottom row
    const BitmapInfoHeader* info; // stride and presents; same as header
    int32_t width;
    int32_t height;
    uint8_t* ownedImage; // a file or blank block, released with the surface

    constexpr DibSurface()
        : palette(nullptr), header(nullptr), ownedBlock(nullptr), bits(nullptr), info(nullptr), width(0),
          height(0), ownedImage(nullptr)
    {
    }
    ~DibSurface();
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    // Pixel (x, y), y counted from the top; null outside the image.
    uint8_t* pixelAddress(int32_t x, int32_t y) const
    {
        if (bits == nullptr || x < 0 || x >= width || y < 0 || y >= height)
            return nullptr;
        return bits + stride() * (height - 1 - y) + x;
    }
    int32_t stride() const { return static_cast<int32_t>(dibStride(8, width)); }

    // Takes the named image (file first, then resource). A block that is not
    // an image the surface can hold leaves the surface without one.
    void loadNamed(const char* name);

    // A zero-filled width x height image (index 0 everywhere), or null.
    const PackedDib* createBlank(int32_t newWidth, int32_t newHeight);

    // Makes this surface a DIB section of the given size on its own header
    // block, whose colour table adoptColours and buildPalette have filled.
    // The caller selects the bitmap into a memory DC and deletes it later.
    BitmapHandle createDibSection(DeviceContext dc, int32_t newWidth, int32_t newHeight);

    // Colour table: the platform's static colours at 0-9 and 246-255, the
    // source image's colours at 10-245.
    void adoptColours(const DibSurface& source);

    // The identity palette of the colour table (entries 10-245 PC_NOCOLLAPSE).
    void buildPalette();

    // Selects the palette as foreground palette; the caller realizes it.
    PaletteHandle selectPalette(DeviceContext dc);

    // This surface's size, at (x, y) of the larger source, into this surface;
    // whatever clipping cuts off, the kept part lands at this surface's origin.
    void copyFrom(const DibSurface* source, int32_t x, int32_t y);
    // The reverse of copyFrom: puts back exactly what it took.
    void copyTo(DibSurface* target, int32_t x, int32_t y) const;
    // This image's rectangle (sx, sy, width, height) onto target at (x, y),
    // leaving out transparentIndex; clipped against both images.
    void drawTransparent(DibSurface* target, int32_t x, int32_t y, int32_t drawWidth, int32_t drawHeight,
                         int32_t sx, int32_t sy) const;

private:
    bool takeImage(const PackedDib* block, uint32_t blockSize, uint8_t* owned);
    void releaseImage();
    uint8_t* writableHeaderBlock();
    RgbQuad* colourTable() const;
};
