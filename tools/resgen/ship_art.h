// The scene's space fighter: its design, the 25 pattern images cut from it at
// the sprite sizes, the colour table they share, and the frame table through
// which the renderer shows them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/resgen/canvas.h"

constexpr int kPatternCount = 25;
constexpr int kFrameCount = 24;
constexpr uint8_t kTransparentIndex = 10;
constexpr uint8_t kFirstShipIndex = 11;
constexpr uint8_t kLastShipIndex = 24;

struct RgbEntry {
    uint8_t red, green, blue;
};

// An 8-bit image, top row first (the bitmap writer turns it bottom-up).
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    uint8_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

struct PatternSize {
    int width, height;
};

// A frame as the renderer cuts it: the pattern, the point of the pattern that
// lands on the sprite's centre, and the half size of the sprite (the drawn
// area is 2 * half wide and high around the centre).
struct FrameCut {
    int pattern;
    int centreX, centreY;
    int halfWidth, halfHeight;
};

PatternSize patternSize(int pattern);
FrameCut frameCut(int frame);

// The animation phase (0..3) that a pattern, or band k of pattern 0, shows.
int patternPhase(int pattern, int band);

// The colour table of every pattern image.
const std::array<RgbEntry, 256>& patternColourTable();

// Draws the fighter, nose to the left, its centre at the view's origin: the
// point halfway between the nose and the nozzles.
// Detail follows the view's scale, so every size is drawn for its size.
void drawShip(Canvas& canvas, const View& view, int phase);

// Half the ship's extent in design units: from the centre (halfway between
// nose and nozzles) to the farthest flame tip (x) and to a wing tip (y).
constexpr double kShipReach = 1.57;
constexpr double kShipHalfSpan = 0.475;

// Nearest ship colour (indices 11..24) for an area-averaged pixel, or the
// transparent index where the ship covers too little of it. Mostly glowing
// pixels take one of the flame's blues or its white.
uint8_t quantizeShipPixel(const Colour& premultiplied, double coverage, double glow);

IndexedImage renderPattern(int pattern);
