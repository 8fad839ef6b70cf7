// The configuration dialog's scroll-bar arithmetic.
#include "settings/scroll_rules.h"

int32_t applyScrollRequest(int32_t value, uint32_t request, uint32_t thumbPosition, int32_t lowest,
                           int32_t highest)
{
    switch (request) {
    case scrollLineLeft:
    case scrollPageLeft:
        return value <= lowest ? lowest : value - 1;
    case scrollLineRight:
    case scrollPageRight:
        return value >= highest ? highest : value + 1;
    case scrollThumbTrack:
        return static_cast<int32_t>(thumbPosition);
    default:
        return value;
    }
}
