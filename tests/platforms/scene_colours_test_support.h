// Shared by the tests that look at the scene on a real display (X11 and
// Wayland screenshots): the scene's colours as a display's pixel values, and
// a screenshot's pixels sorted into ship colours, square colours and black.
// A display says how an 8-bit colour becomes one of its pixel values.
#pragma once
#include <cstdint>
#include <set>
#include <vector>

#include "render/sprite_renderer.h"
#include "resources/embedded_resources.h"

namespace scenetest {

// The built-in palette's entry 10-245 (the first pattern's colour table),
// blue, green, red.
inline const uint8_t* paletteEntry(int index) { return embeddedBitmaps[0].bytes + 40 + 4 * index; }

// pixelOf(red, green, blue) gives the display's pixel value.
template <class PixelOf>
unsigned long palettePixel(int index, PixelOf pixelOf)
{
    const uint8_t* blueGreenRed = paletteEntry(index);
    return pixelOf(blueGreenRed[2], blueGreenRed[1], blueGreenRed[0]);
}

// The ships' colours (palette 11-24).
template <class PixelOf>
std::set<unsigned long> shipPixelValues(PixelOf pixelOf)
{
    std::set<unsigned long> ship;
    for (int i = 11; i <= 24; ++i)
        ship.insert(palettePixel(i, pixelOf));
    return ship;
}

// How many pixels show the ships' colours and how many distinct square
// colours (the brushes, matched to the palette) appear.
struct SceneColours {
    int shipPixels = 0;
    int squareColours = 0;
    int nonBlack = 0;
};

template <class PixelOf>
SceneColours sortSceneColours(const std::vector<unsigned long>& pixels, PixelOf pixelOf)
{
    const std::set<unsigned long> ship = shipPixelValues(pixelOf);
    std::set<unsigned long> squares;
    for (int k = 1; k < brushCount; ++k) {
        const uint32_t c = brushColours[k];
        int best = 10, bestDistance = 1 << 30;
        for (int i = 10; i <= 245; ++i) {
            const uint8_t* e = paletteEntry(i);
            const int dr = e[2] - int(c & 0xFF), dg = e[1] - int((c >> 8) & 0xFF), db = e[0] - int((c >> 16) & 0xFF);
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = i;
            }
        }
        squares.insert(palettePixel(best, pixelOf));
    }
    SceneColours out;
    std::set<unsigned long> seenSquares;
    for (const unsigned long p : pixels) {
        out.nonBlack += p != 0;
        out.shipPixels += ship.count(p) != 0;
        if (squares.count(p) != 0)
            seenSquares.insert(p);
    }
    out.squareColours = static_cast<int>(seenSquares.size());
    return out;
}

} // namespace scenetest
