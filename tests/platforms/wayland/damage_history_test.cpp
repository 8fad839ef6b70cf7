// The Wayland window's buffer ages without a compositor: which runs of
// pixels a buffer last written some frames ago is brought up to date in,
// which rectangles a frame damages, and how the runs are found.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platforms/wayland/damage_history_wayland.h"

namespace {

constexpr int32_t width = 100;
constexpr int32_t height = 50;

// An image of the window and the copy the history keeps up to date.
struct Images {
    std::vector<uint8_t> now = std::vector<uint8_t>(width * height, 0);
    std::vector<uint8_t> shown = std::vector<uint8_t>(width * height, 0);
};

std::string staleFor(const DamageHistory& history, uint32_t held)
{
    std::string text;
    visitStaleSpans(history, held, [&](int32_t y, int32_t left, int32_t right) {
        text += std::to_string(y) + ":" + std::to_string(left) + "-" + std::to_string(right) + " ";
    });
    return text.empty() ? "nothing" : text;
}

std::string describe(DrawnRects drawn)
{
    std::sort(drawn.rects, drawn.rects + drawn.count,
              [](const DamageRect& a, const DamageRect& b) { return a.left < b.left; });
    std::string text;
    for (int32_t i = 0; i < drawn.count; ++i) {
        const DamageRect& r = drawn.rects[i];
        text += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
                std::to_string(r.bottom) + ") ";
    }
    return text;
}

struct AgeCase {
    const char* what;
    uint32_t held; // the frame the buffer holds (0: nothing)
    const char* expected;
};

} // namespace

// Three frames, each drawing a rectangle in which it changes a run or two
// (and leaves the rest as it was); then buffers of each age.
TEST(DamageHistory, ABufferGetsTheRunsEveryFrameSinceItWasShownChangedAndAnOldOneEveryRow)
{
    static DamageHistory history;
    Images images;
    resetDamage(history, width, height);
    uint32_t frames[3];
    const DamageRect drawn[3] = {{0, 0, 10, 2}, {20, 10, 40, 11}, {0, 1, 10, 2}};
    const DamageSpan changed[3][2] = {{{0, 2, 4}, {1, 6, 7}}, {{10, 30, 31}, {10, 30, 31}}, {{1, 0, 1}, {1, 0, 1}}};
    for (int i = 0; i < 3; ++i) {
        for (const DamageSpan& span : changed[i])
            std::fill(&images.now[span.y * width + span.left], &images.now[span.y * width + span.right], i + 1);
        addDamage(history, drawn[i]);
        frames[i] = endDamageFrame(history, images.now.data(), images.shown.data());
    }
    EXPECT_EQ(images.shown, images.now) << "the copy of the last frame";
    EXPECT_EQ(describe(lastFrameDamage(history)), "(0,1)-(1,2) ") << "the damage: what changed, not all that was drawn";
    std::string everyRow;
    for (int32_t y = 0; y < height; ++y)
        everyRow += std::to_string(y) + ":0-100 ";
    const AgeCase cases[] = {
        {"up to date", frames[2], "nothing"},
        {"one frame old", frames[1], "1:0-1 "},
        {"two frames old", frames[0], "10:30-31 1:0-1 "},
        {"holding nothing", 0, everyRow.c_str()},
        {"older than the history", frames[0] - damageFramesKept, everyRow.c_str()},
        {"from before a reset", frames[2], everyRow.c_str()},
    };
    for (const AgeCase& c : cases) {
        if (std::string(c.what) == "from before a reset")
            resetDamage(history, width, height);
        EXPECT_EQ(staleFor(history, c.held), c.expected) << c.what;
    }
}

// Rectangles that cost no more area together than apart merge (inside one
// another, much shared, side by side); others stay apart; too many become
// their bounding box. Every pixel drawn changes, so the damage is what was
// drawn.
TEST(DamageHistory, RectanglesAreClippedMergedWhereThatCostsNoAreaAndTooManyBecomeTheirBoundingBox)
{
    static DamageHistory history;
    Images images;
    resetDamage(history, width, height);
    auto addChanged = [&](const DamageRect& rect) {
        for (int32_t y = std::max(rect.top, 0); y < std::min(rect.bottom, height); ++y)
            for (int32_t x = std::max(rect.left, 0); x < std::min(rect.right, width); ++x)
                ++images.now[y * width + x];
        addDamage(history, rect);
    };
    const DamageRect drawn[] = {
        {-5, -5, 3, 4},   {90, 40, 120, 60}, {100, 0, 110, 10}, // wholly outside
        {5, 5, 5, 9},                                            // empty
        {10, 10, 20, 20}, {12, 12, 15, 15},                      // one inside the other
        {30, 0, 40, 10},  {32, 0, 42, 10},                       // most of them shared
        {50, 0, 55, 5},   {55, 0, 60, 5},                        // side by side
        {70, 0, 72, 2},   {80, 0, 82, 2},                        // too far apart
    };
    for (const DamageRect& rect : drawn)
        addChanged(rect);
    endDamageFrame(history, images.now.data(), images.shown.data());
    EXPECT_EQ(describe(lastFrameDamage(history)),
              "(0,0)-(3,4) (10,10)-(20,20) (30,0)-(42,10) (50,0)-(60,5) (70,0)-(72,2) (80,0)-(82,2) (90,40)-(100,50) ");

    for (int32_t i = 0; i <= damageRectsPerFrame; ++i)
        addChanged({i % 16 * 6, i / 16 * 3, i % 16 * 6 + 2, i / 16 * 3 + 1});
    endDamageFrame(history, images.now.data(), images.shown.data());
    EXPECT_EQ(describe(lastFrameDamage(history)), "(0,0)-(92,49) ");
}

// Runs within a row: equal stretches of eight or more split them, shorter
// ones are carried along; the held row ends equal to the wanted one.
TEST(DamageHistory, OnlyRunsThatDifferAreFoundAndTheHeldRowFollows)
{
    struct RunCase {
        std::string wanted;
        std::string held;
        const char* expected;
    };
    const RunCase cases[] = {
        {"aaaaaaaaaaaaaaaaaaaa", "aaaaaaaaaaaaaaaaaaaa", ""},
        {"aaaaaaaaaaaaaaaaaaab", "aaaaaaaaaaaaaaaaaaaa", "19-20 "},
        {"baaaaaaaaaaaaaaaaaab", "aaaaaaaaaaaaaaaaaaaa", "0-1 19-20 "},
        {"baaabaaaaaaaaaaaaaaa", "aaaaaaaaaaaaaaaaaaaa", "0-5 "},
        {"bbbbbbbbbbbbbbbbbbbb", "aaaaaaaaaaaaaaaaaaaa", "0-20 "},
    };
    for (const RunCase& c : cases) {
        std::string held = c.held;
        std::string runs;
        const auto note = [&](int32_t from, int32_t to) {
            runs += std::to_string(from) + "-" + std::to_string(to) + " ";
        };
        visitDifferingRuns(reinterpret_cast<const uint8_t*>(c.wanted.data()), reinterpret_cast<uint8_t*>(&held[0]),
                           static_cast<int32_t>(held.size()), note);
        EXPECT_EQ(runs, c.expected) << c.wanted << " over " << c.held;
        EXPECT_EQ(held, c.wanted);
    }
}
