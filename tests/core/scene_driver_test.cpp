// The scene driver over the stand-in: which sizes lay the scene out anew,
// the tick schedule with late and wrapping clocks, the logical pixels an
// exposure presents at several pixel sizes, and a run that leaves nothing
// behind, also when the window cannot take the scene or the back buffer
// cannot be had.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "platforms/stub/stub.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "scene/scene_driver.h"
#include "scene/sound.h"
#include "settings/settings.h"
#include "tests/core/render_test_support.h"

namespace {

class Driver : public ::testing::Test {
protected:
    void SetUp() override
    {
        spriteRenderer.~SpriteRenderer();
        new (&spriteRenderer) SpriteRenderer();
        resetStubDisplay(1, 1);
        std::memset(&starfield, 0, sizeof starfield);
        settings = Settings{0, 10, 10};
    }
    void TearDown() override
    {
        closeScene(driver);
        setStubSystemColours(nullptr);
    }

    void open(int32_t width, int32_t height, double scale, uint32_t now = 0)
    {
        ASSERT_TRUE(openScene(driver, stubWindow(), width, height, scale, 0, 1234u, now));
        clearStubPresents();
    }

    SceneDriver driver = {};
};

TEST_F(Driver, LaysTheSceneOutAnewOnlyWhenItsBlocksChange)
{
    struct Case {
        int32_t width, height;
        double scale;
        bool anew;
        int32_t pixelSize, logicalWidth, logicalHeight;
    };
    const Case cases[] = {
        {1279, 719, 2.0, false, 2, 640, 360}, // a device pixel less rounds to the same blocks
        {1280, 720, 2.0, false, 2, 640, 360},
        {1282, 720, 2.0, true, 2, 641, 360},
        {1282, 720, 1.0, true, 1, 1282, 720}, // the scale alone
        {1282, 720, 1.2, false, 1, 1282, 720},
        {1000, 600, 1.0, true, 1, 1000, 600},
    };
    open(1280, 720, 2.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << " at " << c.scale);
        const int32_t before = stubSceneWindow().prepares;
        clearStubPresents();
        ASSERT_TRUE(resizeScene(driver, c.width, c.height, c.scale));
        EXPECT_EQ(stubSceneWindow().prepares - before, c.anew ? 1 : 0);
        EXPECT_EQ(driver.pixels.pixelSize, c.pixelSize);
        EXPECT_EQ(spriteRenderer.back().width, c.logicalWidth);
        EXPECT_EQ(spriteRenderer.back().height, c.logicalHeight);
        // A new layout shows its whole background at once.
        if (c.anew) {
            EXPECT_EQ(takePresents(), (std::vector<PresentedRect>{{0, 0, c.logicalWidth, c.logicalHeight}}));
        } else {
            EXPECT_EQ(stubPresentCount(), 0);
        }
    }
}

TEST_F(Driver, RunsOneFramePerTickAndFoldsLateTicks)
{
    struct Step {
        uint32_t now;
        uint32_t delayBefore; // sceneTickDelay at now
        uint32_t delayAfter;  // tickScene's answer
    };
    const uint32_t start = 0xFFFFFFE0u; // the clock wraps during the run
    const Step steps[] = {
        {start + 4, 6, 16},  // early: the frame runs, the schedule keeps its beat
        {start + 20, 0, 10},
        {start + 33, 0, 7},  // a little late: the next keeps the beat
        {start + 75, 0, 10}, // far behind: one frame, then from now
        {start + 86, 0, 9},
    };
    open(640, 360, 1.0, start);
    for (const Step& s : steps) {
        SCOPED_TRACE(::testing::Message() << "at start + " << s.now - start);
        const int32_t star = starfield.starIndex;
        EXPECT_EQ(sceneTickDelay(driver, s.now), s.delayBefore);
        EXPECT_EQ(tickScene(driver, s.now), s.delayAfter);
        EXPECT_EQ(starfield.starIndex, star + 1) << "exactly one frame";
    }
}

TEST_F(Driver, ExposurePresentsTheLogicalPixelsItTouches)
{
    struct Case {
        int32_t pixelSize;
        int32_t x, y, width, height;
        int32_t presents; // 0 or 1
        PresentedRect expected;
    };
    const Case cases[] = {
        {1, 5, 7, 3, 2, 1, {5, 7, 3, 2}},
        {2, 1, 1, 1, 1, 1, {0, 0, 1, 1}},
        {2, 1, 3, 2, 2, 1, {0, 1, 2, 2}},
        {3, 4, 2, 5, 1, 1, {1, 0, 2, 1}},
        {3, -4, -1, 6, 3, 1, {0, 0, 1, 1}},      // off the top left
        {3, 1918, 1078, 9, 9, 1, {639, 359, 1, 1}}, // off the bottom right
        {2, 1280, 0, 4, 4, 0, {}},               // beside the scene
        {3, 9, 9, 0, 5, 0, {}},                  // empty
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "N = " << c.pixelSize << " at " << c.x << ", " << c.y << ", " << c.width
                                          << " x " << c.height);
        open(640 * c.pixelSize, 360 * c.pixelSize, c.pixelSize);
        ASSERT_EQ(driver.pixels.pixelSize, c.pixelSize);
        exposeScene(driver, c.x, c.y, c.width, c.height);
        const std::vector<PresentedRect> presents = takePresents();
        ASSERT_EQ(static_cast<int32_t>(presents.size()), c.presents);
        if (c.presents == 1) {
            EXPECT_EQ(presents[0], c.expected);
        }
        closeScene(driver);
    }
}

TEST_F(Driver, CloseLeavesNothingBehindAndAWindowThatFailsDrawsNothing)
{
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "the window fails" : "the window takes the scene");
        resetStubDisplay(1, 1);
        failSceneWindowAfter(fails ? 0 : -1);
        EXPECT_EQ(openScene(driver, stubWindow(), 640, 360, 1.0, 0, 1u, 0), !fails);
        tickScene(driver, 10);
        exposeScene(driver, 0, 0, 640, 360);
        EXPECT_EQ(stubPresentCount() > 0, !fails);
        EXPECT_EQ(resizeScene(driver, 700, 400, 1.0), !fails);
        closeScene(driver);
        EXPECT_EQ(stubSceneWindow().releases, 1);
        EXPECT_EQ(liveStubDisplayObjects(), 0);
    }
}

// The back buffer is the run's one large block (8 MB at 4K). Without it the
// run goes on and ends as usual, but nothing reaches the window: no square
// that an exposure could not bring back, and no present.
// The squares still go onto the window directly, as the renderer paints
// them; nothing is composited or presented from the missing buffer.
TEST_F(Driver, ABackBufferThatCannotBeHadPresentsNothingAndLeavesNothing)
{
    resetStubDisplay(1, 1);
    failDibSectionsAfter(0);
    openScene(driver, stubWindow(), 640, 360, 1.0, 0, 1u, 0);
    ASSERT_EQ(spriteRenderer.back().bits, nullptr);
    for (uint32_t now = 10; now <= 50; now += 10)
        tickScene(driver, now);
    exposeScene(driver, 0, 0, 640, 360);
    EXPECT_EQ(stubPresentCount(), 0);
    closeScene(driver);
    EXPECT_EQ(liveStubDisplayObjects(), 0);
}

} // namespace
