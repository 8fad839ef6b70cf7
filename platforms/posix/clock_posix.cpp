// The tick counter of the Linux programs and the web page: the monotonic
// clock in milliseconds (it wraps after 2^32 ms, as the platform's does).
#include "support/clock.h"

#include <ctime>

uint32_t readTickCount()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}
