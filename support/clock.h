// Time as the saver sees it: the millisecond tick counter (wraps after 2^32 ms)
// and the calendar clock used for seeding. The Win32 shell reads the platform;
// the native back end keeps a clock that tests set and advance.
#pragma once
#include <cstdint>

uint32_t readTickCount();

// Whole seconds since 1970-01-01 00:00 UTC, truncated to 32 bits.
uint32_t readCalendarSeconds();

#ifdef VASKEN_NATIVE
// Native back end only: the values the two readers answer from now on.
void setNativeTickCount(uint32_t ticks);
void advanceNativeTickCount(uint32_t milliseconds);
void setNativeCalendarSeconds(uint32_t seconds);
#endif

#ifdef VASKEN_SHELL_TESTS
// Win32 shell tests only (the image has no such switch): while an override is
// set, readTickCount answers it instead of GetTickCount, so a test can replay
// a fixed timeline through the Windows build of the core.
void overrideTickCount(uint32_t ticks);
void clearTickCountOverride();
#endif
