// The test stand-in's clock: a plain variable that tests control.
#include "support/clock.h"
#include "platforms/stub/stub.h"

namespace {
uint32_t stubTicks = 0;
}

uint32_t readTickCount() { return stubTicks; }
void setStubTickCount(uint32_t ticks) { stubTicks = ticks; }
void advanceStubTickCount(uint32_t milliseconds) { stubTicks += milliseconds; }
