// The Win32 display back end's state: the window device context that the
// scene draws into, and the size on the screen of one of the scene's pixels.
// The saver procedure sets the pixel size; only shell files include this.
#pragma once
#include <windows.h>

#include <cstdint>

struct DisplayState {
    HDC windowDc;      // as getWindowDc handed it out, until it is released
    int32_t pixelSize; // what is drawn into windowDc covers N x N device pixels
};

extern DisplayState displayState;
