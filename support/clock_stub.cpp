// The test stand-in's clocks: plain variables that tests control.
#include "support/clock.h"

namespace {
uint32_t nativeTicks = 0;
uint32_t nativeSeconds = 0;
}

uint32_t readTickCount() { return nativeTicks; }
uint32_t readCalendarSeconds() { return nativeSeconds; }
void setNativeTickCount(uint32_t ticks) { nativeTicks = ticks; }
void advanceNativeTickCount(uint32_t milliseconds) { nativeTicks += milliseconds; }
void setNativeCalendarSeconds(uint32_t seconds) { nativeSeconds = seconds; }
