// The formation built with x87 arithmetic (this file and the core sources it
// links are compiled with -mfpmath=387): a stand-in for the i486 image, which
// this machine cannot run. The control word is set as the image's entry sets it.
#include <gtest/gtest.h>

#include "support/clock.h"
#include "support/float_control.h"
#include "tests/formation_scenario.h"
#include "platforms/stub/stub.h"

static_assert(__FLT_EVAL_METHOD__ == 2, "this test must be built with x87 arithmetic");

TEST(FormationOnX87, RunsWithTheImagesControlWord)
{
    EXPECT_EQ(readFloatControlWord(), imageControlWord);
}

TEST(FormationOnX87, LongRunChecksumMatchesTheSseBuild)
{
    const uint64_t checksum = runFormationScenario(setStubTickCount);
    EXPECT_EQ(checksum, formationScenarioChecksum)
        << "expected 0x" << std::hex << formationScenarioChecksum << ", got 0x" << checksum;
}

int main(int argc, char** argv)
{
    setDoublePrecision();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
