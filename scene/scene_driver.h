// The scene's life around a platform's window, the same on every platform:
// open, a new size, the tick, an exposure and close over one record. Each
// platform's event glue (the Windows saver procedure, the X11 program's
// loop, the page's entry points) calls these and nothing else of the scene.
#pragma once
#include <cstdint>

#include "host/pixel_scale.h"
#include "render/display.h"

struct SceneDriver {
    WindowHandle window;
    int32_t deviceWidth; // the window's, in device pixels
    int32_t deviceHeight;
    double scale;           // the display's, 1.0 at 96 DPI
    int32_t overridePixels; // the user's pixel size; 0: from the scale
    PixelScale pixels;      // the blocks and the scene's logical size
    uint32_t nextTick;      // readTickCount time the next frame is due
    bool shown;             // the window took the scene's layout
};

// Starts a run on window: the seed, the sound bank, the pixel size from the
// device size, the display's scale and the override, the layout, and the
// whole new background presented. The settings must be in place; now
// (milliseconds, readTickCount's clock) starts the tick schedule. False when
// the window cannot show the scene; the run is open all the same and close
// ends it.
bool openScene(SceneDriver& driver, WindowHandle window, int32_t deviceWidth, int32_t deviceHeight, double scale,
               int32_t overridePixels, uint32_t seed, uint32_t now);

// The window's size or the display's scale changed. The scene is laid out
// anew, and its background presented, only when the pixel size or the
// logical size changes: a device size that rounds to the same blocks keeps
// the scene. False when the window cannot show the new layout.
bool resizeScene(SceneDriver& driver, int32_t deviceWidth, int32_t deviceHeight, double scale);

// Milliseconds until the next frame is due; 0: due now.
uint32_t sceneTickDelay(const SceneDriver& driver, uint32_t now);

// Runs exactly one frame and answers the milliseconds until the next. Ticks
// that came due while the caller was late fold into this one and the
// schedule starts again from now, as timer messages fold: a stall never
// ends in a burst of frames.
uint32_t tickScene(SceneDriver& driver, uint32_t now);

// Presents the logical pixels that a rectangle of the window (device
// pixels, any position) touches.
void exposeScene(SceneDriver& driver, int32_t x, int32_t y, int32_t width, int32_t height);

// Ends the run: the window lets go of the scene, then the sound and the
// renderer's surfaces and palette are released.
void closeScene(SceneDriver& driver);

// Supplied by each platform.
//
// Makes the window ready to show a scene laid out at pixels for a window of
// deviceWidth x deviceHeight (an image of that size, the block size), and
// takes any palette it keeps selected out of it; false when it cannot.
bool prepareSceneWindow(WindowHandle window, int32_t deviceWidth, int32_t deviceHeight, const PixelScale& pixels);
// The scene is about to release its palette and surfaces: the window takes
// them out of anything it keeps and lets go of what prepareSceneWindow made.
void releaseSceneWindow(WindowHandle window);
