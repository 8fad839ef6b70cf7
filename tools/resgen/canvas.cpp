// Scanline polygon filler over a supersampled linear-light buffer.
#include "tools/resgen/canvas.h"

#include <algorithm>
#include <cmath>

Colour fromSrgb(int red, int green, int blue)
{
    auto toLinear = [](int v) {
        double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return {toLinear(red), toLinear(green), toLinear(blue)};
}

double linearToSrgbByte(double linear)
{
    linear = std::clamp(linear, 0.0, 1.0);
    double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return c * 255.0;
}

Colour mix(const Colour& a, const Colour& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(const Colour& c, double k) { return {c.r * k, c.g * k, c.b * k}; }

View View::scaledAt(double originX, double originY, double scale)
{
    return {originX, originY, scale, 0.0, 0.0, scale};
}

View View::rotatedAt(double originX, double originY, double scale, double radians)
{
    double c = std::cos(radians) * scale;
    double s = std::sin(radians) * scale;
    return {originX, originY, c, -s, s, c};
}

double View::pixelsPerUnit() const { return std::sqrt(std::fabs(xx * yy - xy * yx)); }

Canvas::Canvas(int width, int height, int samplesPerSide)
    : width_(width), height_(height), samples_(samplesPerSide), sampleWidth_(width * samplesPerSide)
{
    size_t n = size_t(width) * samplesPerSide * size_t(height) * samplesPerSide;
    red_.assign(n, 0.0f);
    green_.assign(n, 0.0f);
    blue_.assign(n, 0.0f);
    alpha_.assign(n, 0.0f);
    glow_.assign(n, 0.0f);
}

void Canvas::fill(const std::vector<Point>& polygon, const View& view, const Shader& shader)
{
    if (polygon.size() < 3)
        return;
    const double s = samples_;
    std::vector<Point> p;
    p.reserve(polygon.size());
    double top = 1e30, bottom = -1e30;
    for (const Point& q : polygon) {
        Point t{(view.originX + view.xx * q.x + view.xy * q.y) * s, (view.originY + view.yx * q.x + view.yy * q.y) * s};
        top = std::min(top, t.y);
        bottom = std::max(bottom, t.y);
        p.push_back(t);
    }
    // Inverse of the view, to hand the shader design coordinates.
    const double det = view.xx * view.yy - view.xy * view.yx;
    const double ixx = view.yy / det, ixy = -view.xy / det, iyx = -view.yx / det, iyy = view.xx / det;

    const int sampleHeight = height_ * samples_;
    int firstRow = std::max(0, int(std::ceil(top - 0.5)));
    int lastRow = std::min(sampleHeight - 1, int(std::floor(bottom - 0.5)));
    std::vector<double> crossings;
    for (int row = firstRow; row <= lastRow; ++row) {
        const double yc = row + 0.5;
        crossings.clear();
        for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
            const Point& a = p[j];
            const Point& b = p[i];
            if ((a.y <= yc && yc < b.y) || (b.y <= yc && yc < a.y))
                crossings.push_back(a.x + (yc - a.y) / (b.y - a.y) * (b.x - a.x));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
            int first = std::max(0, int(std::ceil(crossings[k] - 0.5)));
            int last = std::min(sampleWidth_ - 1, int(std::ceil(crossings[k + 1] - 0.5)) - 1);
            for (int col = first; col <= last; ++col) {
                const double px = (col + 0.5) / s - view.originX;
                const double py = yc / s - view.originY;
                const Paint paint = shader(ixx * px + ixy * py, iyx * px + iyy * py);
                const float a = float(std::clamp(paint.alpha, 0.0, 1.0));
                const size_t at = size_t(row) * sampleWidth_ + col;
                red_[at] = float(paint.colour.r) * a + red_[at] * (1.0f - a);
                green_[at] = float(paint.colour.g) * a + green_[at] * (1.0f - a);
                blue_[at] = float(paint.colour.b) * a + blue_[at] * (1.0f - a);
                alpha_[at] = a + alpha_[at] * (1.0f - a);
                glow_[at] = float(paint.glow) * a + glow_[at] * (1.0f - a);
            }
        }
    }
}

Colour Canvas::averageColour(int x, int y) const
{
    double r = 0, g = 0, b = 0;
    for (int j = 0; j < samples_; ++j) {
        size_t at = size_t(y * samples_ + j) * sampleWidth_ + size_t(x) * samples_;
        for (int i = 0; i < samples_; ++i, ++at) {
            r += red_[at];
            g += green_[at];
            b += blue_[at];
        }
    }
    const double n = double(samples_) * samples_;
    return {r / n, g / n, b / n};
}

double Canvas::coverage(int x, int y) const
{
    double a = 0;
    for (int j = 0; j < samples_; ++j) {
        size_t at = size_t(y * samples_ + j) * sampleWidth_ + size_t(x) * samples_;
        for (int i = 0; i < samples_; ++i, ++at)
            a += alpha_[at];
    }
    return a / (double(samples_) * samples_);
}

double Canvas::glow(int x, int y) const
{
    double g = 0, a = 0;
    for (int j = 0; j < samples_; ++j) {
        size_t at = size_t(y * samples_ + j) * sampleWidth_ + size_t(x) * samples_;
        for (int i = 0; i < samples_; ++i, ++at) {
            g += glow_[at];
            a += alpha_[at];
        }
    }
    return a > 0 ? g / a : 0.0;
}
