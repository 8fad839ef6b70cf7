// The x87 control word the saver's double arithmetic runs under. The image
// has no runtime start code to set it, and the MinGW runtime of the shell
// tests sets a different one, so both call setDoublePrecision first thing.
#pragma once
#include <cstdint>

// Double precision (53-bit mantissa), round to nearest, all exceptions masked.
constexpr uint16_t imageControlWord = 0x027F;

// Loads imageControlWord into the x87 unit; elsewhere it does nothing.
void setDoublePrecision();

// The x87 control word now in force; imageControlWord where there is no x87.
uint16_t readFloatControlWord();
