// Packed device-independent bitmaps: one block holding a 40-byte info header,
// its colour table and the bottom-up pixel rows. The surfaces take every image
// from here: pattern images by name (file first, then the image's resources)
// and blank save-under buffers.
#pragma once
#include <cstdint>

// The platform's BITMAPINFOHEADER, byte for byte.
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight; // positive: bottom row stored first
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BitmapInfoHeader must match the platform layout");

// The platform's RGBQUAD.
struct RgbQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

// A packed DIB is addressed through its header: the colour table starts biSize
// bytes after it, the rows after the table.
typedef BitmapInfoHeader PackedDib;

enum : uint32_t {
    infoHeaderSize = 40,
    coreHeaderSize = 12,
    fileHeaderSize = 14,
    bitmapFileType = 0x4D42, // "BM"
    compressionNone = 0,
    compressionRle8 = 1,
    compressionRle4 = 2,
    compressionBitFields = 3,
    // Header and full 256-entry colour table: where an 8-bit surface's rows begin.
    dibHeadBytes = 40 + 256 * 4,
    // Largest width and height accepted; keeps every size product far inside 32 bits.
    maxDibDimension = 16384,
};

// Where the reader takes its bytes from: an open file of the platform's
// 16-bit-compatible file calls, or a block of memory (tests and the fuzzer).
// The same parsing runs on both.
struct DibReader {
    int32_t file; // an open file, or noBitmapFile for memory
    const uint8_t* bytes;
    uint32_t size;
    uint32_t position;
};

DibReader fileReader(int32_t file);
DibReader memoryReader(const uint8_t* bytes, uint32_t size);

// The colour count a header declares: biClrUsed, else 1 << biBitCount up to
// 8 bits, else 0. Headers with more than 256 colours never get this far.
uint32_t dibColourCount(const BitmapInfoHeader& header);

// Bytes of one pixel row, padded to whole 32-bit words.
inline uint32_t dibStride(int32_t bitCount, int32_t width)
{
    const uint64_t bits = static_cast<uint64_t>(static_cast<uint32_t>(bitCount)) * static_cast<uint32_t>(width);
    return static_cast<uint32_t>((bits + 31) / 32 * 4);
}

// Everything before the pixel rows: returns a new block with the normalised
// 40-byte header (biSizeImage and biClrUsed filled in) and the colour table,
// positioned at the first row; null for anything that is not a bitmap this
// reader can hold safely. *rowBytesPresent receives how many row bytes the
// source declares (the rest of biSizeImage is zero-filled by the caller).
PackedDib* readPackedDibHead(DibReader& reader, uint32_t* rowBytesPresent);

// Reads a whole image from reader: header, colour table, rows. Rows the source
// does not hold read as zero. *blockSize receives the size of the block.
PackedDib* readPackedDib(DibReader& reader, uint32_t* blockSize);

// Finds an image by name: a file of that name first, then the image's own
// bitmap resources. A file that exists but is not a readable bitmap hides the
// resource. Resource data is returned as it stands (read-only, never freed);
// *fromResource tells which it was. Blocks from files belong to the caller
// (freeDibMemory).
const PackedDib* loadPackedDib(const char* name, uint32_t* blockSize, int32_t* fromResource);

// A zero-filled image: header, 256 black colour-table entries, rows of index 0.
// Null for sizes outside 1 ... maxDibDimension or an unusable bit count.
PackedDib* allocBlankDib(int32_t bitCount, int32_t width, int32_t height);

// Size of the block allocBlankDib makes for these arguments (0 if it would refuse).
uint32_t blankDibSize(int32_t bitCount, int32_t width, int32_t height);
