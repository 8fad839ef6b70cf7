// The pixel formats of TrueColor images: colours placed into a visual's
// masks, in the image's byte order, and rows of palette indices converted
// through a colour table.
#include "platforms/x11/pixel_format_x11.h"

#include <cstring>

namespace {

// The lowest bit and the width of a mask; false unless its bits are one
// contiguous run.
bool maskShape(unsigned long mask, int& shift, int& bits)
{
    shift = 0;
    bits = 0;
    if (mask == 0 || mask > 0xFFFFFFFFu)
        return false;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0)
        ++bits;
    return (mask >> (shift + bits)) == 0;
}

// A colour channel of 8 bits placed into a visual's (contiguous) mask.
uint32_t placeChannel(uint32_t value, unsigned long mask)
{
    int shift = 0, bits = 0;
    if (!maskShape(mask, shift, bits))
        return 0;
    // Wider channels repeat the high bits, so that 255 is all ones.
    uint32_t scaled = 0;
    for (int filled = 0; filled < bits; filled += 8)
        scaled = bits - filled >= 8 ? (scaled << 8) | value : (scaled << (bits - filled)) | (value >> (8 - (bits - filled)));
    return (scaled << shift) & static_cast<uint32_t>(mask);
}

bool hostIsLittleEndian()
{
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

template <typename Pixel>
void convertPixels(Pixel* out, const uint8_t* in, int32_t count, const uint32_t* colours)
{
#pragma GCC unroll 8
    for (int32_t i = 0; i < count; ++i)
        out[i] = static_cast<Pixel>(colours[in[i]]);
}

// 24 bits packed (rare): the first three bytes of each entry, in order.
void convertPackedPixels(uint8_t* out, const uint8_t* in, int32_t count, const uint32_t* colours)
{
    for (int32_t i = 0; i < count; ++i)
        std::memcpy(out + 3 * i, &colours[in[i]], 3);
}

} // namespace

bool usableVisual(const XVisualInfo& info)
{
    int shift = 0, bits = 0;
    const unsigned long masks[3] = {info.red_mask, info.green_mask, info.blue_mask};
    for (unsigned long mask : masks)
        if (!maskShape(mask, shift, bits))
            return false;
    return info.c_class == TrueColor && info.depth >= 15 && info.depth <= 32 &&
           (info.red_mask & info.green_mask) == 0 && (info.red_mask & info.blue_mask) == 0 &&
           (info.green_mask & info.blue_mask) == 0;
}

PixelFormat pixelFormatOf(const Visual* visual, int depth, const XImage* image)
{
    // The bits of the depth that no colour uses are alpha (an ARGB visual
    // under a compositor): all ones, or the window would be transparent.
    const uint32_t depthBits = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
    const uint32_t opaque =
        depthBits & ~static_cast<uint32_t>(visual->red_mask | visual->green_mask | visual->blue_mask);
    return PixelFormat{visual->red_mask, visual->green_mask, visual->blue_mask, opaque,
                       image->bits_per_pixel, image->byte_order == MSBFirst};
}

uint32_t pixelOf(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue)
{
    return format.opaque | placeChannel(red, format.redMask) | placeChannel(green, format.greenMask) |
           placeChannel(blue, format.blueMask);
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

void convertRow(const PixelFormat& format, uint8_t* out, const uint8_t* in, int32_t count, const uint32_t* colours)
{
    switch (format.bitsPerPixel) {
    case 32:
        convertPixels(reinterpret_cast<uint32_t*>(out), in, count, colours);
        break;
    case 16:
        convertPixels(reinterpret_cast<uint16_t*>(out), in, count, colours);
        break;
    default:
        convertPackedPixels(out, in, count, colours);
        break;
    }
}
