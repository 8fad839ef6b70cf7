// DPI awareness of the saver's window modes, asked for at run time through
// whichever call the platform has: no manifest and no import, so Windows 95
// ... XP load the image as always and stay at one device pixel per pixel.
// Called by the full-screen and preview run modes before any window exists.
#include "platforms/win32/host_win32.h"

#include "host/close_rules.h"

namespace {

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, and
// PROCESS_PER_MONITOR_DPI_AWARE.
const HANDLE perMonitorAwareV2Context = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
const HANDLE perMonitorAwareContext = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-3));
enum : int32_t { processPerMonitorDpiAware = 2 };

} // namespace

int32_t obtainDpiAwareness(const DpiAwarenessCalls& calls)
{
    // A call refuses when the awareness is already set (a compatibility
    // setting) or, for V2, when the platform does not know it; the next
    // call may still grant.
    if (calls.setProcessDpiAwarenessContext != nullptr) {
        if (calls.setProcessDpiAwarenessContext(perMonitorAwareV2Context))
            return dpiPerMonitorAwareV2;
        if (calls.setProcessDpiAwarenessContext(perMonitorAwareContext))
            return dpiPerMonitorAware;
    }
    if (calls.setProcessDpiAwareness != nullptr && calls.setProcessDpiAwareness(processPerMonitorDpiAware) == S_OK)
        return dpiPerMonitorAware;
    if (calls.setProcessDPIAware != nullptr && calls.setProcessDPIAware())
        return dpiSystemAware;
    return dpiUnaware;
}

void becomeDpiAware()
{
    DpiAwarenessCalls calls = {nullptr, nullptr, nullptr};
    const HMODULE user = GetModuleHandleA("USER32.DLL");
    if (user != nullptr) {
        calls.setProcessDpiAwarenessContext =
            reinterpret_cast<SetDpiAwarenessContextFn>(GetProcAddress(user, "SetProcessDpiAwarenessContext"));
        calls.setProcessDPIAware = reinterpret_cast<SetDpiAwareFn>(GetProcAddress(user, "SetProcessDPIAware"));
    }
    // Only Windows 8.1 ... 10 1607 need the shell core's module; the
    // awareness outlives it.
    HMODULE shellCore = nullptr;
    if (calls.setProcessDpiAwarenessContext == nullptr) {
        shellCore = LoadLibraryA("SHCORE.DLL");
        if (shellCore != nullptr)
            calls.setProcessDpiAwareness =
                reinterpret_cast<SetDpiAwarenessFn>(GetProcAddress(shellCore, "SetProcessDpiAwareness"));
    }
    hostState.dpi.level = obtainDpiAwareness(calls);
    if (shellCore != nullptr)
        FreeLibrary(shellCore);

    if (hostState.dpi.level != dpiUnaware) {
        const HDC screen = GetDC(nullptr);
        const int32_t logPixels = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        if (logPixels > 0)
            hostState.dpi.logPixels = logPixels;
    }
    hostState.mouseThreshold = mouseThresholdAt(hostState.dpi.logPixels);
}
