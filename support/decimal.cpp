// Decimal conversion shared by the settings store and the dialog.
#include "support/decimal.h"

char* formatDecimal(int32_t value, char* buffer)
{
    char digits[10];
    int count = 0;
    // Work on the unsigned magnitude so that INT32_MIN needs no special case.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    char* out = buffer;
    if (value < 0)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    *out = '\0';
    return buffer;
}
