// The pixel size and logical size of the scene from the display's scale.
#include "host/pixel_scale.h"

namespace {

int32_t roundedUp(int32_t size, int32_t pixelSize) { return size <= 0 ? 0 : (size + pixelSize - 1) / pixelSize; }

int32_t pixelSizeOfScale(double scale)
{
    // NaN fails both comparisons and lands on 1.
    if (!(scale >= 1.5))
        return 1;
    if (scale >= maxPixelSize)
        return maxPixelSize;
    return static_cast<int32_t>(scale + 0.5);
}

} // namespace

PixelScale choosePixelScale(int32_t deviceWidth, int32_t deviceHeight, double scale, int32_t overridePixels)
{
    int32_t n = overridePixels >= 1 && overridePixels <= maxPixelSize ? overridePixels : pixelSizeOfScale(scale);
    while (n > 1 && (roundedUp(deviceWidth, n) < minLogicalWidth || roundedUp(deviceHeight, n) < minLogicalHeight))
        --n;
    return PixelScale{n, roundedUp(deviceWidth, n), roundedUp(deviceHeight, n)};
}
