// The saver's entry points for the web page's script (platforms/web/page_web.js):
// the settings' ranges, the pixel size, starting the scene on a canvas of a given size,
// one tick, a new size, and what a frame leaves to present and to play. The
// script owns the page, the clock and the browser's calls.
#include <emscripten/emscripten.h>

#include <cstdint>

#include "host/pixel_scale.h"
#include "platforms/web/display_web.h"
#include "platforms/web/page_web.h"
#include "platforms/web/sound_player_web.h"
#include "settings/settings.h"
#include "support/clock.h"

namespace {

PageState page = {0, 0, false};
int32_t pixelScale[3]; // webPixelScale's answer: pixel size, logical width, logical height

// Per setting (sound, interval, refresh, in the order of Settings): lowest,
// highest and default value, as the Windows settings have them.
const int32_t settingRanges[9] = {
    0, 1, defaultSoundOn,
    minAniInterval, maxAniInterval, defaultAniInterval,
    minRefreshMinutes, maxRefreshMinutes, defaultRefreshMinutes,
};

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const int32_t* webSettingRanges() { return settingRanges; }

// The page sizes its canvas by the portable rule, so that it scales as the
// other platforms do: the device size in device pixels, the scale is
// devicePixelRatio, overridePixels the page's pixel size or 0.
EMSCRIPTEN_KEEPALIVE int32_t webMaxPixelSize() { return maxPixelSize; }
EMSCRIPTEN_KEEPALIVE const int32_t* webPixelScale(int32_t deviceWidth, int32_t deviceHeight, double scale,
                                                  int32_t overridePixels)
{
    const PixelScale chosen = choosePixelScale(deviceWidth, deviceHeight, scale, overridePixels);
    pixelScale[0] = chosen.pixelSize;
    pixelScale[1] = chosen.logicalWidth;
    pixelScale[2] = chosen.logicalHeight;
    return pixelScale;
}

// Values outside the ranges become the defaults, as on Windows. The page's
// script chooses the seed; one outside 0 ... 2^32 - 1 gives way to the
// calendar clock, which the Windows image seeds from.
EMSCRIPTEN_KEEPALIVE int32_t webStart(int32_t width, int32_t height, int32_t soundOn, int32_t aniInterval,
                                      int32_t refreshMinutes, double seed)
{
    settings.soundOn = soundOn == 0 || soundOn == 1 ? soundOn : defaultSoundOn;
    settings.aniInterval = limitAniInterval(aniInterval);
    settings.refreshMinutes = limitRefreshMinutes(refreshMinutes);
    const bool fixed = seed >= 0 && seed <= 4294967295.0;
    pageClose(page);
    return pageOpen(page, width, height, fixed ? static_cast<uint32_t>(seed) : readCalendarSeconds()) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void webTick() { pageTick(page); }

EMSCRIPTEN_KEEPALIVE int32_t webResize(int32_t width, int32_t height)
{
    return pageReshape(page, width, height) ? 1 : 0;
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
