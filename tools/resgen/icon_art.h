// Icon 100: the fighter crossing a disc of night sky, 32 x 32 in the 16
// standard colours; the same picture in full colour as the web page's app icons.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/resgen/ship_art.h"

struct IconPicture {
    std::vector<uint8_t> indices;  // 32 x 32, top row first, 0..15
    std::vector<bool> transparent; // true where the desktop shows through
};

const std::array<RgbEntry, 16>& iconColourTable();
IconPicture renderIcon();

// Red, green, blue and alpha bytes, top row first.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// The icon's picture at side x side pixels, anti-aliased, see-through
// around the disc. A maskable one is all sky, the picture shrunk into the
// central circle of 80 % that any mask a launcher puts over it leaves.
RgbaImage renderAppIcon(int side, bool maskable);
