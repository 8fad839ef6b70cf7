// The Win32 clocks' one hook, for the shell tests only (the image is built
// without it): while an override is set, readTickCount answers it instead of
// GetTickCount, so a test can replay a fixed timeline through the Windows
// build of the core.
#pragma once
#include <cstdint>

#ifdef VASKEN_SHELL_TESTS
void overrideTickCount(uint32_t ticks);
void clearTickCountOverride();
#endif
