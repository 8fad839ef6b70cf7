// The formation as the Windows build of the core computes it: the long fixed
// run must give the same checksum as the native build.
#include <gtest/gtest.h>

#include <windows.h>

#include "formation/formation.h"
#include "platforms/win32/clock_win32.h"
#include "support/clock.h"
#include "support/float_control.h"
#include "tests/formation_scenario.h"

TEST(FormationOnWindows, LongRunChecksumMatchesTheNativeBuild)
{
    ASSERT_EQ(readFloatControlWord(), imageControlWord)
        << std::hex << "the core would run under another x87 control word than the image's";
    const uint64_t checksum = runFormationScenario(overrideTickCount);
    clearTickCountOverride();
    EXPECT_EQ(checksum, formationScenarioChecksum)
        << "expected 0x" << std::hex << formationScenarioChecksum << ", got 0x" << checksum;
}

TEST(FormationOnWindows, LayoutReadsThePlatformTickCount)
{
    clearTickCountOverride();
    const DWORD before = GetTickCount();
    formationInit(6, 640, 480, 10);
    const DWORD after = GetTickCount();
    EXPECT_LE(formation.lastLayoutTick - before, after - before)
        << "lastLayoutTick " << formation.lastLayoutTick << " not within [" << before << ", " << after << "]";
    EXPECT_EQ(shipCount(), 91);
}
