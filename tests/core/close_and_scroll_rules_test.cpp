// The arithmetic behind the saver's close decisions (tick differences, the
// quiet interval after a verification, mouse travel and its threshold on
// scaled screens) and the configuration dialog's scroll-bar steps.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "host/close_rules.h"
#include "settings/scroll_rules.h"

TEST(TickDelta, ElapsedTimeAlsoAcrossTheWrap)
{
    struct Case {
        uint32_t then;
        uint32_t now;
        uint32_t elapsed;
    } const cases[] = {
        {0, 0, 0},
        {1000, 1199, 199},
        {1000, 1200, 200},
        {0xFFFFFFFFu, 0, 1},
        {0xFFFFFF9Cu, 100, 200},         // 100 ms before the wrap to 100 ms after
        {0xFFFFFFF0u, 0x10u, 0x20u},
        {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}, // now a tick before then: the longest span
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tickDelta(c.then, c.now), c.elapsed) << std::hex << "then 0x" << c.then << ", now 0x" << c.now;
    }
}

TEST(VerificationQuietInterval, RefusesUnder200MillisecondsAfterTheLastVerification)
{
    struct Case {
        uint32_t lastVerifyTick;
        uint32_t now;
        bool tooRecent;
    } const cases[] = {
        {noVerificationYet, 0, false},          // no verification yet, whatever the clock says
        {noVerificationYet, 0xFFFFFFFFu, false},
        {noVerificationYet, 100, false},
        {5000, 5000, true},
        {5000, 5199, true},
        {5000, 5200, false},
        {5000, 90000, false},
        {0xFFFFFF00u, 0x00000010u, false},      // 272 ms across the wrap
        {0xFFFFFFF0u, 0x00000010u, true},       // 32 ms across the wrap
        {0xFFFFFF38u, 0x00000000u, false},      // exactly 200 ms, ending at the wrap
        {0xFFFFFF39u, 0x00000000u, true},       // 199 ms
    };
    for (const Case& c : cases) {
        EXPECT_EQ(verificationTooRecent(c.lastVerifyTick, c.now), c.tooRecent)
            << std::hex << "last 0x" << c.lastVerifyTick << ", now 0x" << c.now;
    }
}

TEST(MouseTravel, SumOfTheDistancesOnBothAxes)
{
    struct Case {
        int32_t fromX, fromY, x, y;
        uint32_t travel;
    } const cases[] = {
        {300, 300, 300, 300, 0},
        {300, 300, 302, 302, 4},
        {300, 300, 296, 300, 4},
        {300, 300, 302, 303, 5},
        {300, 300, 297, 298, 5},
        {-10, -20, 10, 20, 60},              // monitors left of and above the primary one
        {INT32_MIN, 0, INT32_MAX, 0, 0xFFFFFFFFu},
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0xFFFFFFFFu}, // saturates, does not wrap to small
        {INT32_MAX, 5, INT32_MIN, 5, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mouseTravel(c.fromX, c.fromY, c.x, c.y), c.travel)
            << "from (" << c.fromX << ", " << c.fromY << ") to (" << c.x << ", " << c.y << ")";
    }
}

TEST(MouseThreshold, FourPixelsOfA96DpiScreenAndNeverFewer)
{
    struct Case {
        int32_t logPixels;
        uint32_t threshold;
    } const cases[] = {
        {96, 4},
        {120, 5},
        {144, 6},
        {192, 8},
        {108, 5},          // 4.5 goes up
        {72, 4},           // below 96: as unscaled
        {0, 4},            // unknown
        {INT32_MAX, 4096}, // saturates instead of wrapping
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mouseThresholdAt(c.logPixels), c.threshold) << "at " << c.logPixels << " DPI";
    }
}

TEST(ScrollRequests, StepsClampsAndThumb)
{
    struct Case {
        const char* what;
        int32_t value;
        uint32_t request;
        uint32_t thumb;
        int32_t lowest, highest;
        int32_t result;
    } const cases[] = {
        {"line left at the bottom of 10-200", 10, scrollLineLeft, 0, 10, 200, 10},
        {"line left above it", 11, scrollLineLeft, 0, 10, 200, 10},
        {"line right at the top of 10-200", 200, scrollLineRight, 0, 10, 200, 200},
        {"line right below it", 199, scrollLineRight, 0, 10, 200, 200},
        {"line left at the bottom of 1-100", 1, scrollLineLeft, 0, 1, 100, 1},
        {"line right at the top of 1-100", 100, scrollLineRight, 0, 1, 100, 100},
        {"page right is one step", 50, scrollPageRight, 0, 1, 100, 51},
        {"page left is one step", 50, scrollPageLeft, 0, 1, 100, 49},
        {"page left at the bottom", 10, scrollPageLeft, 0, 10, 200, 10},
        {"page right at the top", 100, scrollPageRight, 0, 1, 100, 100},
        {"thumb track takes the thumb", 10, scrollThumbTrack, 123, 10, 200, 123},
        {"thumb track without a range check", 10, scrollThumbTrack, 65535, 10, 200, 65535},
        {"thumb position leaves the value", 37, scrollThumbPosition, 90, 1, 100, 37},
        {"top request", 37, 6, 90, 1, 100, 37},
        {"bottom request", 37, 7, 90, 1, 100, 37},
        {"end of scrolling", 37, 8, 90, 1, 100, 37},
        {"unknown request", 37, 0xFFFF, 90, 1, 100, 37},
        {"line left at the lowest integer", INT32_MIN, scrollLineLeft, 0, 10, 200, 10},
        {"line right at the highest integer", INT32_MAX, scrollLineRight, 0, 10, 200, 200},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(applyScrollRequest(c.value, c.request, c.thumb, c.lowest, c.highest), c.result) << c.what;
    }
}
