// Composition invariants over many random scenes: after every pass the back
// buffer holds exactly the background it held before; the window receives
// exactly the rectangles the present rules name, each showing the composite;
// nothing else on the window changes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "render/bitmap_source.h"
#include "platforms/stub/stub.h"
#include "render/sprite_renderer.h"
#include "tests/core/packed_dib_builder.h"
#include "tests/core/render_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct SpriteModel {
    int32_t width = 0, height = 0;
    int32_t x = 0, y = 0;
    int32_t frame = -1;
    bool visible = false;
    int32_t previousX = 0, previousY = 0;
    bool wasVisible = false;
};

struct FrameModel {
    int32_t pattern = -1;
    int32_t centreX = 0, centreY = 0;
};

// The rectangle as it reaches the window: cut to the window, empty ones dropped.
void expectCopy(std::vector<PresentedRect>& out, int64_t left, int64_t top, int64_t width, int64_t height,
                int32_t windowWidth, int32_t windowHeight)
{
    const int64_t right = std::min<int64_t>(left + width, windowWidth);
    const int64_t bottom = std::min<int64_t>(top + height, windowHeight);
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    if (right > left && bottom > top)
        out.push_back(PresentedRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                                    static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)});
}

} // namespace

TEST(RenderInvariants, RandomScenesKeepTheBackgroundAndPresentExactlyTheRules)
{
    for (uint32_t scene = 0; scene < 60; ++scene) {
        SCOPED_TRACE(::testing::Message() << "scene " << scene);
        std::mt19937 random(scene * 7919 + 17);
        auto upTo = [&random](int32_t n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n + 1)); };
        auto between = [&](int32_t low, int32_t high) { return low + upTo(high - low); };

        const int32_t width = between(40, 240), height = between(30, 190);
        resetStubDisplay(width, height);
        clearStubBitmapResources();
        const int32_t patternCount = between(1, 4);
        for (int32_t p = 0; p < patternCount; ++p) {
            if (p > 0 && upTo(5) == 0)
                continue; // a missing pattern image
            DibBuilder image(between(1, 60), between(1, 60));
            image.distinctColours().paint([&](int32_t, int32_t) { return upTo(2) == 0 ? 10 : between(0, 255); });
            const Bytes bytes = image.packed();
            const std::string name = "SPPAT_R" + std::to_string(p);
            addStubBitmapResource(name.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
        }
        const int32_t spriteCount = upTo(10), frameCount = between(1, 6);
        SpriteRenderer renderer;
        renderer.initialize(stubWindow(), spriteCount, frameCount, patternCount, width, height);

        std::vector<FrameModel> frames(frameCount);
        for (int32_t f = 0; f < frameCount; ++f) {
            frames[f] = FrameModel{upTo(patternCount - 1), between(-10, 70), between(-10, 70)};
            renderer.setFrameEntry(f, frames[f].pattern, frames[f].centreX, frames[f].centreY);
        }
        std::vector<SpriteModel> sprites(spriteCount);
        for (int32_t i = 0; i < spriteCount; ++i) {
            sprites[i].width = between(0, 80);
            sprites[i].height = between(0, 60);
            renderer.setSpriteSize(i, sprites[i].width, sprites[i].height);
        }
        Bytes window(stubWindowRow(0), stubWindowRow(0) + width * height);

        for (int32_t pass = 0; pass < 30; ++pass) {
            SCOPED_TRACE(::testing::Message() << "pass " << pass);
            if (upTo(2) == 0) {
                renderer.fillSquare(stubWindow(), between(-10, width), between(-10, height), between(-3, 30),
                                    between(0, 20));
                window.assign(stubWindowRow(0), stubWindowRow(0) + width * height);
            }
            for (int32_t i = 0; i < spriteCount; ++i) {
                SpriteModel& s = sprites[i];
                s.visible = upTo(9) < 7;
                const int32_t frameIndex = between(-2, frameCount + 1);
                s.frame = frameIndex >= 0 && frameIndex < frameCount ? frameIndex : 0;
                const int32_t centreX = between(-60, width + 60), centreY = between(-60, height + 60);
                s.x = centreX - s.width / 2;
                s.y = centreY - s.height / 2;
                renderer.setSpriteVisible(i, s.visible);
                renderer.setSpriteFrame(i, frameIndex);
                renderer.setSpritePosition(i, centreX, centreY);
            }

            const Bytes background = backPixels(renderer);
            Bytes composite = background;
            for (int32_t i = spriteCount - 1; i >= 0; --i) {
                const SpriteModel& s = sprites[i];
                const DibSurface* pattern = renderer.pattern(frames[s.frame].pattern);
                if (!s.visible || s.width < 1 || s.height < 1)
                    continue;
                const int32_t hw = s.width / 2, hh = s.height / 2;
                const int32_t sx = frames[s.frame].centreX - hw, sy = frames[s.frame].centreY - hh;
                for (int32_t j = 0; j < 2 * hh; ++j)
                    for (int32_t k = 0; k < 2 * hw; ++k) {
                        const uint8_t* from = pattern->pixelAddress(sx + k, sy + j);
                        const int32_t tx = s.x + k, ty = s.y + j;
                        if (from != nullptr && *from != 10 && tx >= 0 && tx < width && ty >= 0 && ty < height)
                            composite[ty * width + tx] = *from;
                    }
            }
            std::vector<PresentedRect> expected;
            for (SpriteModel& s : sprites) {
                const int64_t dx = std::abs(int64_t{s.x} - s.previousX), dy = std::abs(int64_t{s.y} - s.previousY);
                if (s.visible && s.wasVisible) {
                    if ((s.width + dx) * (s.height + dy) < 2 * int64_t{s.width} * s.height) {
                        expectCopy(expected, std::min(s.x, s.previousX), std::min(s.y, s.previousY), s.width + dx,
                                   s.height + dy, width, height);
                    } else {
                        expectCopy(expected, s.x, s.y, s.width, s.height, width, height);
                        expectCopy(expected, s.previousX, s.previousY, s.width, s.height, width, height);
                    }
                } else if (s.visible) {
                    expectCopy(expected, s.x, s.y, s.width, s.height, width, height);
                } else if (s.wasVisible) {
                    expectCopy(expected, s.previousX, s.previousY, s.width, s.height, width, height);
                }
                s.previousX = s.x;
                s.previousY = s.y;
                s.wasVisible = s.visible;
            }
            for (const PresentedRect& r : expected)
                for (int32_t y = r.top; y < r.top + r.height; ++y)
                    for (int32_t x = r.left; x < r.left + r.width; ++x)
                        window[y * width + x] = composite[y * width + x];

            renderer.renderPass(stubWindow());

            ASSERT_EQ(backPixels(renderer), background) << "the back buffer must hold the background alone";
            ASSERT_EQ(takePresents(), expected);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    ASSERT_EQ(stubWindowPixel(x, y), window[y * width + x])
                        << "window pixel (" << x << ", " << y << ")";
        }
    }
    clearStubBitmapResources();
}
