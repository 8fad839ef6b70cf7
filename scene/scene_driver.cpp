// The one driver of the scene's life that every platform calls.
#include "scene/scene_driver.h"

#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "settings/settings.h"

namespace {

// Lays the scene out for the driver's pixels and shows the new background
// at once, as an erased window would. A window that cannot take the layout
// keeps no renderer, so ticks draw nothing until a size it can take.
bool layOut(SceneDriver& driver)
{
    driver.shown = prepareSceneWindow(driver.window, driver.deviceWidth, driver.deviceHeight, driver.pixels);
    if (!driver.shown) {
        releaseScene();
        return false;
    }
    rebuildScene(driver.window, driver.pixels.logicalWidth, driver.pixels.logicalHeight);
    exposeScene(driver, 0, 0, driver.deviceWidth, driver.deviceHeight);
    return true;
}

} // namespace

bool openScene(SceneDriver& driver, WindowHandle window, int32_t deviceWidth, int32_t deviceHeight, double scale,
               int32_t overridePixels, uint32_t seed, uint32_t now)
{
    driver = SceneDriver{window,
                         deviceWidth,
                         deviceHeight,
                         scale,
                         overridePixels,
                         choosePixelScale(deviceWidth, deviceHeight, scale, overridePixels),
                         now + static_cast<uint32_t>(settings.aniInterval),
                         false};
    beginScene(seed);
    return layOut(driver);
}

bool resizeScene(SceneDriver& driver, int32_t deviceWidth, int32_t deviceHeight, double scale)
{
    const PixelScale pixels = choosePixelScale(deviceWidth, deviceHeight, scale, driver.overridePixels);
    driver.deviceWidth = deviceWidth;
    driver.deviceHeight = deviceHeight;
    driver.scale = scale;
    if (driver.shown && pixels.pixelSize == driver.pixels.pixelSize &&
        pixels.logicalWidth == driver.pixels.logicalWidth && pixels.logicalHeight == driver.pixels.logicalHeight)
        return true;
    driver.pixels = pixels;
    return layOut(driver);
}

uint32_t sceneTickDelay(const SceneDriver& driver, uint32_t now)
{
    // The clock wraps; a due time up to 2^31 ms ago still counts as passed.
    const int32_t ahead = static_cast<int32_t>(driver.nextTick - now);
    return ahead > 0 ? static_cast<uint32_t>(ahead) : 0;
}

uint32_t tickScene(SceneDriver& driver, uint32_t now)
{
    if (driver.shown)
        frameTick(driver.window);
    const uint32_t interval = static_cast<uint32_t>(settings.aniInterval);
    driver.nextTick += interval;
    if (sceneTickDelay(driver, now) == 0)
        driver.nextTick = now + interval;
    return sceneTickDelay(driver, now);
}

void exposeScene(SceneDriver& driver, int32_t x, int32_t y, int32_t width, int32_t height)
{
    const DibSurface& back = spriteRenderer.back();
    const int32_t n = driver.pixels.pixelSize;
    if (!driver.shown || back.bits == nullptr || n < 1)
        return;
    // Clipped to the scene's blocks first, so that what is divided is
    // neither negative nor beyond 32 bits (the image has no 64-bit division).
    int64_t left = x < 0 ? 0 : x;
    int64_t top = y < 0 ? 0 : y;
    int64_t right = static_cast<int64_t>(x) + width;
    int64_t bottom = static_cast<int64_t>(y) + height;
    const int64_t sceneRight = static_cast<int64_t>(back.width) * n;
    const int64_t sceneBottom = static_cast<int64_t>(back.height) * n;
    right = right > sceneRight ? sceneRight : right;
    bottom = bottom > sceneBottom ? sceneBottom : bottom;
    if (right <= left || bottom <= top)
        return;
    // Every logical pixel the rectangle touches.
    const uint32_t block = static_cast<uint32_t>(n);
    const int32_t l = static_cast<int32_t>(static_cast<uint32_t>(left) / block);
    const int32_t t = static_cast<int32_t>(static_cast<uint32_t>(top) / block);
    const int32_t r = static_cast<int32_t>((static_cast<uint32_t>(right) + block - 1) / block);
    const int32_t b = static_cast<int32_t>((static_cast<uint32_t>(bottom) + block - 1) / block);
    DeviceContext dc = getWindowDc(driver.window);
    selectDisplayPalette(dc, back.palette);
    presentDisplayRect(dc, l, t, r - l, b - t, back.bits, back.info);
    releaseWindowDc(driver.window, dc);
}

void closeScene(SceneDriver& driver)
{
    releaseSceneWindow(driver.window);
    endScene();
    driver.shown = false;
}
