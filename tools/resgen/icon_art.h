// Icon 100: the fighter crossing a disc of night sky, 32 x 32 in the 16
// standard colours.
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
