// The Wayland window's buffer ages without a compositor: which rectangles a
// buffer last written some frames ago is brought up to date in, and which
// pixels within them are converted anew.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platforms/wayland/damage_history_wayland.h"

namespace {

std::string describe(const std::vector<DamageRect>& rects)
{
    std::string text;
    for (const DamageRect& r : rects)
        text += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
                std::to_string(r.bottom) + ") ";
    return text.empty() ? "nothing" : text;
}

std::vector<DamageRect> staleFor(const DamageHistory& history, uint32_t held)
{
    std::vector<DamageRect> out;
    visitStaleRects(history, held, [&](const DamageRect& r) { out.push_back(r); });
    return out;
}

struct AgeCase {
    const char* what;
    uint32_t held; // frames back from the last (0: the buffer holds nothing)
    const char* expected;
};

} // namespace

// Three frames of 100 x 50, one rectangle each; then buffers of each age.
TEST(DamageHistory, ABufferGetsTheRectanglesOfEveryFrameSinceItWasShownAndAnOldOneAll)
{
    static DamageHistory history;
    resetDamage(history, 100, 50);
    uint32_t frames[3];
    const DamageRect drawn[3] = {{0, 0, 10, 10}, {20, 20, 30, 30}, {40, 0, 50, 5}};
    for (int i = 0; i < 3; ++i) {
        addDamage(history, drawn[i]);
        frames[i] = endDamageFrame(history);
    }
    const AgeCase cases[] = {
        {"up to date", frames[2], "nothing"},
        {"one frame old", frames[1], "(40,0)-(50,5) "},
        {"two frames old", frames[0], "(20,20)-(30,30) (40,0)-(50,5) "},
        {"holding nothing", 0, "(0,0)-(100,50) "},
        {"older than the history", frames[0] - damageFramesKept, "(0,0)-(100,50) "},
        {"from before a reset", frames[2], "(0,0)-(100,50) "},
    };
    for (const AgeCase& c : cases) {
        if (std::string(c.what) == "from before a reset")
            resetDamage(history, 100, 50);
        EXPECT_EQ(describe(staleFor(history, c.held)), c.expected) << c.what;
    }
}

TEST(DamageHistory, RectanglesAreClippedToTheImageAndTooManyBecomeTheirBoundingBox)
{
    static DamageHistory history;
    resetDamage(history, 100, 50);
    addDamage(history, {-5, -5, 3, 4});
    addDamage(history, {90, 40, 120, 60});
    addDamage(history, {100, 0, 110, 10}); // wholly outside
    addDamage(history, {5, 5, 5, 9});      // empty
    endDamageFrame(history);
    EXPECT_EQ(describe(staleFor(history, history.frame - 1)), "(0,0)-(3,4) (90,40)-(100,50) ");

    for (int32_t i = 0; i <= damageRectsPerFrame; ++i)
        addDamage(history, {i % 90, i % 40, i % 90 + 2, i % 40 + 1});
    endDamageFrame(history);
    EXPECT_EQ(describe(staleFor(history, history.frame - 1)), "(0,0)-(91,40) ");
}

// Runs within a row: equal stretches of eight or more split them, shorter
// ones are carried along; the held row ends equal to the wanted one.
TEST(DamageHistory, OnlyRunsThatDifferAreConvertedAndTheHeldRowFollows)
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
        visitDifferingRuns(reinterpret_cast<const uint8_t*>(c.wanted.data()), reinterpret_cast<uint8_t*>(&held[0]),
                           static_cast<int32_t>(held.size()),
                           [&](int32_t from, int32_t to) { runs += std::to_string(from) + "-" + std::to_string(to) + " "; });
        EXPECT_EQ(runs, c.expected) << c.wanted << " over " << c.held;
        EXPECT_EQ(held, c.wanted);
    }
}
