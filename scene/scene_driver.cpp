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

// Rounds down, also for negative numbers.
int64_t floorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

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
    const int64_t n = driver.pixels.pixelSize;
    if (!driver.shown || back.bits == nullptr || width <= 0 || height <= 0 || n < 1)
        return;
    // Every logical pixel the rectangle touches, within the scene.
    int64_t left = floorDivide(x, n);
    int64_t top = floorDivide(y, n);
    int64_t right = floorDivide(static_cast<int64_t>(x) + width + n - 1, n);
    int64_t bottom = floorDivide(static_cast<int64_t>(y) + height + n - 1, n);
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    right = right > back.width ? back.width : right;
    bottom = bottom > back.height ? back.height : bottom;
    if (right <= left || bottom <= top)
        return;
    DeviceContext dc = getWindowDc(driver.window);
    selectDisplayPalette(dc, back.palette);
    presentDisplayRect(dc, static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                       static_cast<int32_t>(bottom - top), back.bits, back.info);
    releaseWindowDc(driver.window, dc);
}

void closeScene(SceneDriver& driver)
{
    releaseSceneWindow(driver.window);
    endScene();
    driver.shown = false;
}
