// Renders the ship design into the Windows icon's 16-colour palette, and in
// full colour at any size for the web page's app icons.
#include "tools/resgen/icon_art.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
using Polygon = std::vector<Point>;
// The picture in units of the 32-pixel icon: a disc of night sky around its
// centre, a few stars, and the fighter climbing across it.
constexpr double kIconUnits = 32;
constexpr double kDiscRadius = 15.3;
constexpr double kIconAngleDegrees = 30;
constexpr double kIconScale = 13;
// How far from the centre the fighter's nose and flames reach, a little
// beyond the disc.
constexpr double kPictureReach = 17.4;

struct Star {
    double x, y;
    int r, g, b;
};
const Star kStars[] = {{8.5, 6.5, 255, 255, 255}, {22.5, 4.5, 192, 192, 192}, {27.5, 10.5, 255, 255, 255},
                       {4.5, 17.5, 192, 192, 192}, {9.5, 26.5, 255, 255, 255}, {20.5, 27.5, 192, 192, 192}};

// Navy at the top to a lighter blue at the bottom, y in icon units.
Paint skyAt(double y)
{
    return Paint{mix(fromSrgb(0, 0, 100), fromSrgb(0, 0, 160), std::clamp((y - 4) / 26, 0.0, 1.0)), 1.0};
}

Polygon circle(double cx, double cy, double radius)
{
    Polygon points;
    for (int i = 0; i < 96; ++i) {
        const double a = 2 * kPi * i / 96;
        points.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    return points;
}

Polygon square(double cx, double cy, double half)
{
    return {{cx - half, cy - half}, {cx + half, cy - half}, {cx + half, cy + half}, {cx - half, cy + half}};
}

// The fighter's place: its centre a little up and left of the icon's, so
// that nose and flame both stay on the disc.
View shipView(const View& icon)
{
    const double angle = kPi * kIconAngleDegrees / 180;
    const double x = 16 - 0.23 * kIconScale * std::cos(angle), y = 16 - 0.23 * kIconScale * std::sin(angle);
    const double unit = icon.pixelsPerUnit();
    return View::rotatedAt(icon.originX + unit * x, icon.originY + unit * y, unit * kIconScale, angle);
}

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
    const View pixels = View::scaledAt(0, 0, 1);
    sky.fill(circle(16, 16, kDiscRadius), pixels, [](double, double y) { return skyAt(y); });
    for (const Star& star : kStars)
        sky.fill(square(star.x, star.y, 0.5), pixels,
                 [c = fromSrgb(star.r, star.g, star.b)](double, double) { return Paint{c, 1.0}; });
    drawShip(ship, shipView(pixels), 1);

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

RgbaImage renderAppIcon(int side, bool maskable)
{
    // A maskable icon's picture has to lie within the circle of 80 % of its
    // side that every mask leaves; the sky then fills the whole square.
    const double unit = maskable ? 0.4 * side / kPictureReach : side / kIconUnits;
    const View icon = View::scaledAt(side / 2.0 - 16 * unit, side / 2.0 - 16 * unit, unit);
    const int samples = std::clamp(1536 / side, 2, 8);
    Canvas canvas(side, side, samples);
    if (maskable) {
        const double half = side / 2.0 / unit;
        canvas.fill(square(16, 16, half), icon, [](double, double y) { return skyAt(y); });
    } else {
        // A thin dark rim, so that the disc reads on a light background too.
        canvas.fill(circle(16, 16, kDiscRadius + 0.4), icon, [](double, double) { return Paint{{0, 0, 0}, 1.0}; });
        canvas.fill(circle(16, 16, kDiscRadius), icon, [](double, double y) { return skyAt(y); });
    }
    // Stars a little smaller than the small icon's single pixels, which
    // would look like tiles at this size.
    for (const Star& star : kStars)
        canvas.fill(square(star.x, star.y, 0.35), icon,
                    [c = fromSrgb(star.r, star.g, star.b)](double, double) { return Paint{c, 1.0}; });
    drawShip(canvas, shipView(icon), 1);

    RgbaImage image{side, side, std::vector<uint8_t>(size_t(side) * side * 4)};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint8_t* p = &image.pixels[(size_t(y) * side + x) * 4];
            const double coverage = canvas.coverage(x, y);
            if (coverage <= 0)
                continue;
            const Colour c = scaled(canvas.averageColour(x, y), 1.0 / coverage);
            p[0] = uint8_t(std::lround(linearToSrgbByte(c.r)));
            p[1] = uint8_t(std::lround(linearToSrgbByte(c.g)));
            p[2] = uint8_t(std::lround(linearToSrgbByte(c.b)));
            p[3] = uint8_t(std::lround(std::min(coverage, 1.0) * 255));
        }
    return image;
}
