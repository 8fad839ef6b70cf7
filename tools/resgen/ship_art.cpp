// The fighter is drawn from a handful of shaded polygons in design units
// (nose at x = -1.15, nozzles at x = 1.06, wing tips at y = +-0.46), lit from
// the top of the screen. Small details get a minimum width in pixels, and the
// finest ones are left out where they would only smear.
#include "tools/resgen/ship_art.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The ship's colours, by palette index.
const RgbEntry kShipColours[15] = {
    {0, 0, 0},       // 10 black, transparent
    {38, 38, 42},    // 11 greys, dark to light
    {62, 62, 68},    // 12
    {88, 88, 94},    // 13
    {114, 114, 120}, // 14
    {142, 142, 148}, // 15
    {170, 170, 176}, // 16
    {198, 198, 204}, // 17
    {222, 44, 36},   // 18 red
    {22, 38, 112},   // 19 dark blue
    {226, 226, 230}, // 20 lightest grey
    {40, 92, 210},   // 21 blue
    {244, 248, 255}, // 22 near-white
    {100, 168, 255}, // 23 light blue
    {180, 220, 255}, // 24 pale blue
};

// The 24 starfield brush colours, kept in the palette so that the squares
// look right on 8-bit displays as well.
const RgbEntry kBrushColours[23] = {
    {255, 255, 255}, {200, 200, 200}, {255, 0, 0},     {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
    {255, 0, 255},   {0, 255, 255},   {0, 255, 128},   {255, 128, 0}, {255, 0, 128},   {160, 0, 0},
    {0, 160, 0},     {0, 0, 160},     {200, 200, 0},   {200, 0, 200}, {0, 200, 200},   {0, 200, 100},
    {200, 100, 0},   {200, 0, 100},   {255, 255, 255}, {200, 200, 200}, {255, 100, 100},
};

// The platform's static colours; the palette replaces 0-9 and 246-255 with
// the live ones, these only make the files look right in an image viewer.
const RgbEntry kStaticLow[10] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128}, {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
};
const RgbEntry kStaticHigh[10] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

std::array<RgbEntry, 256> buildColourTable()
{
    std::array<RgbEntry, 256> table{};
    for (int i = 0; i < 10; ++i) {
        table[i] = kStaticLow[i];
        table[246 + i] = kStaticHigh[i];
    }
    for (int i = 0; i < 15; ++i)
        table[10 + i] = kShipColours[i];
    for (int i = 0; i < 23; ++i)
        table[25 + i] = kBrushColours[i];
    // A 6 x 6 x 5 colour cube and a grey ramp fill the rest.
    int at = 48;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 5; ++b)
                table[at++] = {uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 255 / 4)};
    for (int k = 0; at < 246; ++k)
        table[at++] = {uint8_t(14 + k * 13), uint8_t(14 + k * 13), uint8_t(14 + k * 13)};
    return table;
}

Colour shipColour(int index)
{
    const RgbEntry& e = kShipColours[index - 10];
    return fromSrgb(e.red, e.green, e.blue);
}

// Perceptual colour space (OKLab) for the palette search.
struct Lab {
    double l, a, b;
};

Lab toLab(const Colour& c)
{
    double l = std::cbrt(0.4122214708 * c.r + 0.5363325363 * c.g + 0.0514459929 * c.b);
    double m = std::cbrt(0.2119034982 * c.r + 0.6806995451 * c.g + 0.1073969566 * c.b);
    double s = std::cbrt(0.0883024619 * c.r + 0.2817188376 * c.g + 0.6299787005 * c.b);
    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

// ---- geometry helpers -------------------------------------------------------

using Polygon = std::vector<Point>;

// Catmull-Rom curve through the points (open), as a polyline.
Polygon smoothCurve(const Polygon& points, int steps)
{
    Polygon out;
    const size_t n = points.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const Point& p0 = points[i == 0 ? 0 : i - 1];
        const Point& p1 = points[i];
        const Point& p2 = points[i + 1];
        const Point& p3 = points[i + 2 < n ? i + 2 : n - 1];
        for (int k = 0; k < steps; ++k) {
            double t = double(k) / steps, t2 = t * t, t3 = t2 * t;
            auto f = [&](double a, double b, double c, double d) {
                return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
            };
            out.push_back({f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)});
        }
    }
    out.push_back(points.back());
    return out;
}

