// The bitmap reader. Files named like a pattern image may come from anywhere
// on the file search path, so every header field is checked and every size is
// proved to fit before anything is allocated; rows a file does not hold read
// as zero instead of leaving old memory behind.
#include "render/packed_dib.h"

#include "render/bitmap_source.h"

namespace {

uint16_t littleU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t littleU32(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

uint32_t readBytes(DibReader& reader, void* target, uint32_t count)
{
    if (reader.file != noBitmapFile)
        return readBitmapFile(reader.file, target, count);
    const uint32_t available = reader.position < reader.size ? reader.size - reader.position : 0;
    if (count > available)
        count = available;
    if (count > 0)
        __builtin_memcpy(target, reader.bytes + reader.position, count);
    reader.position += count;
    return count;
}

int64_t tellReader(DibReader& reader)
{
    if (reader.file != noBitmapFile)
        return tellBitmapFile(reader.file);
    return reader.position;
}

// Positions past the end are allowed, as with files: later reads give nothing.
bool seekReader(DibReader& reader, uint64_t position)
{
    if (position > 0x7FFFFFFFu)
        return false;
    if (reader.file != noBitmapFile)
        return seekBitmapFile(reader.file, static_cast<uint32_t>(position));
    reader.position = static_cast<uint32_t>(position);
    return true;
}

bool isUsableBitCount(int32_t bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

bool isDimensionInRange(int32_t value) { return value >= 1 && value <= static_cast<int32_t>(maxDibDimension); }

// The info header sizes of the platform's versions (40, and the later 52, 56,
// 108 and 124 that begin with the same 40 bytes).
bool isInfoHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool isCompressionFor(uint32_t compression, uint16_t bitCount)
{
    switch (compression) {
    case compressionNone:
        return true;
    case compressionRle8:
        return bitCount == 8;
    case compressionRle4:
        return bitCount == 4;
    case compressionBitFields:
        return bitCount == 16 || bitCount == 32;
    }
    return false;
}

// Reads the info header (either form) into header, normalised to the 40-byte
// form; the reader is left right after the header as the file declares it.
bool readInfoHeader(DibReader& reader, uint64_t headerStart, BitmapInfoHeader& header, bool& core)
{
    uint8_t raw[infoHeaderSize];
    if (readBytes(reader, raw, 4) != 4)
        return false;
    const uint32_t declared = littleU32(raw);
    __builtin_memset(&header, 0, sizeof header);
    if (declared == coreHeaderSize) {
        if (readBytes(reader, raw + 4, coreHeaderSize - 4) != coreHeaderSize - 4)
            return false;
        header.biWidth = littleU16(raw + 4);
        header.biHeight = littleU16(raw + 6);
        header.biPlanes = littleU16(raw + 8);
        header.biBitCount = littleU16(raw + 10);
        core = true;
    } else if (isInfoHeaderSize(declared)) {
        if (readBytes(reader, raw + 4, infoHeaderSize - 4) != infoHeaderSize - 4)
            return false;
        __builtin_memcpy(&header, raw, sizeof header);
        // The later versions keep colour masks and colour space behind the
        // first 40 bytes; the colour table follows the header as declared.
        if (declared > infoHeaderSize && !seekReader(reader, headerStart + declared))
            return false;
        core = false;
    } else {
        return false;
    }
    header.biSize = infoHeaderSize;
    return true;
}

} // namespace

DibReader fileReader(int32_t file) { return DibReader{file, nullptr, 0, 0}; }

DibReader memoryReader(const uint8_t* bytes, uint32_t size) { return DibReader{noBitmapFile, bytes, size, 0}; }

uint32_t dibColourCount(const BitmapInfoHeader& header)
{
    if (header.biClrUsed != 0)
        return header.biClrUsed;
    if (header.biBitCount <= 8)
        return 1u << header.biBitCount;
    return 0;
}

PackedDib* readPackedDibHead(DibReader& reader, uint32_t* rowBytesPresent)
{
    const int64_t start = tellReader(reader);
    if (start < 0)
        return nullptr;
    uint8_t fileHeader[fileHeaderSize];
    if (readBytes(reader, fileHeader, fileHeaderSize) != fileHeaderSize)
        return nullptr;
    uint32_t offBits = 0;
    uint64_t headerStart = static_cast<uint64_t>(start) + fileHeaderSize;
    if (littleU16(fileHeader) == bitmapFileType) {
        offBits = littleU32(fileHeader + 10);
    } else {
        headerStart = static_cast<uint64_t>(start);
        if (!seekReader(reader, headerStart))
            return nullptr;
    }

    BitmapInfoHeader header;
    bool core = false;
    if (!readInfoHeader(reader, headerStart, header, core))
        return nullptr;
    if (!isDimensionInRange(header.biWidth) || !isDimensionInRange(header.biHeight))
        return nullptr;
    if (!isUsableBitCount(header.biBitCount) || !isCompressionFor(header.biCompression, header.biBitCount))
        return nullptr;
    if (header.biClrUsed > 256)
        return nullptr;
    if (offBits != 0 && static_cast<uint64_t>(start) + offBits > 0x7FFFFFFFu)
        return nullptr;

    // Within the limits above a full image has at most 2^30 bytes of rows.
    const uint64_t fullRows = static_cast<uint64_t>(dibStride(header.biBitCount, header.biWidth)) *
                              static_cast<uint32_t>(header.biHeight);
    uint64_t rowBytes = fullRows;
    uint64_t present = fullRows;
    if (header.biCompression == compressionNone || header.biCompression == compressionBitFields) {
        if (header.biSizeImage != 0 && header.biSizeImage < fullRows)
            present = header.biSizeImage;
    } else {
        // Run-length data: its own size, which no encoding of the image
        // needs to exceed twice the plain rows plus the end-of-line codes.
        if (header.biSizeImage != 0)
            rowBytes = present = header.biSizeImage;
        if (rowBytes > 2 * fullRows + 2 * static_cast<uint64_t>(header.biHeight) + 2)
            return nullptr;
    }
    header.biSizeImage = static_cast<uint32_t>(rowBytes);
    if (header.biClrUsed == 0 && header.biBitCount <= 8)
        header.biClrUsed = 1u << header.biBitCount;

    const uint32_t colours = dibColourCount(header);
    uint8_t* block = allocDibMemory(infoHeaderSize + 4 * colours);
    if (block == nullptr)
        return nullptr;
    __builtin_memcpy(block, &header, sizeof header);
    uint8_t* table = block + infoHeaderSize;
    __builtin_memset(table, 0, 4 * colours);
    if (core) {
        // Widen the triples in place from the last one down, so none is
        // overwritten before it has been read.
        readBytes(reader, table, 3 * colours);
        for (uint32_t k = colours; k-- > 0;) {
            const uint8_t blue = table[3 * k];
            const uint8_t green = table[3 * k + 1];
            const uint8_t red = table[3 * k + 2];
            table[4 * k] = blue;
            table[4 * k + 1] = green;
            table[4 * k + 2] = red;
            table[4 * k + 3] = 0;
        }
    } else {
        readBytes(reader, table, 4 * colours);
    }
    if (offBits != 0 && !seekReader(reader, static_cast<uint64_t>(start) + offBits)) {
        freeDibMemory(block);
        return nullptr;
    }
    *rowBytesPresent = static_cast<uint32_t>(present);
    return reinterpret_cast<PackedDib*>(block);
}

PackedDib* readPackedDib(DibReader& reader, uint32_t* blockSize)
{
    uint32_t present = 0;
    PackedDib* head = readPackedDibHead(reader, &present);
    if (head == nullptr)
        return nullptr;
    const uint32_t rowsOffset = head->biSize + 4 * dibColourCount(*head);
    const uint32_t rowBytes = head->biSizeImage;
    uint8_t* block = resizeDibMemory(reinterpret_cast<uint8_t*>(head), rowsOffset + rowBytes);
    if (block == nullptr)
        return nullptr;
    const uint32_t got = readBytes(reader, block + rowsOffset, present);
    __builtin_memset(block + rowsOffset + got, 0, rowBytes - got);
    *blockSize = rowsOffset + rowBytes;
    return reinterpret_cast<PackedDib*>(block);
}

const PackedDib* loadPackedDib(const char* name, uint32_t* blockSize, int32_t* fromResource)
{
    *blockSize = 0;
    *fromResource = 0;
    const int32_t file = openBitmapFile(name);
    if (file == noBitmapFile) {
        uint32_t size = 0;
        const uint8_t* data = findBitmapResource(name, &size);
        if (data == nullptr)
            return nullptr;
        *blockSize = size;
        *fromResource = 1;
        return reinterpret_cast<const PackedDib*>(data);
    }
    DibReader reader = fileReader(file);
    PackedDib* dib = readPackedDib(reader, blockSize);
    closeBitmapFile(file);
    return dib;
}

uint32_t blankDibSize(int32_t bitCount, int32_t width, int32_t height)
{
    if (!isUsableBitCount(bitCount) || !isDimensionInRange(width) || !isDimensionInRange(height))
        return 0;
    return dibHeadBytes + dibStride(bitCount, width) * static_cast<uint32_t>(height);
}

PackedDib* allocBlankDib(int32_t bitCount, int32_t width, int32_t height)
{
    const uint32_t size = blankDibSize(bitCount, width, height);
    if (size == 0)
        return nullptr;
    uint8_t* block = allocDibMemory(size);
    if (block == nullptr)
        return nullptr;
    __builtin_memset(block, 0, size);
    PackedDib* header = reinterpret_cast<PackedDib*>(block);
    header->biSize = infoHeaderSize;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<uint16_t>(bitCount);
    return header;
}
