// Renders the ship design into the icon's 16-colour palette.
#include "tools/resgen/icon_art.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
using Polygon = std::vector<Point>;
constexpr double kIconAngleDegrees = 30;
constexpr double kIconScale = 13;

// The 16 colours every display of the era shows without dithering.
const std::array<RgbEntry, 16> kIconColours = {{
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
}};

// Colours the picture may take: black for the rim, the greys and white of
// the hull, navy and blue for sky and canopy, aqua for the flame, red.
const int kUsable[] = {0, 8, 7, 15, 4, 12, 9, 14};

uint8_t nearestIconColour(const Colour& c)
{
    const double r = linearToSrgbByte(c.r), g = linearToSrgbByte(c.g), b = linearToSrgbByte(c.b);
    // Glass and flame are blue: keep them blue by brightness, since the
    // nearest of the 16 colours would often be a grey.
    if (b > r + 50 && b > g + 20) {
        const double light = (r + g + b) / 3;
        return light > 150 ? 15 : light > 105 ? 14 : light > 70 ? 12 : 4;
    }
    uint8_t best = 0;
    double bestDistance = 1e30;
    for (int i : kUsable) {
        const RgbEntry& e = kIconColours[i];
        const double dr = r - e.red, dg = g - e.green, db = b - e.blue;
        const double d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = uint8_t(i);
        }
    }
    return best;
}

} // namespace

const std::array<RgbEntry, 16>& iconColourTable() { return kIconColours; }

IconPicture renderIcon()
{
    const int side = 32;
    // The sky and the ship are drawn apart, so that the ship can get a dark
    // outline where it meets the sky.
    Canvas sky(side, side, 8), ship(side, side, 8);
    Polygon disc;
    for (int i = 0; i < 96; ++i) {
        const double a = 2 * kPi * i / 96;
        disc.push_back({16 + 15.3 * std::cos(a), 16 + 15.3 * std::sin(a)});
    }
    const View pixels = View::scaledAt(0, 0, 1);
    sky.fill(disc, pixels, [](double, double y) {
        return Paint{mix(fromSrgb(0, 0, 100), fromSrgb(0, 0, 160), std::clamp((y - 4) / 26, 0.0, 1.0)), 1.0};
    });
    const struct {
        double x, y;
        int r, g, b;
    } stars[] = {{8.5, 6.5, 255, 255, 255}, {22.5, 4.5, 192, 192, 192}, {27.5, 10.5, 255, 255, 255},
                 {4.5, 17.5, 192, 192, 192}, {9.5, 26.5, 255, 255, 255}, {20.5, 27.5, 192, 192, 192}};
    for (const auto& star : stars)
        sky.fill({{star.x - 0.5, star.y - 0.5}, {star.x + 0.5, star.y - 0.5}, {star.x + 0.5, star.y + 0.5},
                  {star.x - 0.5, star.y + 0.5}},
                 pixels, [c = fromSrgb(star.r, star.g, star.b)](double, double) { return Paint{c, 1.0}; });
    const double angle = kPi * kIconAngleDegrees / 180;
    const double scale = kIconScale;
    drawShip(ship, View::rotatedAt(16 - 0.23 * scale * std::cos(angle), 16 - 0.23 * scale * std::sin(angle), scale, angle), 1);

    IconPicture icon;
    icon.indices.assign(side * side, 0);
    icon.transparent.assign(side * side, true);
    std::vector<bool> isShip(side * side, false);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            isShip[y * side + x] = ship.coverage(x, y) >= 0.45;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int at = y * side + x;
            if (isShip[at]) {
                // The ship's own colour, a little brighter: the 16 colours have
                // only two greys between black and white.
                const double c = ship.coverage(x, y);
                icon.indices[at] = nearestIconColour(scaled(ship.averageColour(x, y), 1.25 / c));
                icon.transparent[at] = false;
                continue;
            }
            const bool besideShip = (x > 0 && isShip[at - 1]) || (x + 1 < side && isShip[at + 1]) ||
                                    (y > 0 && isShip[at - side]) || (y + 1 < side && isShip[at + side]);
            const double c = sky.coverage(x, y);
            if (besideShip) {
                icon.indices[at] = 0;
                icon.transparent[at] = false;
            } else if (c >= 0.5) {
                icon.indices[at] = nearestIconColour(scaled(sky.averageColour(x, y), 1.0 / c));
                icon.transparent[at] = false;
            }
        }
    // A one-pixel black rim, so that the disc reads on any desktop.
    std::vector<bool> opaque(side * side);
    for (int i = 0; i < side * side; ++i)
        opaque[i] = !icon.transparent[i];
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int at = y * side + x;
            if (opaque[at])
                continue;
            if ((x > 0 && opaque[at - 1]) || (x + 1 < side && opaque[at + 1]) || (y > 0 && opaque[at - side]) ||
                (y + 1 < side && opaque[at + side])) {
                icon.indices[at] = 0;
                icon.transparent[at] = false;
            }
        }
    return icon;
}
