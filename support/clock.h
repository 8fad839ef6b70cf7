// Time as the core sees it: the millisecond tick counter (wraps after 2^32 ms).
// Every platform supplies it; the test stand-in keeps a clock that tests set
// and advance.
#pragma once
#include <cstdint>

uint32_t readTickCount();
