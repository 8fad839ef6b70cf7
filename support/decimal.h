// Signed decimal text without the C library: what the settings write to the
// profile and what the dialog labels show.
#pragma once
#include <cstdint>

// Writes value as decimal text ("-2147483648" at the longest) and a
// terminating NUL into buffer, which must hold 12 bytes. Returns buffer.
char* formatDecimal(int32_t value, char* buffer);
