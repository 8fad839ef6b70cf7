// The Win32 clocks beyond the core's tick counter: the calendar seconds the
// saver seeds from, and one hook for the shell tests only (the image is built
// without it): while an override is set, readTickCount answers it instead of
// GetTickCount, so a test can replay a fixed timeline through the Windows
// build of the core.
#pragma once
#include <cstdint>

// Whole seconds since 1970-01-01 00:00 UTC, truncated to 32 bits.
uint32_t readCalendarSeconds();

#ifdef VASKEN_SHELL_TESTS
void overrideTickCount(uint32_t ticks);
void clearTickCountOverride();
#endif
