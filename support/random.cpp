// The linear congruential generator behind every random draw of the saver.
#include "support/random.h"

#include <climits>

namespace {
uint32_t seedValue = 1;
// A named constant so that both the x87 and the SSE builds multiply by the
// same double, rounded once at compile time.
const double inverseOfMaximum = 1.0 / 32767.0;
}

void seedRandom(uint32_t seed) { seedValue = seed; }

uint32_t randomState() { return seedValue; }

int32_t nextRandom()
{
    seedValue = seedValue * 214013u + 2531011u;
    return static_cast<int32_t>((seedValue >> 16) & 0x7FFFu);
}

int32_t randomUpTo(int32_t n)
{
    const int64_t product = static_cast<int64_t>(nextRandom()) * n;
    return static_cast<int32_t>(static_cast<double>(product) * inverseOfMaximum);
}

int32_t sumOfSquares(int32_t n)
{
    if (n < 1)
        return 0;
    // n (n + 1) (2n + 1) / 6 stays exact in 64 bits for every 32-bit n that
    // does not saturate; larger formations than that cannot be allocated anyway.
    if (n > 2000000)
        return INT32_MAX;
    const int64_t m = n;
    const int64_t sum = m * (m + 1) * (2 * m + 1) / 6;
    return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}
