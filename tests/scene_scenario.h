// A fixed-seed run of the whole scene folded into one number. The native
// tests and the Win32 shell tests replay it with the same pattern images and
// must both arrive at sceneScenarioChecksum.
//
// What goes in is what both builds can compute identically: the back buffer
// (every square is a GDI fill on Win32, a nearest-colour fill natively) at
// intervals and at the end, and after every tick each sprite's rectangle,
// frame and visibility, from which the renderer's present rule, common code,
// decides what reaches the window. The native window's own pixels are
// checked by the native tests alone.
#pragma once
#include <cstdint>

#include "formation/formation.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "scene/scene_driver.h"
#include "scene/sound.h"
#include "settings/settings.h"
#include "support/random.h"

const uint64_t sceneScenarioChecksum = 0xA1905A7A76F7250Aull;

namespace scene_scenario {

enum : int32_t { width = 640, height = 480, ticks = 2000, backBufferEvery = 250 };
const uint32_t seed = 19950824u;

inline uint64_t mix(uint64_t hash, uint64_t word) { return (hash ^ word) * 0x100000001B3ull; }

inline uint64_t mixBackBuffer(uint64_t hash)
{
    const DibSurface& back = spriteRenderer.back();
    for (int32_t y = 0; y < back.height; ++y) {
        const uint8_t* row = back.pixelAddress(0, y);
        for (int32_t x = 0; x < back.width; ++x)
            hash = mix(hash, row[x]);
    }
    return hash;
}

inline uint64_t mixSprites(uint64_t hash)
{
    const SpriteFrame* frames = spriteRenderer.frameEntry(0);
    for (int32_t i = 0; i < sumOfSquares(sceneLayers); ++i) {
        const Sprite* sprite = spriteRenderer.sprite(i);
        hash = mix(hash, static_cast<uint32_t>(sprite->x) | static_cast<uint64_t>(static_cast<uint32_t>(sprite->y)) << 32);
        hash = mix(hash, static_cast<uint64_t>(sprite->frame - frames) << 1 | (sprite->visible ? 1 : 0));
    }
    return hash;
}

// The caller has put the pattern images and wave images in place, reset the
// renderer and the tick counter, and made window a width x height window.
// The run goes through the platforms' driver, ticking on time.
inline uint64_t run(WindowHandle window)
{
    settings = Settings{1, 10, 10};
    starfield.starIndex = 0;
    SceneDriver driver;
    uint32_t now = 0;
    openScene(driver, window, width, height, 1.0, 0, seed, now);
    uint64_t hash = mixBackBuffer(0xCBF29CE484222325ull);
    for (int32_t tick = 1; tick <= ticks; ++tick) {
        now += sceneTickDelay(driver, now);
        tickScene(driver, now);
        hash = mixSprites(hash);
        if (tick % backBufferEvery == 0)
            hash = mixBackBuffer(hash);
    }
    hash = mix(hash, randomState());
    hash = mix(hash, static_cast<uint32_t>(soundTicks));
    hash = mix(hash, static_cast<uint32_t>(starfield.starIndex));
    releaseSoundBank();
    return hash;
}

} // namespace scene_scenario
