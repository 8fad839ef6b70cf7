// The structured-exception guard around a run mode: a processor fault inside
// the guarded body ends in the handler, which tells the platform that no
// screen saver runs any more. The prefix's debugger is set to a program that
// cannot start, so the platform's filter answers "execute handler".
#include <gtest/gtest.h>

#include <windows.h>

#include "platforms/win32/host_win32.h"

namespace {

int32_t faultsSeen = 0;
volatile int32_t* volatile nowhere = nullptr;

int32_t writeToAddressZero(void*)
{
    *nowhere = 1;
    return 5;
}

int32_t finishNormally(void* context) { return *static_cast<int32_t*>(context); }

void countFault() { ++faultsSeen; }

void clearSaverRunning() { setSaverRunning(0); }

UINT saverRunningFlag()
{
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running ? 1 : 0;
}

} // namespace

TEST(ExceptionGuard, ResultOfANormalRunPassesThrough)
{
    int32_t value = 42;
    faultsSeen = 0;
    EXPECT_EQ(runGuarded(finishNormally, &value, countFault, -1), 42);
    EXPECT_EQ(faultsSeen, 0);
}

TEST(ExceptionGuard, FaultRunsTheHandlerAndReturnsToTheCaller)
{
    faultsSeen = 0;
    EXPECT_EQ(runGuarded(writeToAddressZero, nullptr, countFault, -1), -1);
    EXPECT_EQ(faultsSeen, 1);
    // The guard is gone afterwards and a second guarded run works again.
    int32_t value = 7;
    EXPECT_EQ(runGuarded(finishNormally, &value, countFault, -1), 7);
    EXPECT_EQ(runGuarded(writeToAddressZero, nullptr, countFault, -3), -3);
    EXPECT_EQ(faultsSeen, 2);
}

TEST(ExceptionGuard, FaultClearsThePlatformSaverFlagOnTheWin95Family)
{
    hostState.win95Family = 1;
    setSaverRunning(1);
    ASSERT_EQ(saverRunningFlag(), 1u) << "the platform keeps no screen-saver flag";
    EXPECT_EQ(runGuarded(writeToAddressZero, nullptr, clearSaverRunning, -1), -1);
    EXPECT_EQ(saverRunningFlag(), 0u);
    hostState.win95Family = 0;
}

TEST(ExceptionGuard, OffTheWin95FamilyTheFlagIsNotTouched)
{
    hostState.win95Family = 1;
    setSaverRunning(1);
    hostState.win95Family = 0;
    setSaverRunning(0);
    EXPECT_EQ(saverRunningFlag(), 1u);
    hostState.win95Family = 1;
    setSaverRunning(0);
    hostState.win95Family = 0;
}
