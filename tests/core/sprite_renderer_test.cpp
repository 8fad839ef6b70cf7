// The sprite renderer against the native display: setup, the setters, the
// present rules, squares, stacking order and the order of destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "render/bitmap_source.h"
#include "platforms/stub/stub.h"
#include "render/sprite_renderer.h"
#include "tests/core/packed_dib_builder.h"
#include "tests/core/render_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The first pattern image carries the palette: distinct colours, with brush
// 23's colour at index 50 and black at the transparent index 10.
DibBuilder firstPattern()
{
    DibBuilder image(64, 88);
    image.distinctColours().colour(10, 0, 0, 0).colour(50, 255, 100, 100);
    image.paint([](int32_t x, int32_t y) { return x < 2 ? 10 : 100 + (y / 22) * 10 + (x & 3); });
    return image;
}

class Renderer : public ::testing::Test {
protected:
    enum { width = 640, height = 480 };
    void SetUp() override
    {
        clearStubBitmapResources();
        setStubSystemColours(nullptr);
        resetStubDisplay(width, height);
        blocksBefore = liveDibMemoryBlocks();
        objectsBefore = liveStubDisplayObjects();
        addPattern(0, firstPattern());
        addPattern(1, DibBuilder(40, 30).fill(201));
    }
    void TearDown() override
    {
        renderer.reset();
        EXPECT_EQ(liveDibMemoryBlocks(), blocksBefore) << "image blocks leaked";
        EXPECT_EQ(liveStubDisplayObjects(), objectsBefore) << "display objects leaked";
        clearStubBitmapResources();
    }
    static void addPattern(int index, const DibBuilder& image)
    {
        const Bytes bytes = image.packed();
        const std::string name = "SPPAT_R" + std::to_string(index);
        addStubBitmapResource(name.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    SpriteRenderer& start(int32_t sprites, int32_t frames, int32_t patterns)
    {
        renderer.reset(new SpriteRenderer());
        renderer->initialize(stubWindow(), sprites, frames, patterns, width, height);
        clearStubPresents();
        clearStubDisplayCalls();
        return *renderer;
    }
    std::unique_ptr<SpriteRenderer> renderer;
    int32_t blocksBefore = 0;
    int32_t objectsBefore = 0;
};

} // namespace

TEST_F(Renderer, InitializeBuildsEverythingOnceWithABlackBackBuffer)
{
    renderer.reset(new SpriteRenderer());
    renderer->initialize(stubWindow(), 3, 4, 2, width, height);
    const std::vector<DisplayCall> calls = takeCalls();
    auto count = [&calls](DisplayCall call) { return std::count(calls.begin(), calls.end(), call); };
    EXPECT_EQ(count(DisplayCall::createPalette), 1);
    EXPECT_EQ(count(DisplayCall::realizePalette), 2) << "in the window's and in the memory device context";
    EXPECT_EQ(count(DisplayCall::createMemoryDc), 1);
    EXPECT_EQ(count(DisplayCall::createDibSection), 1);
    EXPECT_EQ(count(DisplayCall::createBrush), 24);
    EXPECT_EQ(count(DisplayCall::getDc), count(DisplayCall::releaseDc));

    const DibSurface& back = renderer->back();
    EXPECT_EQ(back.width, width);
    EXPECT_EQ(back.height, height);
    EXPECT_EQ(backPixels(*renderer), Bytes(width * height, 0)) << "the new section must be painted black";
    ASSERT_NE(renderer->pattern(0), nullptr);
    EXPECT_EQ(renderer->pattern(0)->width, 64);
    EXPECT_EQ(renderer->pattern(1)->width, 40);
    EXPECT_EQ(renderer->pattern(2), nullptr);
    const PaletteEntry* palette = stubPaletteEntries(back.palette);
    EXPECT_EQ(palette[50].peRed, 255);
    EXPECT_EQ(palette[50].peGreen, 100);
    EXPECT_EQ(palette[50].peFlags, paletteNoCollapse);

    const DibSurface* firstBefore = renderer->pattern(0);
    renderer->initialize(stubWindow(), 9, 9, 9, 100, 100);
    EXPECT_TRUE(takeCalls().empty()) << "a second initialize does nothing";
    EXPECT_EQ(renderer->pattern(0), firstBefore);
    EXPECT_EQ(renderer->back().width, width);
    EXPECT_EQ(renderer->sprite(3), nullptr);
}

TEST_F(Renderer, SettersIgnoreIndexesOutsideTheirTables)
{
    SpriteRenderer& r = start(2, 24, 2);
    r.setSpriteSize(0, 64, 17);
    EXPECT_EQ(r.sprite(0)->halfWidth, 32);
    EXPECT_EQ(r.sprite(0)->halfHeight, 8);
    EXPECT_EQ(r.sprite(0)->unionLimit, 2 * 64 * 17);
    EXPECT_EQ(r.sprite(0)->saveUnder.width, 64);
    EXPECT_EQ(r.sprite(0)->saveUnder.height, 17);
    r.setSpritePosition(0, 100, 50);
    EXPECT_EQ(r.sprite(0)->x, 68);
    EXPECT_EQ(r.sprite(0)->y, 42);

    r.setFrameEntry(3, 1, 20, 15);
    r.setFrameEntry(24, 0, 1, 1);
    r.setFrameEntry(-1, 0, 1, 1);
    r.setFrameEntry(5, 2, 1, 1);
    r.setFrameEntry(6, -1, 1, 1);
    EXPECT_EQ(r.frameEntry(3)->pattern, r.pattern(1));
    EXPECT_EQ(r.frameEntry(3)->centreX, 20);
    EXPECT_EQ(r.frameEntry(5)->pattern, nullptr) << "pattern index 2 of 2";
    EXPECT_EQ(r.frameEntry(6)->pattern, nullptr) << "pattern index -1";

    struct Case {
        int32_t frameIndex;
        int32_t shown;
    } const frames[] = {{3, 3}, {23, 23}, {24, 0}, {-1, 0}, {1000, 0}};
    for (const Case& c : frames) {
        r.setSpriteFrame(1, c.frameIndex);
        EXPECT_EQ(r.sprite(1)->frame, r.frameEntry(c.shown)) << "frame index " << c.frameIndex;
    }

    for (int32_t index : {-1, 2, 100}) {
        r.setSpriteSize(index, 5, 5);
        r.setSpriteFrame(index, 0);
        r.setSpritePosition(index, 1, 1);
        r.setSpriteVisible(index, true);
    }
    EXPECT_EQ(r.sprite(1)->width, 0);
    EXPECT_FALSE(r.sprite(1)->visible);
}

TEST_F(Renderer, PresentRulesPassByPass)
{
    SpriteRenderer& r = start(1, 1, 1);
    r.setSpriteSize(0, 64, 22); // union limit 2816
    r.setFrameEntry(0, 0, 32, 11);
    r.setSpriteFrame(0, 0);
    struct Pass {
        const char* what;
        bool visible;
        int32_t centreX, centreY;
        std::vector<PresentedRect> expected;
    } const passes[] = {
        {"first pass: only the current rectangle", true, 100, 100, {{68, 89, 64, 22}}},
        {"moved by (3, -2): one 67 x 24 union", true, 103, 98, {{68, 87, 67, 24}}},
        {"not moved: the rectangle once", true, 103, 98, {{71, 87, 64, 22}}},
        {"moved by (64, 0): union of 2816 is not below 2816", true, 167, 98, {{135, 87, 64, 22}, {71, 87, 64, 22}}},
        {"moved by (63, 0): union just below", true, 230, 98, {{135, 87, 127, 22}}},
        {"hidden: the previous rectangle once", false, 230, 98, {{198, 87, 64, 22}}},
        {"still hidden: nothing", false, 230, 98, {}},
        {"shown again far away", true, 500, 400, {{468, 389, 64, 22}}},
        {"partly off the left and top edge", true, 10, 5, {{0, 0, 42, 16}, {468, 389, 64, 22}}},
        {"entirely off the window", true, -100, -100, {{0, 0, 42, 16}}},
        {"back in view", true, 620, 475, {{588, 464, 52, 16}}},
    };
    for (const Pass& pass : passes) {
        SCOPED_TRACE(pass.what);
        r.setSpriteVisible(0, pass.visible);
        r.setSpritePosition(0, pass.centreX, pass.centreY);
        r.renderPass(stubWindow());
        EXPECT_EQ(takePresents(), pass.expected);
    }
}

TEST_F(Renderer, HiddenSpritesAreNeitherSavedNorRestored)
{
    SpriteRenderer& r = start(1, 1, 2);
    r.setSpriteSize(0, 40, 30);
    r.setFrameEntry(0, 1, 20, 15);
    r.setSpriteFrame(0, 0);
    r.setSpritePosition(0, 50, 50);
    r.setSpriteVisible(0, true);
    r.renderPass(stubWindow());
    EXPECT_EQ(stubWindowPixel(40, 40), 201);
    EXPECT_EQ(*r.back().pixelAddress(40, 40), 0);

    r.setSpriteVisible(0, false);
    r.fillSquare(stubWindow(), 30, 30, 1, 40); // under the hidden sprite's old place
    const Bytes saved(r.sprite(0)->saveUnder.bits, r.sprite(0)->saveUnder.bits + 40 * 30);
    const Bytes background = backPixels(r);
    r.renderPass(stubWindow());
    r.renderPass(stubWindow());
    EXPECT_EQ(backPixels(r), background);
    EXPECT_EQ(Bytes(r.sprite(0)->saveUnder.bits, r.sprite(0)->saveUnder.bits + 40 * 30), saved);
    EXPECT_EQ(stubWindowPixel(40, 40), *r.back().pixelAddress(40, 40)) << "the last image was taken off";
}

TEST_F(Renderer, OddSizesDrawOnePixelLessButSaveAndPresentTheWholeRectangle)
{
    SpriteRenderer& r = start(1, 1, 2);
    r.setSpriteSize(0, 9, 7);
    r.setFrameEntry(0, 1, 20, 15);
    r.setSpriteFrame(0, 0);
    r.setSpritePosition(0, 100, 100); // x 96, y 97
    r.setSpriteVisible(0, true);
    r.renderPass(stubWindow());
    EXPECT_EQ(takePresents(), (std::vector<PresentedRect>{{96, 97, 9, 7}}));
    for (int32_t y = 97; y < 104; ++y)
        for (int32_t x = 96; x < 105; ++x)
            EXPECT_EQ(stubWindowPixel(x, y), (x < 104 && y < 103) ? 201 : 0) << "(" << x << ", " << y << ")";
}

TEST_F(Renderer, LowerIndexLiesOnTopAndTheBackgroundComesBack)
{
    addPattern(2, DibBuilder(40, 30).fill(202));
    SpriteRenderer& r = start(2, 2, 3);
    r.fillSquare(stubWindow(), 0, 0, 1, 200);
    const Bytes background = backPixels(r);
    for (int i = 0; i < 2; ++i) {
        r.setSpriteSize(i, 40, 30);
        r.setFrameEntry(i, 1 + i, 20, 15);
        r.setSpriteFrame(i, i);
        r.setSpriteVisible(i, true);
    }
    r.setSpritePosition(0, 20, 20);
    r.setSpritePosition(1, 30, 25);
    r.renderPass(stubWindow());
    EXPECT_EQ(stubWindowPixel(25, 25), 201) << "sprite 0 on top";
    EXPECT_EQ(stubWindowPixel(45, 35), 202) << "sprite 1 where sprite 0 is not";
    EXPECT_EQ(backPixels(r), background);
}

TEST_F(Renderer, FillSquarePaintsBackBufferAndWindowWithTheClampedBrush)
{
    SpriteRenderer& r = start(0, 0, 1);
    r.fillSquare(stubWindow(), 10, 20, 99, 3);
    for (int32_t y = 18; y < 25; ++y) {
        for (int32_t x = 8; x < 15; ++x) {
            const int32_t expected = (x >= 10 && x <= 12 && y >= 20 && y <= 22) ? 50 : 0;
            EXPECT_EQ(*r.back().pixelAddress(x, y), expected) << "back buffer (" << x << ", " << y << ")";
            EXPECT_EQ(stubWindowPixel(x, y), expected) << "window (" << x << ", " << y << ")";
        }
    }
    r.fillSquare(stubWindow(), 10, 20, -5, 3);
    EXPECT_EQ(*r.back().pixelAddress(11, 21), 0) << "brush -5 is brush 0, black";
    EXPECT_EQ(stubWindowPixel(11, 21), 0);
    r.fillSquare(stubWindow(), 638, 478, 23, 5); // partly outside
    EXPECT_EQ(*r.back().pixelAddress(639, 479), 50);
}

TEST_F(Renderer, PassWithoutSpritesStillRealizesThePalette)
{
    SpriteRenderer& r = start(0, 0, 1);
    r.renderPass(stubWindow());
    EXPECT_EQ(takeCalls(), (std::vector<DisplayCall>{DisplayCall::getDc, DisplayCall::selectPalette,
                                                     DisplayCall::realizePalette, DisplayCall::releaseDc}));
}

TEST_F(Renderer, APassAllocatesNothingAndPresentsThroughThePalette)
{
    SpriteRenderer& r = start(3, 1, 2);
    for (int i = 0; i < 3; ++i) {
        r.setSpriteSize(i, 40, 30);
        r.setSpriteVisible(i, true);
        r.setSpriteFrame(i, 0);
    }
    r.setFrameEntry(0, 1, 20, 15);
    const int32_t blocks = liveDibMemoryBlocks();
    const int32_t objects = liveStubDisplayObjects();
    for (int pass = 0; pass < 5; ++pass) {
        for (int i = 0; i < 3; ++i)
            r.setSpritePosition(i, 50 + 30 * pass + 7 * i, 60 + 11 * i);
        r.renderPass(stubWindow());
        EXPECT_EQ(stubWindowPaletteAtLastPresent(), r.back().palette);
        for (DisplayCall call : takeCalls())
            EXPECT_TRUE(call == DisplayCall::getDc || call == DisplayCall::releaseDc ||
                        call == DisplayCall::selectPalette || call == DisplayCall::realizePalette ||
                        call == DisplayCall::present)
                << "call " << static_cast<int>(call) << " during a pass";
    }
    EXPECT_EQ(liveDibMemoryBlocks(), blocks);
    EXPECT_EQ(liveStubDisplayObjects(), objects);
}

TEST_F(Renderer, MissingPatternDrawsNothingAndEverythingElseWorks)
{
    SpriteRenderer& r = start(2, 2, 4); // SPPAT_R2 and SPPAT_R3 do not exist
    EXPECT_EQ(r.pattern(3)->header, nullptr);
    r.setFrameEntry(0, 1, 20, 15);
    r.setFrameEntry(1, 3, 20, 15);
    for (int i = 0; i < 2; ++i) {
        r.setSpriteSize(i, 40, 30);
        r.setSpriteFrame(i, i);
        r.setSpriteVisible(i, true);
        r.setSpritePosition(i, 100 + 100 * i, 100);
    }
    r.renderPass(stubWindow());
    EXPECT_EQ(stubWindowPixel(100, 100), 201);
    EXPECT_EQ(stubWindowPixel(200, 100), 0);
    EXPECT_EQ(takePresents().size(), 2u);
}

TEST_F(Renderer, DestructionReleasesInTheFixedOrder)
{
    SpriteRenderer& r = start(2, 2, 2);
    r.setSpriteSize(0, 10, 10);
    r.setSpriteSize(1, 10, 10);
    (void)r;
    renderer.reset();
    std::vector<DisplayCall> expected(24, DisplayCall::deleteBrush);
    expected.insert(expected.end(), {DisplayCall::selectBitmap, DisplayCall::deleteBitmap,
                                     DisplayCall::deleteMemoryDc, DisplayCall::deletePalette});
    EXPECT_EQ(takeCalls(), expected);

    { SpriteRenderer never; }
    EXPECT_TRUE(takeCalls().empty()) << "a renderer that never ran initialize releases nothing";
}
