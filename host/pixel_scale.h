// How big a pixel of the scene is on the screen: the whole number of device
// pixels per side (the pixel size N) that the display's scale asks for, and
// the logical size the scene is laid out at. Every platform presents each
// logical pixel as an N x N block of device pixels. A plain function of the
// sizes and the scale, so it runs and is tested off every platform.
#pragma once
#include <cstdint>

enum : int32_t {
    maxPixelSize = 8,
    minLogicalWidth = 640, // a window smaller than this at N stays at a smaller N
    minLogicalHeight = 360,
};

struct PixelScale {
    int32_t pixelSize;     // 1 ... maxPixelSize
    int32_t logicalWidth;  // deviceWidth / pixelSize, rounded up: the last
    int32_t logicalHeight; // column and row of blocks may stick out
};

// scale: the platform's, 1.0 at 96 DPI (Windows' LOGPIXELSX / 96, X11's
// Xft.dpi / 96, the browser's devicePixelRatio); rounded to the nearest whole
// number, halves up. overridePixels: 1 ... maxPixelSize wins over the scale,
// anything else means none. Either way the size is then lowered while the
// logical size would be under 640 x 360.
PixelScale choosePixelScale(int32_t deviceWidth, int32_t deviceHeight, double scale, int32_t overridePixels);
