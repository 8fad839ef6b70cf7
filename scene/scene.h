// The animated scene: the window's client size and animation timer, the ring
// of 512 coloured squares, the scene's life and the frame tick. Every
// platform runs the same life: beginScene with a seed of the platform's
// choosing, rebuildScene for the window's size (again for every new size),
// frameTick once per animation tick, endScene when the window goes.
#pragma once
#include <cstdint>

#include "render/display.h"

enum : int32_t {
    sceneLayers = 6,
    sceneFrameCount = 24,
    scenePatternCount = 25,
    starCount = 512,
    animationTimerId = 1,
};

// One square of the starfield: brush 1 ... 24 (24 paints as 23), left and top
// edge in client pixels, side 1 ... 5.
struct Star {
    int32_t brush;
    int32_t x;
    int32_t y;
    int32_t size;
};

// The squares and the cursor of the one that the frame tick replaced last.
// setupScene refills the squares and leaves the cursor where it is.
struct Starfield {
    Star stars[starCount];
    int32_t starIndex;
};

struct SceneState {
    int32_t screenWidth; // client area, read at window creation
    int32_t screenHeight;
    uint16_t timerId;    // as SetTimer answered, in 16 bits; 0: no timer runs
};

extern SceneState scene;
extern Starfield starfield;

// Starts a run: seeds the random generator and loads the sound bank. The
// settings must be in place.
void beginScene(uint32_t seed);

// Ends a run: stops any sound, forgets the bank and releases the renderer.
// The caller first takes the scene's palette out of any device context that
// keeps it selected (a window's own device context does).
void endScene();

// Lays out the formation, prepares the renderer's tables and sprites, and
// fills and paints the starfield; makes exactly 2,048 random draws.
void setupScene(WindowHandle window);

// Replaces the renderer, which builds its tables only once, by a fresh one:
// its surfaces, palette and tables are released.
void releaseScene();

// The scene for a window's first or a new size: releaseScene, then
// setupScene at that size. The caller first takes the old palette out of any
// device context that keeps it selected, as for endScene.
void rebuildScene(WindowHandle window, int32_t width, int32_t height);

// One frame: replaces one square, moves the formation, gives the sound its
// chance, and has the renderer composite and present the ships.
void frameTick(WindowHandle window);