Polygon mirrored(const Polygon& p)
{
    Polygon out;
    for (auto it = p.rbegin(); it != p.rend(); ++it)
        out.push_back({it->x, -it->y});
    return out;
}

Polygon ellipse(double cx, double cy, double rx, double ry, int n = 40)
{
    Polygon out;
    for (int i = 0; i < n; ++i) {
        double a = 2 * kPi * i / n;
        out.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return out;
}

// A quadrilateral strip of the given width around the segment a-b.
Polygon strip(Point a, Point b, double width)
{
    double dx = b.x - a.x, dy = b.y - a.y;
    double len = std::sqrt(dx * dx + dy * dy);
    double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    return {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
}

// Linear interpolation in a table of (x, value) pairs sorted by x.
double lookup(const Polygon& table, double x)
{
    if (x <= table.front().x)
        return table.front().y;
    for (size_t i = 1; i < table.size(); ++i)
        if (x <= table[i].x) {
            const Point& a = table[i - 1];
            const Point& b = table[i];
            return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
        }
    return table.back().y;
}

Shader solid(const Colour& c)
{
    return [c](double, double) { return Paint{c, 1.0}; };
}

// Light on a tube lying along x: n is the position across it, -1 (top edge,
// toward the light) to 1 (bottom edge).
double tubeLight(double n)
{
    n = std::clamp(n, -1.0, 1.0);
    double z = std::sqrt(1 - n * n);
    double diffuse = std::max(0.0, -0.55 * n + 0.83 * z);
    double specular = std::pow(std::max(0.0, -0.3 * n + 0.95 * z), 30.0);
    return 0.12 + 0.72 * diffuse + 0.28 * specular;
}

// ---- the design ---------------------------------------------------------------

// Half-width of the fuselage along its length.
const Polygon kFuselageProfile = {
    {-1.15, 0.000}, {-1.08, 0.020}, {-0.95, 0.040}, {-0.78, 0.060}, {-0.55, 0.078}, {-0.30, 0.092},
    {0.00, 0.100},  {0.40, 0.104},  {0.75, 0.101},  {0.93, 0.090},  {1.01, 0.072},
};

constexpr double kNoseX = -1.15;
constexpr double kNacelleY = 0.17;
constexpr double kNacelleHalf = 0.056;
constexpr double kNacelleFront = 0.30;
constexpr double kNozzleStart = 0.97;
constexpr double kNozzleEnd = 1.06;
constexpr double kRailOuter = 0.461; // outer edge of the wing-tip rails

struct FlameShape {
    double length;
    double wobble; // phase of the ripple along the flame
};

// Flame length per phase, top and bottom engine out of step, so the pair
// flickers instead of pulsing.
const FlameShape kFlames[2][4] = {
    {{0.40, 0.0}, {0.47, 1.9}, {0.36, 3.7}, {0.44, 5.3}},
    {{0.45, 2.6}, {0.37, 4.4}, {0.46, 0.7}, {0.39, 5.9}},
};

Polygon fuselageOutline()
{
    Polygon top;
    for (const Point& p : kFuselageProfile)
        top.push_back({p.x, -p.y});
    Polygon curve = smoothCurve(top, 8);
    Polygon bottom = mirrored(curve);
    curve.insert(curve.end(), bottom.begin(), bottom.end());
    return curve;
}

Polygon wingOutline(double side)
{
    Polygon w = {{-0.42, 0.085}, {0.34, 0.435}, {0.57, 0.435}, {0.73, 0.23}, {0.71, 0.09}};
    for (Point& p : w)
        p.y *= side;
    return w;
}

// x of the wing's leading and trailing edge at height |y| (0.09 .. 0.435).
double wingLeading(double y) { return -0.42 + (std::fabs(y) - 0.085) / (0.435 - 0.085) * (0.34 + 0.42); }
double wingTrailing(double y)
{
    double a = std::fabs(y);
    if (a < 0.23)
        return 0.71 + (a - 0.09) / (0.23 - 0.09) * 0.02;
    return 0.73 - (a - 0.23) / (0.435 - 0.23) * 0.16;
}

Polygon nacelleOutline(double cy)
{
    Polygon p;
    // Rounded intake at the front, straight sides, slightly flared nozzle.
    for (int i = 0; i <= 12; ++i) {
        double a = kPi / 2 + kPi * i / 12;
        p.push_back({kNacelleFront + 0.06 + 0.06 * std::cos(a), cy - kNacelleHalf * std::sin(a)});
    }
    p.push_back({kNozzleStart, cy + kNacelleHalf});
    p.push_back({kNozzleEnd, cy + kNacelleHalf + 0.006});
    p.push_back({kNozzleEnd, cy - kNacelleHalf - 0.006});
    p.push_back({kNozzleStart, cy - kNacelleHalf});
    return p;
}

Polygon flameOutline(double cy, double length, double width, double wobble, double phase)
{
    Polygon top, bottom;
    const int n = 28;
    for (int i = 0; i <= n; ++i) {
        double s = double(i) / n;
        double bulge = 1.0 + 0.30 * std::sin(kPi * std::min(1.0, s * 2.4));
        double taper = std::pow(1.0 - s, 0.85);
        double ripple = 0.16 * s * std::sin(2 * kPi * 2.2 * s + wobble);
        double h = width * std::max(0.0, bulge * taper + ripple * taper);
        double bend = 0.012 * s * s * std::sin(wobble + phase);
        double x = kNozzleEnd - 0.012 + length * s;
        top.push_back({x, cy + bend - h});
        bottom.push_back({x, cy + bend + h});
    }
    Polygon out = top;
    for (auto it = bottom.rbegin(); it != bottom.rend(); ++it)
        out.push_back(*it);
    return out;
}

class ShipPainter {
public:
    ShipPainter(Canvas& canvas, const View& view) : canvas_(canvas), view_(view), ppu_(view.pixelsPerUnit()) {}

    void paint(int phase)
    {
        flames(phase);
        wing(-1);
        wing(1);
        canards();
        stabilisers();
        nacelle(-kNacelleY);
        nacelle(kNacelleY);
        fuselage();
        canopy();
        markings();
        nozzleGlow();
    }

private:
    Canvas& canvas_;
    View view_;
    double ppu_;

    void fill(const Polygon& p, const Shader& s) { canvas_.fill(p, view_, s); }
    // A design width that is at least the given number of pixels wide.
    double atLeast(double design, double pixels) const { return std::max(design, pixels / ppu_); }

    void flames(int phase)
    {
        const int colours[5] = {19, 21, 23, 24, 22};
        const double lengths[5] = {1.00, 0.80, 0.58, 0.40, 0.24};
        const double widths[5] = {1.00, 0.80, 0.60, 0.44, 0.30};
        for (int engine = 0; engine < 2; ++engine) {
            const double cy = engine == 0 ? -kNacelleY : kNacelleY;
            const FlameShape& f = kFlames[engine][phase & 3];
            for (int layer = 0; layer < 5; ++layer) {
                const double len = f.length * lengths[layer];
                const double start = kNozzleEnd - 0.012;
                const Colour c = shipColour(colours[layer]);
                const double fade = layer == 0 ? 0.35 : 0.7;
                fill(flameOutline(cy, len, atLeast(0.060 * widths[layer], 0.5), f.wobble + layer, phase),
                     [=](double x, double) {
                         double s = std::clamp((x - start) / len, 0.0, 1.0);
                         return Paint{c, 1.0 - fade * s * s, 1.0};
                     });
            }
            // Shock diamonds: bright knots in the core, drifting from phase to phase.
            if (ppu_ >= 50) {
                for (int k = 0; k < 2; ++k) {
                    double x = kNozzleEnd + f.length * (0.30 + 0.22 * k) + 0.015 * std::sin(f.wobble);
                    fill(ellipse(x, cy, 0.022, 0.014, 20), [c = shipColour(k == 0 ? 22 : 24)](double, double) {
                        return Paint{c, 1.0, 1.0};
                    });
                }
            }
        }
    }

    void wing(double side)
    {
        // The upper wing catches more light than the lower one.
        const Colour light = fromSrgb(side < 0 ? 196 : 160, side < 0 ? 196 : 160, side < 0 ? 202 : 166);
        const Colour dark = fromSrgb(side < 0 ? 120 : 92, side < 0 ? 120 : 92, side < 0 ? 126 : 98);
        fill(wingOutline(side), [=](double x, double y) {
            double lead = wingLeading(y), trail = wingTrailing(y);
            double t = std::clamp((x - lead) / std::max(0.01, trail - lead), 0.0, 1.0);
            return Paint{mix(light, dark, std::pow(t, 0.8)), 1.0};
        });
        // Leading-edge highlight.
        fill(strip({-0.40, side * 0.093}, {0.33, side * 0.432}, atLeast(0.014, 0.9)),
             solid(fromSrgb(side < 0 ? 226 : 186, side < 0 ? 226 : 186, side < 0 ? 232 : 192)));
        // Panel lines, only where they are at least a pixel apart.
        if (ppu_ >= 55) {
            const Colour line = fromSrgb(side < 0 ? 104 : 78, side < 0 ? 104 : 78, side < 0 ? 110 : 84);
            for (double f : {0.38, 0.68}) {
                double y0 = 0.13, y1 = 0.40;
                Point a{wingLeading(y0) + f * (wingTrailing(y0) - wingLeading(y0)), side * y0};
                Point b{wingLeading(y1) + f * (wingTrailing(y1) - wingLeading(y1)), side * y1};
                fill(strip(a, b, 1.0 / ppu_), solid(line));
            }
            Point a{wingLeading(0.30) + 0.05, side * 0.30};
            Point b{wingTrailing(0.30) - 0.03, side * 0.30};
            fill(strip(a, b, 1.0 / ppu_), solid(line));
        }
        // Weapon rail along the tip, with a red muzzle.
        // At small sizes the rail widens inward, so the span stays the same.
        const double railW = atLeast(0.028, 1.2);
        const double railY = side * (kRailOuter - railW / 2);
        const Colour rail = fromSrgb(side < 0 ? 210 : 170, side < 0 ? 210 : 170, side < 0 ? 216 : 176);
        fill(strip({0.18, railY}, {0.60, railY}, railW), solid(rail));
        fill(strip({0.14, railY}, {0.22, railY}, railW), solid(shipColour(18)));
    }

    void canards()
    {
        for (double side : {-1.0, 1.0}) {
            Polygon p = {{-0.80, side * 0.050}, {-0.63, side * 0.165}, {-0.56, side * 0.165}, {-0.55, side * 0.060}};
            const Colour light = fromSrgb(side < 0 ? 190 : 150, side < 0 ? 190 : 150, side < 0 ? 196 : 156);
            const Colour dark = fromSrgb(side < 0 ? 128 : 96, side < 0 ? 128 : 96, side < 0 ? 134 : 102);
            fill(p, [=](double x, double) {
                return Paint{mix(light, dark, std::clamp((x + 0.80) / 0.25, 0.0, 1.0)), 1.0};
            });
        }
    }

    void stabilisers()
    {
        for (double side : {-1.0, 1.0}) {
            Polygon p = {{0.64, side * 0.215}, {0.88, side * 0.33}, {0.97, side * 0.33}, {0.95, side * 0.215}};
            const Colour light = fromSrgb(side < 0 ? 186 : 150, side < 0 ? 186 : 150, side < 0 ? 192 : 156);
            const Colour dark = fromSrgb(side < 0 ? 120 : 92, side < 0 ? 120 : 92, side < 0 ? 126 : 98);
            fill(p, [=](double x, double) {
                return Paint{mix(light, dark, std::clamp((x - 0.64) / 0.33, 0.0, 1.0)), 1.0};
            });
        }
    }

    void nacelle(double cy)
    {
        const Colour base = fromSrgb(196, 196, 206);
        fill(nacelleOutline(cy), [=](double x, double y) {
            double n = (y - cy) / kNacelleHalf;
            double k = tubeLight(n);
            if (x > kNozzleStart)
                k *= 0.55; // darker metal of the nozzle
            return Paint{scaled(base, k), 1.0};
        });
        // Intake mouth.
        fill(ellipse(kNacelleFront + 0.025, cy, 0.022, kNacelleHalf * 0.72, 24), solid(shipColour(11)));
        if (ppu_ >= 40) {
            const Colour seam = fromSrgb(70, 70, 76);
            fill(strip({kNozzleStart, cy - kNacelleHalf}, {kNozzleStart, cy + kNacelleHalf}, 1.0 / ppu_), solid(seam));
            fill(strip({0.55, cy - kNacelleHalf * 0.95}, {0.55, cy + kNacelleHalf * 0.95}, 1.0 / ppu_), solid(seam));
        }
    }

    void fuselage()
    {
        const Colour base = fromSrgb(222, 222, 230);
        fill(fuselageOutline(), [=](double x, double y) {
            double w = std::max(0.004, lookup(kFuselageProfile, x));
            double k = tubeLight(y / w);
            if (x < -1.02)
                k *= 0.62; // darker nose cone
            return Paint{scaled(base, k), 1.0};
        });
        // A darker spine down the back breaks up the long tube.
        fill({{-0.22, -0.018}, {0.96, -0.026}, {0.96, 0.026}, {-0.22, 0.018}}, [=](double x, double y) {
            double w = std::max(0.004, lookup(kFuselageProfile, x));
            return Paint{scaled(base, 0.62 * tubeLight(y / w)), 1.0};
        });
        if (ppu_ >= 55) {
            const Colour seam = fromSrgb(84, 84, 90);
            fill(strip({-1.02, -0.024}, {-1.02, 0.024}, 1.0 / ppu_), solid(seam));
            fill(strip({0.20, -0.098}, {0.20, 0.098}, 1.0 / ppu_), solid(seam));
        }
    }

    void canopy()
    {
        Polygon half = {{-0.88, 0.0}, {-0.80, -0.030}, {-0.66, -0.050}, {-0.52, -0.052}, {-0.42, -0.040}, {-0.37, 0.0}};
        Polygon top = smoothCurve(half, 6);
        Polygon outline = top;
        Polygon bottom = mirrored(top);
        outline.insert(outline.end(), bottom.begin() + 1, bottom.end() - 1);
        const Colour deep = shipColour(19), mid = shipColour(21), bright = shipColour(23);
        fill(outline, [=](double x, double y) {
            double t = std::clamp((x + 0.88) / 0.51, 0.0, 1.0);      // front to back
            double n = std::clamp(y / 0.052, -1.0, 1.0);              // top to bottom
            double l = std::clamp(0.75 - 0.6 * t - 0.45 * n, 0.0, 1.0);
            return Paint{l > 0.5 ? mix(mid, bright, (l - 0.5) * 2) : mix(deep, mid, l * 2), 1.0};
        });
        // Frame between front screen and hood, at sizes where it reads.
        if (ppu_ >= 40)
            fill(strip({-0.70, -0.05}, {-0.70, 0.05}, atLeast(0.010, 1.0)), solid(shipColour(14)));
        // Glint.
        fill(ellipse(-0.76, -0.022, atLeast(0.045, 1.2), atLeast(0.011, 0.7), 24), solid(shipColour(22)));
    }

    void markings()
    {
        // Red band round the fuselage behind the cockpit.
        const Colour red = shipColour(18);
        fill([&] {
            double x0 = -0.30, w = atLeast(0.035, 1.1);
            double h0 = lookup(kFuselageProfile, x0), h1 = lookup(kFuselageProfile, x0 + w);
            return Polygon{{x0, -h0}, {x0 + w, -h1}, {x0 + w, h1}, {x0, h0}};
        }(), [=](double x, double y) {
            double w = std::max(0.004, lookup(kFuselageProfile, x));
            return Paint{scaled(red, 0.35 + 0.75 * tubeLight(y / w)), 1.0};
        });
        // Red chevrons near the wing tips.
        for (double side : {-1.0, 1.0}) {
            double y0 = 0.355, y1 = y0 + atLeast(0.030, 1.1);
            fill({{wingLeading(y0) + 0.02, side * y0}, {wingLeading(y1) + 0.02, side * y1},
                  {wingTrailing(y1) - 0.015, side * y1}, {wingTrailing(y0) - 0.015, side * y0}},
                 solid(scaled(red, side < 0 ? 1.0 : 0.7)));
        }
        // Navigation lights at the tips of the stabilisers.
        const double r = atLeast(0.016, 0.8);
        fill(ellipse(0.955, -0.33, r, r, 16), solid(shipColour(18)));
        fill(ellipse(0.955, 0.33, r, r, 16), solid(shipColour(23)));
    }

    void nozzleGlow()
    {
        for (double cy : {-kNacelleY, kNacelleY})
            fill(ellipse(kNozzleEnd - 0.004, cy, atLeast(0.010, 0.8), kNacelleHalf * 0.78, 24), solid(shipColour(24)));
    }
};

int supersampling(int width) { return width >= 384 ? 4 : width >= 192 ? 6 : 8; }

} // namespace

PatternSize patternSize(int pattern)
{
    static const PatternSize sizes[7] = {{384, 512}, {192, 64}, {128, 42}, {96, 32}, {80, 26}, {64, 22}, {64, 17}};
    if (pattern <= 0)
        return sizes[0];
    return sizes[1 + std::min(5, (pattern - 1) / 4)];
}

FrameCut frameCut(int frame)
{
    if (frame < 4)
        return {0, 192, 64 + 128 * frame, 192, 64};
    const int pattern = frame - 3;
    const PatternSize s = patternSize(pattern);
    return {pattern, s.width / 2, s.height / 2, s.width / 2, s.height / 2};
}

int patternPhase(int pattern, int band) { return pattern == 0 ? band : (pattern - 1) % 4; }

const std::array<RgbEntry, 256>& patternColourTable()
{
    static const std::array<RgbEntry, 256> table = buildColourTable();
    return table;
}

void drawShip(Canvas& canvas, const View& view, int phase)
{
    // The design is laid out from the nose; the ship's centre is halfway
    // between the nose and the nozzles.
    const double centre = (kNoseX + kNozzleEnd) / 2;
    View shifted = view;
    shifted.originX -= view.xx * centre;
    shifted.originY -= view.yx * centre;
    ShipPainter(canvas, shifted).paint(phase);
}

uint8_t quantizeShipPixel(const Colour& premultiplied, double coverage, double glow)
{
    if (coverage < 0.32)
        return kTransparentIndex;
    static const std::array<Lab, 15> labs = [] {
        std::array<Lab, 15> out{};
        for (int i = 0; i < 15; ++i)
            out[i] = toLab(shipColour(10 + i));
        return out;
    }();
    const Lab p = toLab(premultiplied);
    uint8_t best = kFirstShipIndex;
    double bestDistance = 1e30;
    for (int i = kFirstShipIndex; i <= kLastShipIndex; ++i) {
        const bool flameColour = i == 19 || i == 21 || i == 22 || i == 23 || i == 24;
        if (glow > 0.5 && !flameColour)
            continue;
        const Lab& q = labs[i - 10];
        // Hue counts double: a dim fringe of the blue flame should stay blue,
        // not turn into a grey halo.
        double d = (p.l - q.l) * (p.l - q.l) + 4 * ((p.a - q.a) * (p.a - q.a) + (p.b - q.b) * (p.b - q.b));
        if (d < bestDistance) {
            bestDistance = d;
            best = uint8_t(i);
        }
    }
    return best;
}

IndexedImage renderPattern(int pattern)
{
    const PatternSize size = patternSize(pattern);
    IndexedImage image;
    image.width = size.width;
    image.height = size.height;
    image.pixels.assign(size_t(size.width) * size.height, kTransparentIndex);

    const int bands = pattern == 0 ? 4 : 1;
    const int bandHeight = size.height / bands;
    for (int band = 0; band < bands; ++band) {
        const FrameCut cut = frameCut(pattern == 0 ? band : pattern + 3);
        Canvas canvas(size.width, bandHeight, supersampling(size.width));
        // The ship fills the area the renderer draws (2 * half around the
        // centre) with half a pixel to spare on every side.
        const double scale =
            std::min((cut.halfWidth - 0.5) / kShipReach, (cut.halfHeight - 0.5) / kShipHalfSpan);
        drawShip(canvas, View::scaledAt(cut.centreX, cut.centreY - band * bandHeight, scale),
                 patternPhase(pattern, band));
        for (int y = 0; y < bandHeight; ++y)
            for (int x = 0; x < size.width; ++x)
                image.pixels[size_t(band * bandHeight + y) * size.width + x] =
                    quantizeShipPixel(canvas.averageColour(x, y), canvas.coverage(x, y), canvas.glow(x, y));
    }
    return image;
}
