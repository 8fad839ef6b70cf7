// Builds small 8-bit bitmaps in memory for tests: the packed form a surface
// holds (40-byte header, 256-entry colour table, bottom-up rows) and the file
// form with the 14-byte "BM" header in front. Pixels are set top row first.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

class DibBuilder {
public:
    DibBuilder(int32_t width, int32_t height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, 0), colours_(256 * 4, 0)
    {
    }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t stride() const { return (width_ + 3) & ~3; }

    DibBuilder& colour(int32_t index, uint8_t red, uint8_t green, uint8_t blue)
    {
        colours_[4 * index] = blue;
        colours_[4 * index + 1] = green;
        colours_[4 * index + 2] = red;
        return *this;
    }
    // Every entry k gets a colour of its own (k, 255 - k, k * 7).
    DibBuilder& distinctColours()
    {
        for (int32_t k = 0; k < 256; ++k)
            colour(k, static_cast<uint8_t>(k), static_cast<uint8_t>(255 - k), static_cast<uint8_t>(k * 7));
        return *this;
    }
    DibBuilder& pixel(int32_t x, int32_t y, uint8_t value)
    {
        pixels_[static_cast<size_t>(y) * width_ + x] = value;
        return *this;
    }
    DibBuilder& fill(uint8_t value)
    {
        std::fill(pixels_.begin(), pixels_.end(), value);
        return *this;
    }
    // Pixel (x, y) = f(x, y).
    template <typename F>
    DibBuilder& paint(F f)
    {
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x)
                pixel(x, y, static_cast<uint8_t>(f(x, y)));
        return *this;
    }
    uint8_t at(int32_t x, int32_t y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    // Header, colour table, rows: what an RT_BITMAP resource holds.
    std::vector<uint8_t> packed(uint32_t sizeImage = 0) const
    {
        std::vector<uint8_t> out(40);
        put32(out, 0, 40);
        put32(out, 4, static_cast<uint32_t>(width_));
        put32(out, 8, static_cast<uint32_t>(height_));
        put16(out, 12, 1);
        put16(out, 14, 8);
        put32(out, 20, sizeImage);
        out.insert(out.end(), colours_.begin(), colours_.end());
        const std::vector<uint8_t> bottomUp = rows();
        out.insert(out.end(), bottomUp.begin(), bottomUp.end());
        return out;
    }

    // "BM" file header, then the packed form; gap bytes of padding between
    // the colour table and the rows, which bfOffBits skips.
    std::vector<uint8_t> file(uint32_t gap = 0) const
    {
        std::vector<uint8_t> body = packed();
        std::vector<uint8_t> out(14);
        out[0] = 'B';
        out[1] = 'M';
        put32(out, 2, static_cast<uint32_t>(14 + body.size() + gap));
        put32(out, 10, 14 + 1064 + gap);
        out.insert(out.end(), body.begin(), body.begin() + 1064);
        out.insert(out.end(), gap, 0xEE);
        out.insert(out.end(), body.begin() + 1064, body.end());
        return out;
    }

    // Bottom-up rows, each padded to 4 bytes with zeros.
    std::vector<uint8_t> rows() const
    {
        std::vector<uint8_t> out(static_cast<size_t>(stride()) * height_, 0);
        for (int32_t y = 0; y < height_; ++y)
            std::memcpy(&out[static_cast<size_t>(stride()) * (height_ - 1 - y)],
                        &pixels_[static_cast<size_t>(y) * width_], width_);
        return out;
    }

    static void put16(std::vector<uint8_t>& out, size_t at, uint16_t value)
    {
        out[at] = static_cast<uint8_t>(value);
        out[at + 1] = static_cast<uint8_t>(value >> 8);
    }
    static void put32(std::vector<uint8_t>& out, size_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    static uint32_t get32(const std::vector<uint8_t>& in, size_t at)
    {
        return in[at] | (in[at + 1] << 8) | (in[at + 2] << 16) | (static_cast<uint32_t>(in[at + 3]) << 24);
    }

private:
    int32_t width_;
    int32_t height_;
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> colours_;
};
