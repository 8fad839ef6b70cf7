// Supersampled vector painter of the resource generator: shapes are filled at
// S x S samples per pixel and area-averaged, so that even the smallest sprite
// gets honest anti-aliased edges instead of a nearest-neighbour shrink.
#pragma once

#include <functional>
#include <vector>

struct Point {
    double x, y;
};

// Linear-light colour, each channel 0..1.
struct Colour {
    double r, g, b;
};

// Converts an sRGB byte triple to linear light, and back.
Colour fromSrgb(int red, int green, int blue);
double linearToSrgbByte(double linear);

Colour mix(const Colour& a, const Colour& b, double t);
Colour scaled(const Colour& c, double k);

struct Paint {
    Colour colour;
    double alpha;
    // 1 for light-emitting parts (the flame): their blended fringes keep to
    // the flame's own colours when the pixel is matched to the palette.
    double glow = 0.0;
};

// Colour of a shape at a point given in design units.
using Shader = std::function<Paint(double x, double y)>;

// Affine map from design units to pixels: pixel = origin + m * design.
struct View {
    double originX, originY;
    double xx, xy, yx, yy;

    static View scaledAt(double originX, double originY, double scale);
    static View rotatedAt(double originX, double originY, double scale, double radians);
    double pixelsPerUnit() const;
};

class Canvas {
public:
    Canvas(int width, int height, int samplesPerSide);

    // Fills a closed polygon (even-odd rule) given in design units.
    void fill(const std::vector<Point>& polygon, const View& view, const Shader& shader);

    int width() const { return width_; }
    int height() const { return height_; }

    // Area average of one pixel: colour premultiplied by coverage, and coverage.
    Colour averageColour(int x, int y) const;
    double coverage(int x, int y) const;
    // Share of the pixel's covered area that glows.
    double glow(int x, int y) const;

private:
    int width_;
    int height_;
    int samples_;
    int sampleWidth_;
    std::vector<float> red_, green_, blue_, alpha_, glow_;
};
