// Lays the pictures out on an RGB sheet and encodes it as PNG.
#include "tools/resgen/contact_sheet.h"

#include <algorithm>

namespace {

class Sheet {
public:
    Sheet(int width, int height) : width_(width), height_(height), rgb_(size_t(width) * height * 3, 0) {}

    void put(int x, int y, RgbEntry c)
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return;
        uint8_t* p = &rgb_[(size_t(y) * width_ + x) * 3];
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
    }

    // Draws part of an indexed image at (x, y), scaled up by zoom; the
    // transparent index is left out, as the renderer leaves it out.
    void drawIndexed(const IndexedImage& image, int sx, int sy, int w, int h, int x, int y, int zoom = 1)
    {
        const auto& colours = patternColourTable();
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                uint8_t v = image.at(sx + i, sy + j);
                if (v == kTransparentIndex)
                    continue;
                for (int a = 0; a < zoom; ++a)
                    for (int b = 0; b < zoom; ++b)
                        put(x + i * zoom + b, y + j * zoom + a, colours[v]);
            }
    }

    void outline(int x, int y, int w, int h, RgbEntry c)
    {
        for (int i = -1; i <= w; ++i) {
            put(x + i, y - 1, c);
            put(x + i, y + h, c);
        }
        for (int j = 0; j < h; ++j) {
            put(x - 1, y + j, c);
            put(x + w, y + j, c);
        }
    }

    Bytes png() const { return makePngFile(width_, height_, rgb_); }

private:
    int width_, height_;
    std::vector<uint8_t> rgb_;
};

} // namespace

Bytes makeContactSheet(const std::vector<IndexedImage>& patterns, const IconPicture& icon)
{
    const int margin = 16;
    const int frameGap = 24;
    const int frameColumn = 384 + frameGap;
    Sheet sheet(margin * 2 + 4 * frameColumn - frameGap, 1016);

    // The pattern images as stored: pattern 0 on the left, the others in rows
    // of four phases to its right.
    sheet.drawIndexed(patterns[0], 0, 0, 384, 512, margin, margin);
    int y = margin;
    const int left = margin + 384 + frameGap;
    for (int row = 0; row < 6; ++row) {
        int x = left;
        for (int phase = 0; phase < 4; ++phase) {
            const IndexedImage& image = patterns[1 + row * 4 + phase];
            sheet.drawIndexed(image, 0, 0, image.width, image.height, x, y);
            x += image.width + 12;
        }
        y += patterns[1 + row * 4].height + 16;
    }
    // The last two sizes once more, four times as large, and the icon.
    int x = left;
    y += 8;
    for (int pattern : {13, 17, 21}) {
        const IndexedImage& image = patterns[pattern];
        sheet.drawIndexed(image, 0, 0, image.width, image.height, x, y, 4);
        x += image.width * 4 + 16;
    }
    const auto& iconColours = iconColourTable();
    const int iconX = x + 8;
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i)
            if (!icon.transparent[j * 32 + i])
                for (int a = 0; a < 4; ++a)
                    for (int b = 0; b < 4; ++b)
                        sheet.put(iconX + i * 4 + b, y + j * 4 + a, iconColours[icon.indices[j * 32 + i]]);

    // The 24 frames as the renderer cuts them: each sprite rectangle outlined,
    // the cut part of its pattern drawn inside, the centre marked at the edges.
    y = margin + 512 + 40;
    const RgbEntry frameColour{56, 56, 64};
    const RgbEntry tickColour{160, 40, 40};
    for (int sizeClass = 0; sizeClass < 6; ++sizeClass) {
        int rowHeight = 0;
        for (int phase = 0; phase < 4; ++phase) {
            const FrameCut cut = frameCut(sizeClass * 4 + phase);
            const PatternSize size = sizeClass == 0 ? PatternSize{384, 128} : patternSize(cut.pattern);
            const int fx = margin + phase * frameColumn;
            sheet.outline(fx, y, size.width, size.height, frameColour);
            sheet.drawIndexed(patterns[cut.pattern], cut.centreX - cut.halfWidth, cut.centreY - cut.halfHeight,
                              2 * cut.halfWidth, 2 * cut.halfHeight, fx, y);
            for (int k = 2; k <= 5; ++k) {
                sheet.put(fx + cut.halfWidth, y - k, tickColour);
                sheet.put(fx + cut.halfWidth, y + size.height + k - 1, tickColour);
                sheet.put(fx - k, y + cut.halfHeight, tickColour);
                sheet.put(fx + size.width + k - 1, y + cut.halfHeight, tickColour);
            }
            rowHeight = std::max(rowHeight, size.height);
        }
        y += rowHeight + 20;
    }
    return sheet.png();
}
