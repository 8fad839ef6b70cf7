// Win32 back end of the clocks.
#include "support/clock.h"

#include <windows.h>

uint32_t readTickCount() { return GetTickCount(); }

uint32_t readCalendarSeconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t hundredNanoseconds =
        (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // FILETIME counts from 1601-01-01; 11644473600 seconds lie before 1970.
    const uint64_t seconds = hundredNanoseconds / 10000000u;
    return static_cast<uint32_t>(seconds - 11644473600ull);
}
