// How the configuration dialog's two scroll bars change their setting: one
// step per line or page request, the dragged thumb's position taken as it
// comes. A plain function, so it runs and is tested off the platform.
#pragma once
#include <cstdint>

// The scroll requests of a horizontal bar, as the platform numbers them.
enum : uint32_t {
    scrollLineLeft = 0,
    scrollLineRight = 1,
    scrollPageLeft = 2,
    scrollPageRight = 3,
    scrollThumbPosition = 4,
    scrollThumbTrack = 5,
};

// The setting after one request. A line or page step moves by 1 and stops
// at lowest and highest; a thumb-track request takes the thumb position
// without a range check (the bar's own range bounds it); every other request
// leaves the value as it is.
int32_t applyScrollRequest(int32_t value, uint32_t request, uint32_t thumbPosition, int32_t lowest,
                           int32_t highest);
