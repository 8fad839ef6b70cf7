// The full-screen saver's close arithmetic: tick differences, mouse travel
// and its threshold.
#include "host/close_rules.h"

namespace {

uint32_t distance(int32_t from, int32_t to)
{
    // Unsigned subtraction is exact for any two 32-bit values as long as the
    // larger one is taken first.
    return to >= from ? static_cast<uint32_t>(to) - static_cast<uint32_t>(from)
                      : static_cast<uint32_t>(from) - static_cast<uint32_t>(to);
}

} // namespace

uint32_t tickDelta(uint32_t then, uint32_t now) { return now - then; }

bool verificationTooRecent(uint32_t lastVerifyTick, uint32_t now)
{
    return lastVerifyTick != noVerificationYet && tickDelta(lastVerifyTick, now) < verifyQuietMilliseconds;
}

uint32_t mouseTravel(int32_t fromX, int32_t fromY, int32_t x, int32_t y)
{
    const uint32_t across = distance(fromX, x);
    const uint32_t down = distance(fromY, y);
    return across > 0xFFFFFFFFu - down ? 0xFFFFFFFFu : across + down;
}

uint32_t mouseThresholdAt(int32_t logPixels)
{
    if (logPixels <= 96)
        return 4;
    // Far beyond any screen; it keeps the product inside 32 bits.
    const uint32_t dpi = logPixels < 96 * 1024 ? static_cast<uint32_t>(logPixels) : 96 * 1024;
    return (4 * dpi + 48) / 96;
}
