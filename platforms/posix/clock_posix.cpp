// The clocks of the X11 program and the web page: the monotonic clock in milliseconds for the
// tick counter (it wraps after 2^32 ms, as the platform's does) and the
// calendar clock for seeding.
#include "support/clock.h"

#include <ctime>

uint32_t readTickCount()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

uint32_t readCalendarSeconds()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint32_t>(now.tv_sec);
}
