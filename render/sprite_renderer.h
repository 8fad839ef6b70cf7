// The sprite renderer: a fixed table of sprites composited over a persistent
// 8-bit back buffer, of which only the rectangles that changed reach the
// window. Between passes the back buffer holds the background alone (black
// and the squares fillSquare paints). One renderer lives for the whole process.
#pragma once
#include <cstdint>

#include "render/dib_surface.h"
#include "render/display.h"

enum : int32_t { brushCount = 24 };

// The brush colours as COLORREF values (0x00BBGGRR); brush 0 is the black
// background.
extern const uint32_t brushColours[brushCount];

struct SpriteFrame {
    DibSurface* pattern;
    int32_t centreX; // the frame's centre inside the pattern image
    int32_t centreY;
};

struct Sprite {
    SpriteFrame* frame;
    int32_t x; // rectangle's left and top edge in window pixels
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t halfWidth;
    int32_t halfHeight;
    bool visible;
    DibSurface saveUnder; // the back-buffer pixels under the sprite during a pass
    int32_t previousX;    // position and visibility at the last present
    int32_t previousY;
    bool wasVisible;
    int32_t unionLimit; // one union copy only while its area is below this

    constexpr Sprite()
        : frame(nullptr), x(0), y(0), width(0), height(0), halfWidth(0), halfHeight(0), visible(false),
          saveUnder(), previousX(0), previousY(0), wasVisible(false), unionLimit(0)
    {
    }

    void saveAndDraw(DibSurface& backBuffer);
    void present(DeviceContext dc, const DibSurface& backBuffer);
    void restore(DibSurface& backBuffer);
};

class SpriteRenderer {
public:
    constexpr SpriteRenderer()
        : sprites(nullptr), frames(nullptr), patterns(nullptr), backBuffer(), dibSection(nullptr),
          memoryDc(nullptr), previousBitmap(nullptr), brushes(), spriteCount(0), frameCount(0), patternCount(0)
    {
    }
    ~SpriteRenderer();
    SpriteRenderer(const SpriteRenderer&) = delete;
    SpriteRenderer& operator=(const SpriteRenderer&) = delete;

    // Builds everything once: pattern images "SPPAT_R0" ..., the identity
    // palette from the first, the black back buffer of width x height, the
    // brushes and the sprite and frame tables. Later calls change nothing.
    void initialize(WindowHandle window, int32_t newSpriteCount, int32_t newFrameCount, int32_t newPatternCount,
                    int32_t width, int32_t height);

    // The setters ignore indexes outside their tables (setSpriteFrame shows
    // frame 0 for a frame index outside it).
    void setSpriteSize(int32_t index, int32_t width, int32_t height);
    void setFrameEntry(int32_t frameIndex, int32_t patternIndex, int32_t centreX, int32_t centreY);
    void setSpriteFrame(int32_t index, int32_t frameIndex);
    void setSpritePosition(int32_t index, int32_t centreX, int32_t centreY);
    void setSpriteVisible(int32_t index, bool visible);

    // Draws the visible sprites into the back buffer (sprite 0 on top),
    // presents each sprite's changed rectangles, and restores the background.
    void renderPass(WindowHandle window);

    // A size x size square at (x, y) in brush brushIndex (clamped to 0 ... 23),
    // painted into the back buffer and onto the window.
    void fillSquare(WindowHandle window, int32_t x, int32_t y, int32_t brushIndex, int32_t size);

    // For the scene and for tests.
    const DibSurface& back() const { return backBuffer; }
    const Sprite* sprite(int32_t index) const;
    const SpriteFrame* frameEntry(int32_t index) const;
    const DibSurface* pattern(int32_t index) const;

private:
    Sprite* sprites;
    SpriteFrame* frames;
    DibSurface* patterns;
    DibSurface backBuffer;
    BitmapHandle dibSection;
    DeviceContext memoryDc;
    BitmapHandle previousBitmap;
    BrushHandle brushes[brushCount];
    int32_t spriteCount;
    int32_t frameCount;
    int32_t patternCount;
};

// The process-wide renderer (constructed before the entry code runs,
// destroyed at process exit).
extern SpriteRenderer spriteRenderer;
