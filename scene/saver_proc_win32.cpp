// The saver's own window procedure. The animated scene is not built yet: the
// window stays black and every message goes on to the host's default handling.
#include "scene/scene_win32.h"

#include "host/host_win32.h"

LRESULT CALLBACK saverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_DESTROY:
    case WM_TIMER:
        return 0;
    }
    return defaultSaverProc(window, message, wParam, lParam);
}
