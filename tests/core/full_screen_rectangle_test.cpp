// Where the full-screen saver window goes for the monitor layouts a desk
// has, and on the systems that know no virtual screen.
#include <gtest/gtest.h>

#include "host/full_screen_rectangle.h"

TEST(FullScreenRectangle, CoversTheVirtualScreenWhereThereIsOneElseThePrimary)
{
    struct Case {
        const char* layout;
        ScreenMetrics metrics;
        ScreenRectangle expected;
    } const cases[] = {
        {"one monitor", {0, 0, 1024, 768, 1024, 768}, {0, 0, 1024, 768}},
        {"1024x768 primary, 800x600 on its right", {0, 0, 1824, 768, 1024, 768}, {0, 0, 1824, 768}},
        {"800x600 left of the 1024x768 primary", {-800, 0, 1824, 768, 1024, 768}, {-800, 0, 1824, 768}},
        {"1280x1024 above the 1920x1080 primary", {0, -1024, 1920, 2104, 1920, 1080}, {0, -1024, 1920, 2104}},
        {"Windows 95: no virtual-screen metrics", {0, 0, 0, 0, 640, 480}, {0, 0, 640, 480}},
        {"a virtual screen without height", {0, 0, 1824, 0, 1024, 768}, {0, 0, 1024, 768}},
    };
    for (const Case& c : cases) {
        const ScreenRectangle r = fullScreenRectangle(c.metrics);
        EXPECT_TRUE(r.x == c.expected.x && r.y == c.expected.y && r.width == c.expected.width &&
                    r.height == c.expected.height)
            << c.layout << ": expected " << c.expected.x << "," << c.expected.y << " " << c.expected.width << "x"
            << c.expected.height << ", got " << r.x << "," << r.y << " " << r.width << "x" << r.height;
    }
}
