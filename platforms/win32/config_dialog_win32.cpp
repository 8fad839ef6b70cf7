// The configuration dialog's procedure (dialog resource 2003): it works on
// the process-wide settings directly, OK saves them, Esc and the close box
// discard them. Run by the configuration mode of the host.
#include "platforms/win32/host_win32.h"
#include "settings/scroll_rules.h"
#include "settings/settings.h"
#include "support/decimal.h"

namespace {

enum : int {
    soundOnBox = 103,
    soundOffBox = 104,
    aniIntervalBar = 110,
    aniIntervalLabel = 111,
    refreshBar = 116,
    refreshLabel = 117,
};

enum : int32_t { endCode = 1 };

void showDecimal(HWND dialog, int label, int32_t value)
{
    char text[12];
    SetDlgItemTextA(dialog, label, formatDecimal(value, text));
}

void setUpBar(HWND dialog, int barId, int32_t lowest, int32_t highest, int32_t value, int labelId)
{
    HWND bar = GetDlgItem(dialog, barId);
    SetScrollRange(bar, SB_CTL, lowest, highest, TRUE);
    SetScrollPos(bar, SB_CTL, value, TRUE);
    showDecimal(dialog, labelId, value);
}

void openDialog(HWND dialog)
{
    loadSettings();
    // The stored value itself is the check state; only a click on one of the
    // boxes makes it exactly 1 or 0.
    CheckDlgButton(dialog, soundOnBox, static_cast<UINT>(settings.soundOn));
    CheckDlgButton(dialog, soundOffBox, settings.soundOn == 0 ? BST_CHECKED : BST_UNCHECKED);
    setUpBar(dialog, aniIntervalBar, minAniInterval, maxAniInterval, settings.aniInterval, aniIntervalLabel);
    setUpBar(dialog, refreshBar, minRefreshMinutes, maxRefreshMinutes, settings.refreshMinutes, refreshLabel);
}

// The two plain check boxes behave as a radio pair.
void chooseSound(HWND dialog, int32_t on)
{
    settings.soundOn = on;
    CheckDlgButton(dialog, soundOnBox, on ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, soundOffBox, on ? BST_UNCHECKED : BST_CHECKED);
}

INT_PTR onCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        saveSettings();
        EndDialog(dialog, endCode);
        return 1;
    case IDCANCEL:
        EndDialog(dialog, endCode);
        return 1;
    case soundOnBox:
        chooseSound(dialog, 1);
        return 0;
    case soundOffBox:
        chooseSound(dialog, 0);
        return 0;
    }
    return 1;
}

void onScroll(HWND dialog, WPARAM wParam, HWND bar)
{
    const uint32_t request = LOWORD(wParam);
    const uint32_t thumb = HIWORD(wParam);
    // GetDlgCtrlID rather than the word-sized GWW_ID query: Wine answers that
    // one with 0 in 32-bit and 64-bit programs alike.
    switch (GetDlgCtrlID(bar)) {
    case aniIntervalBar:
        settings.aniInterval =
            applyScrollRequest(settings.aniInterval, request, thumb, minAniInterval, maxAniInterval);
        SetScrollPos(bar, SB_CTL, settings.aniInterval, TRUE);
        SetDlgItemInt(dialog, aniIntervalLabel, static_cast<UINT>(settings.aniInterval), FALSE);
        break;
    case refreshBar:
        settings.refreshMinutes =
            applyScrollRequest(settings.refreshMinutes, request, thumb, minRefreshMinutes, maxRefreshMinutes);
        SetScrollPos(bar, SB_CTL, settings.refreshMinutes, TRUE);
        showDecimal(dialog, refreshLabel, settings.refreshMinutes);
        break;
    }
}

} // namespace

INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        EndDialog(dialog, endCode);
        return 1;
    case WM_INITDIALOG:
        openDialog(dialog);
        return 0;
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam));
    case WM_HSCROLL:
        onScroll(dialog, wParam, reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return 0;
}
