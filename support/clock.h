// Time as the saver sees it: the millisecond tick counter (wraps after 2^32 ms)
// and the calendar clock used for seeding. The Win32 shell reads the platform;
// the test stand-in keeps a clock that tests set and advance.
#pragma once
#include <cstdint>

uint32_t readTickCount();

// Whole seconds since 1970-01-01 00:00 UTC, truncated to 32 bits.
uint32_t readCalendarSeconds();
