// Scene setup and the frame tick. The order of the random draws here is part
// of the behaviour: a fixed seed replays a whole run, square for square.
#include "scene/scene.h"

#include <new>

#include "formation/formation.h"
#include "render/sprite_renderer.h"
#include "scene/sound.h"
#include "settings/settings.h"
#include "support/random.h"

SceneState scene;
Starfield starfield;

namespace {

struct SpriteSize {
    int32_t width;
    int32_t height;
};

// Sprite size by the ship's size class; class 6 is the smallest pattern
// size, which no frame shows, and also stands for any unexpected class.
const SpriteSize sizeClasses[] = {
    {384, 128}, {192, 64}, {128, 42}, {96, 32}, {80, 26}, {64, 22}, {64, 17},
};
enum : int32_t { lastSizeClass = 6 };

SpriteSize spriteSizeOf(int32_t sizeClass)
{
    return sizeClasses[sizeClass >= 0 && sizeClass < lastSizeClass ? sizeClass : lastSizeClass];
}

// Frames 4k ... 4k + 3 show size class k. The nearest ships' four phases
// share pattern 0 as bands of 128 rows; every other frame is a whole pattern
// centred on its middle. Frame 24 lies outside the renderer's table, so its
// registration is ignored there.
void registerFrames()
{
    for (int32_t frame = 0; frame <= sceneFrameCount; ++frame) {
        const SpriteSize size = spriteSizeOf(frame / 4);
        if (frame < 4)
            spriteRenderer.setFrameEntry(frame, 0, size.width / 2, size.height / 2 + size.height * frame);
        else
            spriteRenderer.setFrameEntry(frame, frame - 3, size.width / 2, size.height / 2);
    }
}

void drawStar(Star& star)
{
    star.brush = randomUpTo(23) + 1;
    star.x = randomUpTo(scene.screenWidth);
    star.y = randomUpTo(scene.screenHeight);
    star.size = randomUpTo(4) + 1;
}

} // namespace

void setupScene(WindowHandle window)
{
    formationInit(sceneLayers, scene.screenWidth, scene.screenHeight, settings.refreshMinutes);
    spriteRenderer.initialize(window, sumOfSquares(sceneLayers), sceneFrameCount, scenePatternCount,
                              scene.screenWidth, scene.screenHeight);
    const int32_t ships = shipCount();
    for (int32_t i = 0; i < ships; ++i) {
        const SpriteSize size = spriteSizeOf(shipSizeClass(i));
        spriteRenderer.setSpriteSize(i, size.width, size.height);
    }
    registerFrames();
    for (int32_t j = 0; j < ships; ++j) {
        spriteRenderer.setSpriteFrame(j, shipFrame(j));
        spriteRenderer.setSpritePosition(j, shipX(j), shipY(j));
        spriteRenderer.setSpriteVisible(j, true);
    }
    for (Star& star : starfield.stars) {
        drawStar(star);
        spriteRenderer.fillSquare(window, star.x, star.y, star.brush, star.size);
    }
    resetSoundTrigger();
}

void beginScene(uint32_t seed)
{
    seedRandom(seed);
    loadSoundBank();
}

void endScene()
{
    releaseSoundBank();
    releaseScene();
}

void releaseScene()
{
    spriteRenderer.~SpriteRenderer();
    new (&spriteRenderer) SpriteRenderer();
}

void rebuildScene(WindowHandle window, int32_t width, int32_t height)
{
    releaseScene();
    scene.screenWidth = width;
    scene.screenHeight = height;
    setupScene(window);
}

void frameTick(WindowHandle window)
{
    if (++starfield.starIndex > starCount - 1)
        starfield.starIndex = 0;
    Star& star = starfield.stars[starfield.starIndex];
    // Two draws without a use: they are part of the generator's sequence,
    // and so of every run from a given seed.
    randomUpTo(scene.screenWidth);
    randomUpTo(scene.screenHeight);
    spriteRenderer.fillSquare(window, star.x, star.y, 0, star.size);
    drawStar(star);
    spriteRenderer.fillSquare(window, star.x, star.y, star.brush, star.size);

    formationStep();
    soundTick();

    const int32_t ships = shipCount();
    for (int32_t i = 0; i < ships; ++i) {
        spriteRenderer.setSpriteVisible(i, true);
        spriteRenderer.setSpriteFrame(i, shipFrame(i));
        spriteRenderer.setSpritePosition(i, shipX(i), shipY(i));
    }
    spriteRenderer.renderPass(window);
}
