// TrueColor pixels: colours placed into a format's masks and byte order,
// and rows of palette indices converted through a colour table into blocks.
#include "platforms/truecolor/pixel_format_truecolor.h"

#include <cstring>

namespace {

// The lowest bit and the width of a mask; false unless its bits are one
// contiguous run.
bool maskShape(uint32_t mask, int& shift, int& bits)
{
    shift = 0;
    bits = 0;
    if (mask == 0)
        return false;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0)
        ++bits;
    return shift + bits == 32 || (mask >> (shift + bits)) == 0;
}

// A colour channel of 8 bits placed into a (contiguous) mask.
uint32_t placeChannel(uint32_t value, uint32_t mask)
{
    int shift = 0, bits = 0;
    if (!maskShape(mask, shift, bits))
        return 0;
    // Wider channels repeat the high bits, so that 255 is all ones.
    uint32_t scaled = 0;
    for (int filled = 0; filled < bits; filled += 8)
        scaled = bits - filled >= 8 ? (scaled << 8) | value : (scaled << (bits - filled)) | (value >> (8 - (bits - filled)));
    return (scaled << shift) & mask;
}

// The pixel value: the colour in the masks, alpha opaque.
uint32_t pixelOf(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue)
{
    return format.opaque | placeChannel(red, format.redMask) | placeChannel(green, format.greenMask) |
           placeChannel(blue, format.blueMask);
}

bool hostIsLittleEndian()
{
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// A row of count pixels from the indices at in, each index n pixels wide
// and the last cut at count.
template <typename Pixel>
void convertPixels(Pixel* out, const uint8_t* in, int32_t count, int32_t n, const uint32_t* colours)
{
    if (n == 1) {
#pragma GCC unroll 8
        for (int32_t i = 0; i < count; ++i)
            out[i] = static_cast<Pixel>(colours[in[i]]);
        return;
    }
    int32_t x = 0;
    for (; x + n <= count; ++in) {
        const Pixel pixel = static_cast<Pixel>(colours[*in]);
        for (int32_t i = 0; i < n; ++i)
            out[x++] = pixel;
    }
    for (; x < count; ++x)
        out[x] = static_cast<Pixel>(colours[*in]);
}

// 24 bits packed (rare): the first three bytes of each entry, in order.
void convertPackedPixels(uint8_t* out, const uint8_t* in, int32_t count, int32_t n, const uint32_t* colours)
{
    for (int32_t x = 0; x < count; ++x)
        std::memcpy(out + 3 * x, &colours[in[x / n]], 3);
}

void convertRow(const PixelFormat& format, uint8_t* out, const uint8_t* in, int32_t count, int32_t n,
                const uint32_t* colours)
{
    switch (format.bitsPerPixel) {
    case 32:
        convertPixels(reinterpret_cast<uint32_t*>(out), in, count, n, colours);
        break;
    case 16:
        convertPixels(reinterpret_cast<uint16_t*>(out), in, count, n, colours);
        break;
    default:
        convertPackedPixels(out, in, count, n, colours);
        break;
    }
}

// The source rows of a rectangle lie an image's width apart, too far apart
// for the processor to foresee, and after the pause between frames some of
// them come from far away: so each row is asked for this many rows ahead of
// its conversion, and the rows' waits overlap.
constexpr int32_t rowsAhead = 4;

inline void requestRow(const uint8_t* row, int32_t count)
{
    for (int32_t i = 0; i < count; i += 64)
        __builtin_prefetch(row + i);
    __builtin_prefetch(row + count - 1);
}

} // namespace

bool usableMasks(uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
{
    int shift = 0, bits = 0;
    const uint32_t masks[3] = {redMask, greenMask, blueMask};
    for (uint32_t mask : masks)
        if (!maskShape(mask, shift, bits))
            return false;
    return (redMask & greenMask) == 0 && (redMask & blueMask) == 0 && (greenMask & blueMask) == 0;
}

PixelFormat pixelFormatOf(uint32_t redMask, uint32_t greenMask, uint32_t blueMask, int32_t depth,
                          int32_t bitsPerPixel, bool msbFirst)
{
    const uint32_t depthBits = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
    const uint32_t opaque = depthBits & ~(redMask | greenMask | blueMask);
    return PixelFormat{redMask, greenMask, blueMask, opaque, bitsPerPixel, msbFirst};
}

uint32_t storedPixelOf(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue)
{
    const uint32_t pixel = pixelOf(format, red, green, blue);
    const bool swapped = format.msbFirst == hostIsLittleEndian();
    switch (format.bitsPerPixel) {
    case 32:
        return swapped ? __builtin_bswap32(pixel) : pixel;
    case 16:
        return swapped ? __builtin_bswap16(static_cast<uint16_t>(pixel)) : pixel;
    default: {
        const uint8_t bytes[4] = {static_cast<uint8_t>(format.msbFirst ? pixel >> 16 : pixel),
                                  static_cast<uint8_t>(pixel >> 8),
                                  static_cast<uint8_t>(format.msbFirst ? pixel : pixel >> 16), 0};
        uint32_t entry;
        std::memcpy(&entry, bytes, sizeof entry);
        return entry;
    }
    }
}

// Each row of indices is converted once and copied to the other rows of its
// blocks.
void writeBlocks(const PixelFormat& format, const uint32_t* colours, IndexRows rows, int32_t blocks, uint8_t* out,
                 int32_t bytesPerLine, int32_t width, int32_t height)
{
    const int32_t n = blocks > 1 ? blocks : 1;
    const int32_t indices = (width + n - 1) / n;
    const int32_t rowCount = (height + n - 1) / n;
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(format.bitsPerPixel / 8);
    auto rowAt = [&](int32_t y) { return rows.first + rows.step * y; };
    for (int32_t y = 0; y < rowCount && y < rowsAhead; ++y)
        requestRow(rowAt(y), indices);
    int32_t rowsLeft = height;
    for (int32_t y = 0; y < rowCount; ++y) {
        if (y < rowCount - rowsAhead)
            requestRow(rowAt(y + rowsAhead), indices);
        convertRow(format, out, rowAt(y), width, n, colours);
        const uint8_t* first = out;
        out += bytesPerLine;
        const int32_t copies = (n < rowsLeft ? n : rowsLeft) - 1;
        for (int32_t i = 0; i < copies; ++i, out += bytesPerLine)
            std::memcpy(out, first, rowBytes);
        rowsLeft -= copies + 1;
    }
}
