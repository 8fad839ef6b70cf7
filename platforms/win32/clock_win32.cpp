// Win32 back end of the clocks.
#include "support/clock.h"

#include <windows.h>

#include "platforms/win32/clock_win32.h"

#ifdef VASKEN_SHELL_TESTS
namespace {
int32_t tickCountOverridden = 0;
uint32_t overriddenTicks = 0;
}

uint32_t readTickCount() { return tickCountOverridden ? overriddenTicks : GetTickCount(); }

void overrideTickCount(uint32_t ticks)
{
    tickCountOverridden = 1;
    overriddenTicks = ticks;
}

void clearTickCountOverride() { tickCountOverridden = 0; }
#else
uint32_t readTickCount() { return GetTickCount(); }
#endif

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
