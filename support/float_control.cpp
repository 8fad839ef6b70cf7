// The x87 control word: set by the image's entry and by the shell tests'
// start-up, read by the tests that compare checksums across builds.
#include "support/float_control.h"

#if defined(__i386__) || defined(__x86_64__)

void setDoublePrecision()
{
    const uint16_t word = imageControlWord;
    asm volatile("fldcw %0" : : "m"(word));
}

uint16_t readFloatControlWord()
{
    uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

#else

void setDoublePrecision() {}

uint16_t readFloatControlWord() { return imageControlWord; }

#endif
