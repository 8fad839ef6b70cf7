// The --fps overlay in a plain TrueColor image, as every Linux display draws
// it: the font's characters, the panel's place and what it leaves alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platforms/fps/fps_overlay.h"

namespace {

const PixelFormat xrgb = pixelFormatOf(0xFF0000, 0xFF00, 0xFF, 24, 32, false);
const uint32_t black = 0x000000, white = 0xFFFFFF, scene = 0x2468AC;

// An image of the scene's colour with text's overlay drawn into it.
struct OverlayImage {
    int32_t width, height;
    std::vector<uint32_t> pixels;
    OverlayBox box;

    OverlayImage(OverlayPanel& panel, const char* text, int32_t imageWidth, int32_t imageHeight, int32_t blocks)
        : width(imageWidth), height(imageHeight), pixels(static_cast<size_t>(imageWidth) * imageHeight, scene)
    {
        setOverlayText(panel, text);
        box = overlayBox(panel, width, height, blocks);
        drawOverlay(panel, box, blocks, xrgb, reinterpret_cast<uint8_t*>(&at(box.left, box.top)), width * 4);
    }
    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }
    bool inBox(int32_t x, int32_t y) const
    {
        return x >= box.left && x < box.left + box.width && y >= box.top && y < box.top + box.height;
    }
};

} // namespace

TEST(FpsOverlay, ItsDigitsAreDrawnInTheCornerAndNothingElseChanges)
{
    // Each character of the counter's text alone: a glyph with ink, unlike
    // every other one.
    std::set<std::vector<bool>> glyphs;
    for (const char c : std::string("0123456789.%:-FPSLoad")) {
        OverlayPanel panel = {};
        OverlayImage image(panel, std::string(1, c).c_str(), 64, 64, 1);
        std::vector<bool> ink;
        for (uint32_t p : image.pixels)
            ink.push_back(p == white);
        EXPECT_NE(std::count(ink.begin(), ink.end(), true), 0) << "no ink for '" << c << "'";
        EXPECT_TRUE(glyphs.insert(ink).second) << "'" << c << "' looks like another character";
    }

    for (const int32_t blocks : {1, 3}) {
        SCOPED_TRACE("blocks of " + std::to_string(blocks));
        OverlayPanel panel = {};
        OverlayImage image(panel, "FPS: 1234567.8\nLoad: 90.5%", 640, 360, blocks);
        const OverlayBox& box = image.box;
        EXPECT_TRUE(box.left > 0 && box.left <= 16 * blocks) << "left edge at " << box.left;
        EXPECT_TRUE(box.top + box.height < image.height && box.top + box.height >= image.height - 16 * blocks)
            << "bottom edge at " << box.top + box.height;
        int32_t whites = 0, wrong = 0;
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) {
                const uint32_t p = image.at(x, y);
                whites += p == white;
                wrong += image.inBox(x, y) ? p != white && p != black : p != scene;
            }
        EXPECT_EQ(wrong, 0) << "pixels off the panel changed, or on it neither white nor black";
        EXPECT_GT(whites, 200 * blocks * blocks);

        // A shorter text in the same panel: the panel keeps its size, and
        // shows what a new panel shows for that text, and black beside it.
        OverlayPanel fresh = {};
        const OverlayImage shorter(fresh, "FPS: 9.5\nLoad: 1%", 640, 360, blocks);
        OverlayImage again(panel, "FPS: 9.5\nLoad: 1%", 640, 360, blocks);
        EXPECT_EQ(again.box.width, box.width);
        EXPECT_EQ(again.box.height, box.height);
        int32_t differing = 0;
        for (int32_t y = box.top; y < box.top + box.height; ++y)
            for (int32_t x = box.left; x < box.left + box.width; ++x)
                differing += again.at(x, y) != (shorter.inBox(x, y) ? shorter.pixels[y * 640 + x] : black);
        EXPECT_EQ(differing, 0) << "pixels of the longer text left behind";
    }
}
