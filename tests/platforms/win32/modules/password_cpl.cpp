// Test stand-in for the platform's PASSWORD.CPL: a VerifyScreenSavePwd whose
// answer the test sets and which records each call (see test_records.h).
// Built by the Windows build as test_modules/PASSWORD.CPL.
#include <windows.h>

#include "tests/platforms/win32/modules/test_records.h"

namespace {

// A real verifier runs a modal dialog: the saver window goes on receiving
// messages meanwhile, and the dialog leaves its own cursor behind.
void runLikeADialog(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        countRecord(VASKEN_VERIFIER_KEY, "Loads");
    else if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        countRecord(VASKEN_VERIFIER_KEY, "Frees");
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window)
{
    countRecord(VASKEN_VERIFIER_KEY, "Calls");
    writeRecord64(VASKEN_VERIFIER_KEY, "Window", reinterpret_cast<ULONG_PTR>(window));
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    writeRecord(VASKEN_VERIFIER_KEY, "SaverFlag", running ? 1 : 0);
    runLikeADialog(readRecord(VASKEN_VERIFIER_KEY, "HoldMs"));
    const BOOL answer = readRecord(VASKEN_VERIFIER_KEY, "Answer") ? TRUE : FALSE;
    if (readRecord(VASKEN_VERIFIER_KEY, "PostKey"))
        PostMessageA(window, WM_KEYDOWN, 'A', 0);
    POINT cursor;
    GetCursorPos(&cursor);
    writeRecord(VASKEN_VERIFIER_KEY, "CursorX", cursor.x);
    writeRecord(VASKEN_VERIFIER_KEY, "CursorY", cursor.y);
    writeRecord(VASKEN_VERIFIER_KEY, "ReturnTick", GetTickCount());
    return answer;
}
