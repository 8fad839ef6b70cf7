// Password hooks of the Windows 95 family: the platform's password verifier
// asked before the full-screen saver closes, the platform's screen-saver
// flag, and the password-change entry. Both platform modules are optional and
// found by name at run time; off the Windows 95 family nothing here acts.
#include "platforms/win32/host_win32.h"

#include "host/close_rules.h"
#include "support/clock.h"

namespace {

const char desktopKeyPath[] = "Control Panel\\Desktop";
const char usePasswordValue[] = "ScreenSaveUsePassword";
const char verifierModuleName[] = "PASSWORD.CPL";
const char verifierEntryName[] = "VerifyScreenSavePwd";

typedef DWORD(WINAPI* ChangePasswordFn)(LPCSTR provider, HWND parent, DWORD reserved1, DWORD reserved2);

// A value longer than four bytes fails the query and counts as off; a
// shorter one reads into a zeroed integer, so no stale bytes decide.
bool passwordSwitchedOn(HKEY desktop)
{
    DWORD usePassword = 0;
    DWORD size = sizeof usePassword;
    return RegQueryValueExA(desktop, usePasswordValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&usePassword),
                            &size) == ERROR_SUCCESS &&
           usePassword != 0;
}

void loadVerifier()
{
    hostState.passwordModule = LoadLibraryA(verifierModuleName);
    if (hostState.passwordModule == nullptr)
        return;
    hostState.verifyPasswordFn =
        reinterpret_cast<VerifyPasswordFn>(GetProcAddress(hostState.passwordModule, verifierEntryName));
    if (hostState.verifyPasswordFn != nullptr)
        setSaverRunning(1);
    else
        releasePasswordHooks();
}

// Animation ticks already waiting would otherwise run between the close
// request and the verifier's dialog; at most two are dropped.
void discardWaitingTicks(HWND window)
{
    MSG scratch;
    PeekMessageA(&scratch, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&scratch, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
}

} // namespace

void setSaverRunning(int32_t flag)
{
    if (!hostState.win95Family)
        return;
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, static_cast<UINT>(flag), &previous, 0);
}

void loadPasswordHooks()
{
    if (!hostState.win95Family)
        return;
    if (hostState.passwordModule != nullptr)
        releasePasswordHooks();
    HKEY desktop;
    if (RegOpenKeyA(HKEY_CURRENT_USER, desktopKeyPath, &desktop) != ERROR_SUCCESS)
        return;
    if (passwordSwitchedOn(desktop))
        loadVerifier();
    RegCloseKey(desktop);
}

void releasePasswordHooks()
{
    if (!hostState.win95Family || hostState.passwordModule == nullptr)
        return;
    FreeLibrary(hostState.passwordModule);
    hostState.passwordModule = nullptr;
    if (hostState.verifyPasswordFn != nullptr) {
        hostState.verifyPasswordFn = nullptr;
        setSaverRunning(0);
    }
}

int32_t verifyClose(HWND window)
{
    if (hostState.verifying || hostState.closing)
        return 0;
    if (hostState.verifyPasswordFn == nullptr) {
        hostState.closing = 1;
        return 1;
    }
    if (verificationTooRecent(hostState.lastVerifyTick, readTickCount()))
        return 0;
    hostState.verifying = 1;
    discardWaitingTicks(window);
    // The verifier runs its own modal dialog inside this call; the window
    // keeps animating meanwhile, and verifying keeps input from asking again.
    hostState.closing = static_cast<int32_t>(SendMessageA(window, verifyRequestMessage, 0, 0));
    hostState.verifying = 0;
    if (!hostState.closing)
        SetCursor(nullptr);
    // The quiet interval runs from the end of the verification, however long
    // the user took.
    hostState.lastVerifyTick = readTickCount();
    return hostState.closing;
}

void changePassword(HWND parent)
{
    HMODULE module = LoadLibraryA("MPR.DLL");
    if (module == nullptr)
        return;
    ChangePasswordFn changeEntry = reinterpret_cast<ChangePasswordFn>(GetProcAddress(module, "PwdChangePasswordA"));
    if (changeEntry != nullptr)
        changeEntry("SCRSAVE", parent, 0, 0);
    FreeLibrary(module);
}
