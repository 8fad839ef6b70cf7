// Where the stand-ins for the platform's password modules take their orders
// and leave their records: values under HKEY_CURRENT_USER of the test prefix,
// shared by the modules (loaded into the saver) and the tests that read them.
#pragma once
#include <windows.h>

#define VASKEN_VERIFIER_KEY "Software\\VaskenTest\\PasswordCpl"
#define VASKEN_CHANGER_KEY "Software\\VaskenTest\\Mpr"

// Verifier (PASSWORD.CPL) orders, set by the test:
//   Answer       DWORD  what VerifyScreenSavePwd returns
//   HoldMs       DWORD  how long it runs a message loop first, as its dialog would
//   PostKey      DWORD  non-zero: post a key press to the saver window on return
// Verifier records:
//   Loads, Frees DWORD  process attaches and FreeLibrary detaches
//   Calls        DWORD  calls of VerifyScreenSavePwd
//   Window       QWORD  the window handle it was given
//   SaverFlag    DWORD  SPI_GETSCREENSAVERRUNNING during the call
//   ReturnTick   DWORD  GetTickCount when it returned
//   CursorX, CursorY DWORD  the cursor position when it returned
// Password changer (MPR.DLL) records:
//   Loads, Frees, Calls DWORD; Text SZ; Parent QWORD; Arg3, Arg4 DWORD

inline DWORD readRecord(const char* keyPath, const char* name, DWORD fallback = 0)
{
    DWORD value = fallback;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, keyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return fallback;
    return value;
}

inline ULONGLONG readRecord64(const char* keyPath, const char* name)
{
    ULONGLONG value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, keyPath, name, RRF_RT_REG_QWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

inline void writeRecord(const char* keyPath, const char* name, DWORD value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, keyPath, name, REG_DWORD, &value, sizeof value);
}

inline void writeRecord64(const char* keyPath, const char* name, ULONGLONG value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, keyPath, name, REG_QWORD, &value, sizeof value);
}

inline void countRecord(const char* keyPath, const char* name)
{
    writeRecord(keyPath, name, readRecord(keyPath, name) + 1);
}
