// The test stand-in's clocks: plain variables that tests control.
#include "support/clock.h"
#include "platforms/stub/stub.h"

namespace {
uint32_t stubTicks = 0;
uint32_t stubSeconds = 0;
}

uint32_t readTickCount() { return stubTicks; }
uint32_t readCalendarSeconds() { return stubSeconds; }
void setStubTickCount(uint32_t ticks) { stubTicks = ticks; }
void advanceStubTickCount(uint32_t milliseconds) { stubTicks += milliseconds; }
void setStubCalendarSeconds(uint32_t seconds) { stubSeconds = seconds; }
