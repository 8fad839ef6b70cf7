// Platform detection and the run modes of the saver host.
#include "platforms/win32/host_win32.h"

#include "host/close_rules.h"

HostState hostState = {
    nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, 0, 0,
    4,                 // mouseThreshold
    noVerificationYet, // lastVerifyTick
    {0, 0},
    {dpiUnaware, 96}, // dpi
};

namespace {

enum : int32_t { configDialogId = 2003 };

int32_t runChosenMode(void* context)
{
    const char* tail = static_cast<const char*>(context);
    const CommandChoice choice = scanCommand(tail, hostState.win95Family);
    switch (choice.mode) {
    case SaverMode::Configure:
        return runConfigure(choice.ownedByForeground ? GetForegroundWindow() : nullptr);
    case SaverMode::ChangePassword:
        return runChangePassword(choice.argument);
    case SaverMode::Preview:
        becomeDpiAware();
        return runPreview(choice.argument);
    case SaverMode::FullScreen:
        becomeDpiAware();
        return runSaverWindow(nullptr);
    case SaverMode::Invalid:
        break;
    }
    return -1;
}

void tellPlatformSaverStopped() { setSaverRunning(0); }

HWND windowFromHandleText(const char* text)
{
    // Window handles are 32-bit values on every version of the platform,
    // also in 64-bit processes, so the decimal text widens without loss.
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(parseWindowHandle(text)));
}

} // namespace

int32_t detectWin95Family()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version; // 148 bytes
    return (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) ? 1 : 0;
}

int32_t saverMain(HINSTANCE instance, const char* tail)
{
    hostState.instance = instance;
    hostState.win95Family = detectWin95Family();
    // The result after a fault is ours to choose: -1, as for an unusable
    // command line, so the caller can tell the run did not finish normally.
    return runGuarded(runChosenMode, const_cast<char*>(tail), tellPlatformSaverStopped, -1);
}

BOOL dialogClassHook(HINSTANCE) { return TRUE; }

int32_t runConfigure(HWND owner)
{
    if (!dialogClassHook(hostState.instance))
        return 0;
    return static_cast<int32_t>(DialogBoxParamA(hostState.instance, MAKEINTRESOURCEA(configDialogId),
                                                owner, configDialogProc, 0));
}

int32_t runPreview(const char* text)
{
    HWND parent = windowFromHandleText(text);
    if (parent == nullptr || !IsWindow(parent))
        return -1;
    return runSaverWindow(parent);
}

int32_t runChangePassword(const char* text)
{
    HWND parent = windowFromHandleText(text);
    if (parent == nullptr || !IsWindow(parent))
        parent = GetForegroundWindow();
    changePassword(parent);
    return 0;
}
