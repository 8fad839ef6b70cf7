// The test stand-in's window for the memory drawing model: an 8-bit buffer
// (top row first) that tests read, with a record of every present and every
// call of the display seam.
#include "platforms/stub/stub.h"

#include "scene/scene_driver.h"

#include <cstdlib>
#include <cstring>

namespace {

// On the C heap, so that a window too large for memory is a failed prepare,
// as with the other platforms, not an exception.
uint8_t* windowPixels = nullptr;
int32_t windowWidth = 0;
int32_t windowHeight = 0;
// Any non-null value serves: the model has one window.
int32_t windowToken = 0;

PaletteEntry systemColours[256];
bool haveSystemColours = false;

PresentedRect presents[stubPresentCapacity];
int32_t presentCount = 0;
DisplayCall calls[stubDisplayCallCapacity];
int32_t callCount = 0;
PaletteHandle paletteAtLastPresent = nullptr;
StubSceneWindow sceneWindow = {};
int32_t sceneWindowSuccesses = -1; // prepares left before they fail; -1: never
int32_t dibSectionSuccesses = -1;  // DIB sections left before they fail; -1: never

IndexImage windowImage() { return IndexImage{windowPixels, windowWidth, windowHeight}; }

// A black window of width x height; false, with no window at all, when its
// memory cannot be had.
bool makeWindow(int32_t width, int32_t height)
{
    std::free(windowPixels);
    const size_t size = width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
    windowPixels = static_cast<uint8_t*>(std::calloc(size != 0 ? size : 1, 1));
    windowWidth = windowPixels != nullptr ? width : 0;
    windowHeight = windowPixels != nullptr ? height : 0;
    return windowPixels != nullptr;
}

bool vetoAllocation(DisplayCall call)
{
    if (call != DisplayCall::createDibSection || dibSectionSuccesses < 0)
        return false;
    if (dibSectionSuccesses == 0)
        return true;
    --dibSectionSuccesses;
    return false;
}

void noteDisplayCall(DisplayCall call)
{
    if (callCount < stubDisplayCallCapacity)
        calls[callCount] = call;
    ++callCount;
}

} // namespace

void fillWindowIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle)
{
    int32_t width = right - left;
    int32_t height = bottom - top;
    fillIndexImage(windowImage(), left, top, width, height, index);
}

void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (presentCount < stubPresentCapacity)
        presents[presentCount] = PresentedRect{left, top, width, height};
    ++presentCount;
    paletteAtLastPresent = palette;
    copyIntoIndexImage(windowImage(), left, top, width, height, bits, info);
}

// The window becomes an 8-bit buffer of the scene's logical size, all black,
// as a new image of a real window starts.
bool prepareSceneWindow(WindowHandle, int32_t deviceWidth, int32_t deviceHeight, const PixelScale& pixels)
{
    ++sceneWindow.prepares;
    if (sceneWindowSuccesses == 0)
        return false;
    if (sceneWindowSuccesses > 0)
        --sceneWindowSuccesses;
    if (!makeWindow(pixels.logicalWidth, pixels.logicalHeight))
        return false;
    sceneWindow.deviceWidth = deviceWidth;
    sceneWindow.deviceHeight = deviceHeight;
    sceneWindow.pixels = pixels;
    return true;
}

void releaseSceneWindow(WindowHandle) { ++sceneWindow.releases; }

void readSystemColours(PaletteEntry* entries)
{
    if (!haveSystemColours)
        return;
    for (int32_t i = 0; i < 10; ++i) {
        entries[i] = systemColours[i];
        entries[246 + i] = systemColours[246 + i];
    }
}

void resetStubDisplay(int32_t width, int32_t height)
{
    observeDisplayCalls(noteDisplayCall);
    vetoDisplayAllocations(vetoAllocation);
    makeWindow(width, height);
    clearStubPresents();
    clearStubDisplayCalls();
    sceneWindow = StubSceneWindow{};
    sceneWindowSuccesses = -1;
    dibSectionSuccesses = -1;
}

WindowHandle stubWindow() { return &windowToken; }
int32_t stubWindowWidth() { return windowWidth; }
int32_t stubWindowHeight() { return windowHeight; }

uint8_t stubWindowPixel(int32_t x, int32_t y) { return windowPixels[static_cast<size_t>(y) * windowWidth + x]; }

const uint8_t* stubWindowRow(int32_t y) { return windowPixels + static_cast<size_t>(y) * windowWidth; }

void setStubSystemColours(const PaletteEntry* entries)
{
    haveSystemColours = entries != nullptr;
    if (entries != nullptr)
        std::memcpy(systemColours, entries, sizeof systemColours);
}

void clearStubPresents()
{
    presentCount = 0;
    paletteAtLastPresent = nullptr;
}

int32_t stubPresentCount() { return presentCount; }
const PresentedRect* stubPresents() { return presents; }

void clearStubDisplayCalls() { callCount = 0; }
int32_t stubDisplayCallCount() { return callCount; }
const DisplayCall* stubDisplayCalls() { return calls; }
int32_t liveStubDisplayObjects() { return liveMemoryDisplayObjects(); }

PaletteHandle stubWindowPaletteAtLastPresent() { return paletteAtLastPresent; }

const PaletteEntry* stubPaletteEntries(PaletteHandle palette) { return memoryPaletteEntries(palette); }

const StubSceneWindow& stubSceneWindow() { return sceneWindow; }
void failSceneWindowAfter(int32_t successes) { sceneWindowSuccesses = successes; }
void failDibSectionsAfter(int32_t successes) { dibSectionSuccesses = successes; }
