// vasken on headless sway, as swayidle would start it: every output covered
// by a scene of its own size, outputs that come later covered too, exact
// blocks at scale 2, and the ways it ends (input of each kind and SIGTERM
// with 0, the compositor going with 1 and one line), with no process left.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/platforms/wayland/sway_test_support.h"

using namespace swaytest;

TEST_F(SwayTest, EveryOutputShowsASceneOfItsOwnSizeAndAnOutputThatComesLaterIsCoveredToo)
{
    ASSERT_EQ(swaymsg("output HEADLESS-2 resolution 1024x768"), 0);
    ChildProcess& vasken = startVasken({});
    EXPECT_TRUE(covered("HEADLESS-1"));
    EXPECT_TRUE(covered("HEADLESS-2"));
    const Grab second = grab("HEADLESS-2");
    EXPECT_EQ(std::to_string(second.width) + "x" + std::to_string(second.height), "1024x768");

    ASSERT_EQ(swaymsg("create_output"), 0);
    EXPECT_TRUE(covered("HEADLESS-3"));
    EXPECT_TRUE(vasken.running()) << vasken.errors();
    EXPECT_EQ(processesOf(user, "vasken").size(), 4u) << "the parent and a process per output";
}

// At scale 2 the output has 1280 x 720 device pixels for 640 x 360 of the
// surface: the scene must be drawn in device pixels, each of its pixels a
// 2 x 2 block on even coordinates, not left to the compositor to enlarge.
TEST_F(SwayTest, AtScaleTwoEveryPixelOfTheSceneIsAnExactBlockOfTwoByTwo)
{
    ASSERT_EQ(swaymsg("output HEADLESS-1 scale 2"), 0);
    startVasken({"--output", "HEADLESS-1"});
    ASSERT_TRUE(covered("HEADLESS-1"));
    const Grab shot = grab("HEADLESS-1");
    ASSERT_EQ(std::to_string(shot.width) + "x" + std::to_string(shot.height), "1280x720");
    int broken = 0;
    std::string first;
    for (int y = 0; y + 1 < shot.height; y += 2)
        for (int x = 0; x + 1 < shot.width; x += 2) {
            const unsigned long p = shot.at(x, y);
            if (shot.at(x + 1, y) == p && shot.at(x, y + 1) == p && shot.at(x + 1, y + 1) == p)
                continue;
            if (broken++ == 0)
                first = "first at " + std::to_string(x) + "," + std::to_string(y);
        }
    EXPECT_EQ(broken, 0) << "blocks of 2 x 2 that are not of one colour, " << first;
}

namespace {

enum class Ending { key, click, pointerTravel, sigterm };

struct EndingCase {
    const char* name;
    Ending ending;
};

const EndingCase endings[] = {
    {"Key", Ending::key},
    {"Click", Ending::click},
    {"PointerTravel", Ending::pointerTravel},
    {"Sigterm", Ending::sigterm},
};

void PrintTo(const EndingCase& c, std::ostream* out) { *out << c.name; }

} // namespace

class Endings : public SwayTest, public ::testing::WithParamInterface<EndingCase> {};

INSTANTIATE_TEST_SUITE_P(Each, Endings, ::testing::ValuesIn(endings),
                         [](const ::testing::TestParamInfo<EndingCase>& c) { return c.param.name; });

// The pointer is made and put in the middle of HEADLESS-1 before the
// program starts, which takes it as it starts; the saver appears under it
// (entering is no travel), then it moves 3 pixels (allowed), then 3 more
// (6 from where it entered: too far).
TEST_P(Endings, EndEveryProcessWithZeroAndLeaveNoneRunning)
{
    const Ending ending = GetParam().ending;
    const bool pointing = ending == Ending::click || ending == Ending::pointerTravel;
    if (pointing) {
        ASSERT_TRUE(startPointer().ready);
        ASSERT_TRUE(pointer->send("to 640 360 2560 720"));
    }
    ChildProcess& vasken = startVasken({});
    ASSERT_TRUE(covered("HEADLESS-1"));
    ASSERT_TRUE(covered("HEADLESS-2"));
    ASSERT_EQ(processesOf(user, "vasken").size(), 3u);
    switch (ending) {
    case Ending::key:
        ASSERT_EQ(run({"wtype", "-k", "q"}), 0);
        break;
    case Ending::click:
        ASSERT_TRUE(pointer->send("click"));
        break;
    case Ending::pointerTravel:
        ASSERT_TRUE(pointer->send("move 3 0"));
        // A few frames later it still runs.
        ASSERT_TRUE(covered("HEADLESS-1"));
        ASSERT_TRUE(vasken.running()) << "ended by entering or by 3 pixels of travel";
        ASSERT_TRUE(pointer->send("move 3 0"));
        break;
    case Ending::sigterm:
        kill(vasken.pid, SIGTERM);
        break;
    }
    EXPECT_EQ(vasken.waitExit(10000), 0) << vasken.errors();
    EXPECT_EQ(vasken.errors(), "");
    EXPECT_TRUE(eventually("every process to end", [] { return processesOf(user, "vasken").empty(); }));
}

TEST_F(SwayTest, TheCompositorGoingEndsEveryProcessWithOneLineAndOne)
{
    ChildProcess& vasken = startVasken({});
    ASSERT_TRUE(covered("HEADLESS-1"));
    ASSERT_TRUE(covered("HEADLESS-2"));
    kill(sway->pid, SIGKILL);
    EXPECT_EQ(vasken.waitExit(10000), 1);
    const std::string errors = vasken.errors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("Wayland compositor"), std::string::npos) << errors;
    EXPECT_TRUE(eventually("every process to end", [] { return processesOf(user, "vasken").empty(); }));
}
