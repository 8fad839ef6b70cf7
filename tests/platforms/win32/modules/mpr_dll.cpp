// Test stand-in for the platform's MPR.DLL: a PwdChangePasswordA that records
// its arguments (see test_records.h). Built by the Windows build as
// test_modules/MPR.DLL.
#include <windows.h>

#include "tests/platforms/win32/modules/test_records.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        countRecord(VASKEN_CHANGER_KEY, "Loads");
    else if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        countRecord(VASKEN_CHANGER_KEY, "Frees");
    return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR text, HWND parent, DWORD third,
                                                                 DWORD fourth)
{
    countRecord(VASKEN_CHANGER_KEY, "Calls");
    RegSetKeyValueA(HKEY_CURRENT_USER, VASKEN_CHANGER_KEY, "Text", REG_SZ, text ? text : "(null)",
                    static_cast<DWORD>(lstrlenA(text ? text : "(null)") + 1));
    writeRecord64(VASKEN_CHANGER_KEY, "Parent", reinterpret_cast<ULONG_PTR>(parent));
    writeRecord(VASKEN_CHANGER_KEY, "Arg3", third);
    writeRecord(VASKEN_CHANGER_KEY, "Arg4", fourth);
    return 0;
}
