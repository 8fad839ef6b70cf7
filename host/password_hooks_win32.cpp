// Password hooks of the Windows 95 family: the platform's screen-saver flag
// and the password-change entry. Verification on close comes with the
// password verifier; until then every close is granted.
#include "host/host_win32.h"

void setSaverRunning(int32_t flag)
{
    if (!hostState.win95Family)
        return;
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, static_cast<UINT>(flag), &previous, 0);
}

void loadPasswordHooks() {}

void releasePasswordHooks() {}

int32_t verifyClose(HWND)
{
    if (hostState.verifying || hostState.closing)
        return 0;
    hostState.closing = 1;
    return 1;
}

void changePassword(HWND parent)
{
    typedef DWORD(WINAPI * PwdChangePasswordFn)(LPCSTR, HWND, DWORD, DWORD);
    HMODULE module = LoadLibraryA("MPR.DLL");
    if (module == nullptr)
        return;
    PwdChangePasswordFn changeEntry =
        reinterpret_cast<PwdChangePasswordFn>(GetProcAddress(module, "PwdChangePasswordA"));
    if (changeEntry != nullptr)
        changeEntry("SCRSAVE", parent, 0, 0);
    FreeLibrary(module);
}
