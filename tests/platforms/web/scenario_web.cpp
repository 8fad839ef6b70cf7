// A test module of the web build: the fixed-seed scene of
// tests/scene_scenario.h through the web back ends, for tests/platforms/web/scenario_test.js,
// and the colours the scene shows, for the page test's screenshots.
#include <emscripten/emscripten.h>

#include <cstddef>

#include "platforms/memory/display_memory.h"
#include "platforms/web/display_web.h"
#include "resources/embedded_resources.h"
#include "tests/scene_scenario.h"

namespace {
uint32_t results[2 + 14 + brushCount];
}

extern "C" {

// Answers the checksum the run gives and the one every build must give, each
// as high and low word, and the canvas's count of pixels that differ from
// the back buffer's colour outside the last frame's sprites.
EMSCRIPTEN_KEEPALIVE const uint32_t* runSceneScenario()
{
    uint32_t* out = results;
    openWebCanvas(scene_scenario::width, scene_scenario::height);
    int handle = 0;
    const uint64_t checksum = scene_scenario::run(&handle);
    out[0] = static_cast<uint32_t>(checksum >> 32);
    out[1] = static_cast<uint32_t>(checksum);
    out[2] = static_cast<uint32_t>(sceneScenarioChecksum >> 32);
    out[3] = static_cast<uint32_t>(sceneScenarioChecksum);

    convertWebRects();
    const DibSurface& back = spriteRenderer.back();
    const PaletteEntry* palette = memoryPaletteEntries(back.palette);
    const uint8_t* pixels = webCanvasPixels();
    uint32_t differing = 0;
    for (int32_t y = 0; y < back.height; ++y)
        for (int32_t x = 0; x < back.width; ++x) {
            bool covered = false;
            for (int32_t i = 0; i < shipCount() && !covered; ++i) {
                const Sprite* s = spriteRenderer.sprite(i);
                covered = x >= s->x && x < s->x + s->width && y >= s->y && y < s->y + s->height;
            }
            const PaletteEntry& e = palette[*back.pixelAddress(x, y)];
            const uint8_t* p = pixels + 4 * (static_cast<size_t>(y) * back.width + x);
            differing += !covered && (p[0] != e.peRed || p[1] != e.peGreen || p[2] != e.peBlue || p[3] != 255);
        }
    out[4] = differing;
    return out;
}

// Answers the ships' colours (palette entries 11 ... 24) and then the
// squares' (each brush matched to the nearest of entries 10 ... 245) as
// 0xRRGGBB after how many of each.
EMSCRIPTEN_KEEPALIVE const uint32_t* sceneColours()
{
    uint32_t* out = results;
    const uint8_t* table = embeddedBitmaps[0].bytes + 40;
    auto colourOf = [table](int32_t i) { return table[4 * i + 2] << 16 | table[4 * i + 1] << 8 | table[4 * i]; };
    uint32_t* at = out + 2;
    for (int32_t i = 11; i <= 24; ++i)
        *at++ = colourOf(i);
    for (int32_t k = 1; k < brushCount; ++k) {
        const uint32_t c = brushColours[k];
        int32_t best = 10, bestDistance = 1 << 30;
        for (int32_t i = 10; i <= 245; ++i) {
            const int32_t v = colourOf(i);
            const int32_t dr = (v >> 16) - int32_t(c & 0xFF), dg = ((v >> 8) & 0xFF) - int32_t((c >> 8) & 0xFF),
                          db = (v & 0xFF) - int32_t((c >> 16) & 0xFF);
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = i;
            }
        }
        *at++ = colourOf(best);
    }
    out[0] = 14;
    out[1] = brushCount - 1;
    return out;
}

} // extern "C"
