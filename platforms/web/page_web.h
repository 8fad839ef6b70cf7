// The scene driven by the web page, over one state record: open builds the
// scene for the canvas's size, tick runs one frame, reshape builds the scene
// anew for a new size, close takes everything down. The page's entry points
// (platforms/web/main_web.cpp) call them.
#pragma once
#include <cstdint>

struct PageState {
    int32_t width;
    int32_t height;
    bool built;
};

// The settings must be in place. False when the canvas's image cannot be
// had.
bool pageOpen(PageState& state, int32_t width, int32_t height, uint32_t seed);
void pageTick(PageState& state);
// A new size, or the same size with settings that the layout reads.
bool pageReshape(PageState& state, int32_t width, int32_t height);
void pageClose(PageState& state);
