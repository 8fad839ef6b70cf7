// Where the full-screen saver window goes: over the whole virtual screen
// (every monitor) where the platform reports one, else over the primary
// screen. A plain function of the system metrics, so it runs and is tested
// off the platform.
#pragma once
#include <cstdint>

// The system metrics that place the window. Windows 95 and NT 4 know no
// virtual screen and answer 0 for its four metrics.
struct ScreenMetrics {
    int32_t virtualX;      // SM_XVIRTUALSCREEN: negative when a monitor lies left of the primary
    int32_t virtualY;      // SM_YVIRTUALSCREEN: negative when a monitor lies above it
    int32_t virtualWidth;  // SM_CXVIRTUALSCREEN
    int32_t virtualHeight; // SM_CYVIRTUALSCREEN
    int32_t screenWidth;   // SM_CXSCREEN: the primary monitor
    int32_t screenHeight;  // SM_CYSCREEN
};

// In screen coordinates.
struct ScreenRectangle {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// The virtual screen when both its sides are positive; otherwise the primary
// screen from 0,0.
ScreenRectangle fullScreenRectangle(const ScreenMetrics& metrics);
