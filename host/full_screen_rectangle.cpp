// The full-screen saver window's rectangle from the system metrics.
#include "host/full_screen_rectangle.h"

ScreenRectangle fullScreenRectangle(const ScreenMetrics& metrics)
{
    if (metrics.virtualWidth > 0 && metrics.virtualHeight > 0)
        return ScreenRectangle{metrics.virtualX, metrics.virtualY, metrics.virtualWidth, metrics.virtualHeight};
    return ScreenRectangle{0, 0, metrics.screenWidth, metrics.screenHeight};
}
