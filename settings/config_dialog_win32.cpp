// The configuration dialog's procedure: OK saves, any other way out discards.
#include "host/host_win32.h"
#include "settings/settings.h"

INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        loadSettings();
        return 0;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            saveSettings();
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 1);
        return 1;
    }
    return 0;
}
