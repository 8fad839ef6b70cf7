// The saver's entry points for the web page's script (platforms/web/page_web.js):
// the settings' ranges, the scene driver on a canvas of the page's size (open,
// a new size, the tick, the layout it chose), and what a frame leaves to
// present and to play. The script owns the page, the clock and the
// browser's calls.
#include <emscripten/emscripten.h>

#include <cstdint>

#include "host/pixel_scale.h"
#include "platforms/web/display_web.h"
#include "platforms/web/sound_player_web.h"
#include "scene/scene_driver.h"
#include "settings/settings.h"

namespace {

SceneDriver driver;
bool running = false;
int32_t canvasToken = 0; // the one canvas's handle: any non-null value
int32_t layout[3];       // webLayout's answer

// Per setting (sound, interval, refresh, in the order of Settings): lowest,
// highest and default value, as the Windows settings have them.
const int32_t settingRanges[9] = {
    0, 1, defaultSoundOn,
    minAniInterval, maxAniInterval, defaultAniInterval,
    minRefreshMinutes, maxRefreshMinutes, defaultRefreshMinutes,
};

// The page's clock, in milliseconds, as the driver counts them (wrapping).
uint32_t pageMilliseconds(double now) { return static_cast<uint32_t>(static_cast<uint64_t>(now > 0 ? now : 0)); }

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const int32_t* webSettingRanges() { return settingRanges; }
EMSCRIPTEN_KEEPALIVE int32_t webMaxPixelSize() { return maxPixelSize; }

// The page's size in device pixels, devicePixelRatio as the scale, its pixel
// size or 0, the settings (values outside the ranges become the defaults,
// as on Windows), the seed the page's script chose, and the page's clock in
// milliseconds. 0 when the canvas's image cannot be had.
EMSCRIPTEN_KEEPALIVE int32_t webStart(int32_t deviceWidth, int32_t deviceHeight, double ratio, int32_t overridePixels,
                                      int32_t soundOn, int32_t aniInterval, int32_t refreshMinutes, uint32_t seed,
                                      double now)
{
    if (running)
        closeScene(driver);
    settings.soundOn = soundOn == 0 || soundOn == 1 ? soundOn : defaultSoundOn;
    settings.aniInterval = limitAniInterval(aniInterval);
    settings.refreshMinutes = limitRefreshMinutes(refreshMinutes);
    running = true;
    return openScene(driver, &canvasToken, deviceWidth, deviceHeight, ratio, overridePixels,
                     seed, pageMilliseconds(now))
               ? 1
               : 0;
}

EMSCRIPTEN_KEEPALIVE int32_t webResize(int32_t deviceWidth, int32_t deviceHeight, double ratio)
{
    return running && resizeScene(driver, deviceWidth, deviceHeight, ratio) ? 1 : 0;
}

// The pixel size and the logical size, which the canvas holds.
EMSCRIPTEN_KEEPALIVE const int32_t* webLayout()
{
    layout[0] = driver.pixels.pixelSize;
    layout[1] = driver.pixels.logicalWidth;
    layout[2] = driver.pixels.logicalHeight;
    return layout;
}

// One frame; answers the milliseconds until the next.
EMSCRIPTEN_KEEPALIVE uint32_t webTick(double now)
{
    return running ? tickScene(driver, pageMilliseconds(now)) : settings.aniInterval;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* webPixels() { return webCanvasPixels(); }
EMSCRIPTEN_KEEPALIVE int32_t webWidth() { return webCanvasWidth(); }
EMSCRIPTEN_KEEPALIVE int32_t webHeight() { return webCanvasHeight(); }
// Converts what the ticks since the last present drew; answers how many
// rectangles webRectList holds.
EMSCRIPTEN_KEEPALIVE int32_t webRectsToPresent()
{
    convertWebRects();
    return webRectCount();
}
EMSCRIPTEN_KEEPALIVE const int32_t* webRectList() { return webRects(); }
EMSCRIPTEN_KEEPALIVE void webPresented() { clearWebRects(); }
EMSCRIPTEN_KEEPALIVE int32_t webSoundRequest() { return takeWebSoundRequest(); }
EMSCRIPTEN_KEEPALIVE uint32_t webSoundSize(int32_t image)
{
    return webWaveSize(reinterpret_cast<const void*>(static_cast<uintptr_t>(image)));
}

} // extern "C"
