// The pixel size and logical size for the display scales desks have, the
// overrides, and windows too small to scale.
#include <gtest/gtest.h>

#include <cmath>

#include "host/pixel_scale.h"

TEST(PixelScale, RoundsTheScaleAndKeepsTheLogicalSizeAtLeast640By360)
{
    struct Case {
        const char* what;
        int32_t width, height;
        double scale;
        int32_t overridePixels;
        PixelScale expected;
    } const cases[] = {
        {"96 DPI", 1920, 1080, 96 / 96.0, 0, {1, 1920, 1080}},
        {"120 DPI (125 %) rounds down", 1920, 1080, 120 / 96.0, 0, {1, 1920, 1080}},
        {"144 DPI (150 %): halves go up", 2880, 1620, 144 / 96.0, 0, {2, 1440, 810}},
        {"192 DPI (200 %)", 3840, 2160, 192 / 96.0, 0, {2, 1920, 1080}},
        {"288 DPI (300 %)", 3840, 2160, 288 / 96.0, 0, {3, 1280, 720}},
        {"249 % still 2", 3840, 2160, 2.49, 0, {2, 1920, 1080}},
        {"an override wins over the scale", 3840, 2160, 1.0, 3, {3, 1280, 720}},
        {"an override out of range is none", 3840, 2160, 2.0, 9, {2, 1920, 1080}},
        {"a 640 x 480 window at 200 % stays at 1", 640, 480, 2.0, 0, {1, 640, 480}},
        {"an override too large for the window is lowered", 1920, 1080, 1.0, 8, {3, 640, 360}},
        {"not divisible by N: the last blocks stick out", 2881, 1621, 2.0, 0, {2, 1441, 811}},
        {"a huge scale stops at 8", 7680, 4320, 20.0, 0, {8, 960, 540}},
        {"no usable scale", 1920, 1080, std::nan(""), 0, {1, 1920, 1080}},
        {"a preview of 152 x 112", 152, 112, 2.0, 0, {1, 152, 112}},
    };
    for (const Case& c : cases) {
        const PixelScale got = choosePixelScale(c.width, c.height, c.scale, c.overridePixels);
        EXPECT_TRUE(got.pixelSize == c.expected.pixelSize && got.logicalWidth == c.expected.logicalWidth &&
                    got.logicalHeight == c.expected.logicalHeight)
            << c.what << ": expected N " << c.expected.pixelSize << " at " << c.expected.logicalWidth << "x"
            << c.expected.logicalHeight << ", got N " << got.pixelSize << " at " << got.logicalWidth << "x"
            << got.logicalHeight;
    }
}
