// The Windows 95 password hooks of the built image under Wine's Windows 95
// mode: a copy of the image runs next to test stand-ins for PASSWORD.CPL and
// MPR.DLL (tests/platforms/win32/modules), which take their answers from and record
// their calls in the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/platforms/win32/modules/test_records.h"
#include "tests/platforms/win32/saver_harness.h"

using namespace harness;

namespace {

const char desktopKey[] = "Control Panel\\Desktop";
const char usePassword[] = "ScreenSaveUsePassword";
const char desktopBackupKey[] = "Software\\VaskenTest\\DesktopBackup";
const int startX = 320;
const int startY = 240;
const DWORD closeTimeoutMs = 1000;
const DWORD staysOpenMs = 400;

DWORD verifierRecord(const char* name) { return readRecord(VASKEN_VERIFIER_KEY, name); }
DWORD changerRecord(const char* name) { return readRecord(VASKEN_CHANGER_KEY, name); }

std::string changerText()
{
    char text[64] = {};
    DWORD size = sizeof text;
    RegGetValueA(HKEY_CURRENT_USER, VASKEN_CHANGER_KEY, "Text", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

void writeUsePassword(DWORD type, const void* data, DWORD size)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, desktopKey, usePassword, type, data, size);
}

void writeUsePassword(DWORD value) { writeUsePassword(REG_DWORD, &value, sizeof value); }

void removeUsePassword() { RegDeleteKeyValueA(HKEY_CURRENT_USER, desktopKey, usePassword); }

bool desktopKeyExists()
{
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, desktopKey, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Puts back "Control Panel\Desktop" from its backup, if one is there (also
// after a case that died while the key was away).
void restoreDesktopKey()
{
    HKEY backup;
    if (RegOpenKeyA(HKEY_CURRENT_USER, desktopBackupKey, &backup) != ERROR_SUCCESS)
        return;
    HKEY desktop;
    RegCreateKeyA(HKEY_CURRENT_USER, desktopKey, &desktop);
    RegCopyTreeA(backup, nullptr, desktop);
    RegCloseKey(desktop);
    RegCloseKey(backup);
    RegDeleteTreeA(HKEY_CURRENT_USER, desktopBackupKey);
}

// Takes "Control Panel\Desktop" away for the lifetime of this object.
class DesktopKeyRemoved {
public:
    DesktopKeyRemoved()
    {
        HKEY desktop;
        HKEY backup;
        RegOpenKeyA(HKEY_CURRENT_USER, desktopKey, &desktop);
        RegCreateKeyA(HKEY_CURRENT_USER, desktopBackupKey, &backup);
        RegCopyTreeA(desktop, nullptr, backup);
        RegCloseKey(backup);
        RegCloseKey(desktop);
        RegDeleteTreeA(HKEY_CURRENT_USER, desktopKey);
    }
    ~DesktopKeyRemoved() { restoreDesktopKey(); }
    DesktopKeyRemoved(const DesktopKeyRemoved&) = delete;
    DesktopKeyRemoved& operator=(const DesktopKeyRemoved&) = delete;
};

// Wine has an MPR.DLL of its own and prefers it to one in the program's
// directory; this makes the image load the stand-in first, for the lifetime
// of this object.
class NativeMprForImage {
public:
    NativeMprForImage()
    {
        RegSetKeyValueA(HKEY_CURRENT_USER, keyPath, "mpr", REG_SZ, "native,builtin", 15);
    }
    ~NativeMprForImage() { RegDeleteTreeA(HKEY_CURRENT_USER, keyPath); }
    NativeMprForImage(const NativeMprForImage&) = delete;
    NativeMprForImage& operator=(const NativeMprForImage&) = delete;

private:
    static constexpr const char* keyPath = "Software\\Wine\\AppDefaults\\vasken32.scr\\DllOverrides";
};

class PasswordHooks : public ::testing::Test {
protected:
    void SetUp() override
    {
        endLeftoverSavers();
        restoreDesktopKey();
        saveUsePassword();
        clearRecords();
        setSaverRunningFlag(false);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        directory = std::string(temp) + "vasken-hooks";
        CreateDirectoryA(directory.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(imagePath().c_str(), image().c_str(), FALSE));
        installModule("PASSWORD.CPL", "PASSWORD.CPL");
        installModule("MPR.DLL", "MPR.DLL");
        ASSERT_TRUE(placeCursor(startX, startY));
    }
    void TearDown() override
    {
        saver.stop();
        endLeftoverSavers();
        restoreUsePassword();
        clearRecords();
        setSaverRunningFlag(false);
        for (const char* name : {"vasken32.scr", "PASSWORD.CPL", "MPR.DLL"})
            DeleteFileA((directory + "\\" + name).c_str());
        RemoveDirectoryA(directory.c_str());
    }

    std::string image() const { return directory + "\\vasken32.scr"; }

    void installModule(const char* built, const char* installedAs)
    {
        const std::string from = buildDirectory() + "\\test_modules\\" + built;
        ASSERT_TRUE(CopyFileA(from.c_str(), (directory + "\\" + installedAs).c_str(), FALSE)) << from;
    }

    static void clearRecords()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, VASKEN_VERIFIER_KEY);
        RegDeleteTreeA(HKEY_CURRENT_USER, VASKEN_CHANGER_KEY);
    }

    void saveUsePassword()
    {
        savedSize = sizeof savedData;
        hadUsePassword = RegGetValueA(HKEY_CURRENT_USER, desktopKey, usePassword, RRF_RT_ANY | RRF_NOEXPAND,
                                      &savedType, savedData, &savedSize) == ERROR_SUCCESS;
    }

    void restoreUsePassword()
    {
        if (hadUsePassword)
            writeUsePassword(savedType, savedData, savedSize);
        else
            removeUsePassword();
    }

    HWND startFullScreen() { return harness::startFullScreen(saver, image()); }

    // Waits until the verifier has been called `calls` times in all and has
    // returned from the last call; the tick count of that return.
    DWORD waitForVerification(DWORD calls)
    {
        waitUntil([&] { return verifierRecord("Calls") >= calls && verifierRecord("ReturnTick") != 0; }, 3000);
        return verifierRecord("ReturnTick");
    }

    std::string directory;
    ImageProcess saver;
    bool hadUsePassword = false;
    DWORD savedType = 0;
    BYTE savedData[256] = {};
    DWORD savedSize = 0;
};

} // namespace

TEST_F(PasswordHooks, PasswordOffClosesAtOnceAndLoadsNothing)
{
    struct Case {
        const char* setting;
        std::function<void()> apply;
    };
    const BYTE eightBytes[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    const Case cases[] = {
        {"value 0", [] { writeUsePassword(0); }},
        {"value missing", [] { removeUsePassword(); }},
        {"value of 8 bytes", [&] { writeUsePassword(REG_BINARY, eightBytes, sizeof eightBytes); }},
    };
    Win95ForImage win95;
    auto runCase = [&](const char* setting) {
        clearRecords();
        ASSERT_TRUE(placeCursor(startX, startY));
        ASSERT_NE(startFullScreen(), nullptr) << setting;
        EXPECT_FALSE(saverRunningFlag()) << setting << ": the platform flag was set";
        pressKey('A');
        EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u) << setting << ": expected to close at once";
        EXPECT_EQ(verifierRecord("Loads"), 0u) << setting << ": PASSWORD.CPL was loaded";
        EXPECT_EQ(verifierRecord("Calls"), 0u) << setting;
        saver.stop();
    };
    for (const Case& c : cases) {
        c.apply();
        runCase(c.setting);
    }
    {
        DesktopKeyRemoved noKey;
        ASSERT_FALSE(desktopKeyExists());
        runCase("key missing");
    }
    EXPECT_TRUE(desktopKeyExists());
}

TEST_F(PasswordHooks, PasswordOnAsksAtTheFirstCloseAndReleasesAfterwards)
{
    Win95ForImage win95;
    writeUsePassword(1);
    writeRecord(VASKEN_VERIFIER_KEY, "Answer", 1);
    HWND window = startFullScreen();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(verifierRecord("Loads"), 1u);
    EXPECT_TRUE(saverRunningFlag()) << "the platform's screen-saver flag is set on load";
    EXPECT_EQ(verifierRecord("Calls"), 0u);

    pressKey('A');
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
    EXPECT_EQ(verifierRecord("Calls"), 1u);
    EXPECT_EQ(readRecord64(VASKEN_VERIFIER_KEY, "Window"), reinterpret_cast<ULONG_PTR>(window));
    EXPECT_EQ(verifierRecord("SaverFlag"), 1u) << "flag during the verification";
    EXPECT_EQ(verifierRecord("Frees"), 1u) << "PASSWORD.CPL is freed after the loop";
    EXPECT_FALSE(saverRunningFlag()) << "the flag is cleared on release";
}

TEST_F(PasswordHooks, RefusalKeepsTheSaverWithTheCursorHiddenAndMeasuresTravelAfresh)
{
    Win95ForImage win95;
    writeUsePassword(1);
    writeRecord(VASKEN_VERIFIER_KEY, "Answer", 0);
    writeRecord(VASKEN_VERIFIER_KEY, "HoldMs", 1500);
    ASSERT_NE(startFullScreen(), nullptr);

    pressKey('A');
    ASSERT_TRUE(waitUntil([] { return verifierRecord("Calls") == 1; }, closeTimeoutMs));
    // While the verifier's dialog is up: the pointer moves far and a key is
    // pressed; neither may start a second verification.
    ASSERT_TRUE(moveCursorTo(startX + 40, startY));
    pressKey('B');
    ASSERT_EQ(verifierRecord("ReturnTick"), 0u) << "the verifier returned before the input was given";
    const DWORD returned = waitForVerification(1);
    ASSERT_NE(returned, 0u);
    pumpFor(100);
    EXPECT_TRUE(saver.running());
    EXPECT_EQ(verifierRecord("Calls"), 1u);
    CURSORINFO cursor = {};
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    EXPECT_EQ(cursor.hCursor, nullptr) << "the verifier's cursor is still shown after the refusal";

    // Travel now counts from where the pointer was at the refusal.
    waitUntil([&] { return GetTickCount() - returned >= 300; }, 1000);
    moveCursorTo(startX + 42, startY + 2);
    EXPECT_EQ(saver.waitForExit(staysOpenMs), stillRunning);
    EXPECT_EQ(verifierRecord("Calls"), 1u) << "4 pixels from the refusal point asked again; cursor at return "
                                           << verifierRecord("CursorX") << "," << verifierRecord("CursorY");
    moveCursorTo(startX + 42, startY + 3);
    EXPECT_TRUE(waitUntil([] { return verifierRecord("Calls") == 2; }, closeTimeoutMs))
        << "5 pixels from the refusal point did not ask";
    EXPECT_TRUE(saver.running());
    EXPECT_TRUE(saverRunningFlag());
}

TEST_F(PasswordHooks, CloseWithin200MillisecondsOfARefusalIsRefusedWithoutAsking)
{
    Win95ForImage win95;
    writeUsePassword(1);
    writeRecord(VASKEN_VERIFIER_KEY, "Answer", 0);
    // The stand-in posts a key press to the saver as it returns: that close
    // request arrives at once, well within 200 ms.
    writeRecord(VASKEN_VERIFIER_KEY, "PostKey", 1);
    ASSERT_NE(startFullScreen(), nullptr);

    pressKey('A');
    const DWORD returned = waitForVerification(1);
    ASSERT_NE(returned, 0u);
    waitUntil([&] { return GetTickCount() - returned >= 400; }, 1000);
    EXPECT_EQ(verifierRecord("Calls"), 1u) << "a close right after the refusal asked again";
    EXPECT_TRUE(saver.running());

    writeRecord(VASKEN_VERIFIER_KEY, "PostKey", 0);
    writeRecord(VASKEN_VERIFIER_KEY, "Answer", 1);
    pressKey('A');
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u) << "a close 400 ms after the refusal did not ask";
    EXPECT_EQ(verifierRecord("Calls"), 2u);
}

TEST_F(PasswordHooks, VerifierWithoutItsEntryIsFreedAtOnce)
{
    // A module of the right name without VerifyScreenSavePwd: the MPR.DLL
    // stand-in, which records its own loads.
    installModule("MPR.DLL", "PASSWORD.CPL");
    Win95ForImage win95;
    writeUsePassword(1);
    ASSERT_NE(startFullScreen(), nullptr);
    EXPECT_EQ(changerRecord("Loads"), 1u);
    EXPECT_EQ(changerRecord("Frees"), 1u);
    EXPECT_FALSE(saverRunningFlag());
    pressKey('A');
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
}

TEST_F(PasswordHooks, PreviewAndNtFamilyRunsNeverLoadTheVerifier)
{
    writeUsePassword(1);
    writeRecord(VASKEN_VERIFIER_KEY, "Answer", 0);
    {
        Win95ForImage win95;
        TestWindow parent("VaskenHooksPreviewParent", "Display settings", WS_OVERLAPPEDWINDOW, 200, 150);
        ASSERT_TRUE(saver.start("/p " + decimal(parent.handle()), image()));
        ASSERT_NE(waitForWindow(saver, saverClass, "Preview", parent.handle()), nullptr);
        EXPECT_EQ(verifierRecord("Loads"), 0u) << "preview";
        EXPECT_FALSE(saverRunningFlag()) << "preview";
        DestroyWindow(parent.handle());
        EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
    }
    ASSERT_NE(startFullScreen(), nullptr);
    EXPECT_EQ(verifierRecord("Loads"), 0u) << "NT family";
    EXPECT_FALSE(saverRunningFlag()) << "NT family";
    pressKey('A');
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u) << "NT family: a close is never verified";
    EXPECT_EQ(verifierRecord("Calls"), 0u);
}

TEST_F(PasswordHooks, PasswordChangeCallsTheEntryOnceWithTheParent)
{
    Win95ForImage win95;
    NativeMprForImage nativeMpr;
    TestWindow parent("VaskenPasswordParent", "Display settings", WS_OVERLAPPEDWINDOW, 200, 150);
    ASSERT_TRUE(saver.start("/a " + decimal(parent.handle()), image()));
    EXPECT_EQ(saver.waitForExit(10000), 0u);
    EXPECT_EQ(changerRecord("Calls"), 1u);
    EXPECT_EQ(changerText(), "SCRSAVE");
    EXPECT_EQ(readRecord64(VASKEN_CHANGER_KEY, "Parent"), reinterpret_cast<ULONG_PTR>(parent.handle()));
    EXPECT_EQ(changerRecord("Arg3"), 0u);
    EXPECT_EQ(changerRecord("Arg4"), 0u);
    EXPECT_EQ(changerRecord("Frees"), 1u) << "MPR.DLL is freed after the call";

    // A handle that is no window any more: the foreground window is used.
    HWND gone;
    {
        TestWindow closed("VaskenClosedWindow", "Closed", WS_OVERLAPPEDWINDOW, 100, 100);
        gone = closed.handle();
    }
    SetForegroundWindow(parent.handle());
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == parent.handle(); }, 2000));
    clearRecords();
    ASSERT_TRUE(saver.start("/a " + decimal(gone), image()));
    EXPECT_EQ(saver.waitForExit(10000), 0u);
    EXPECT_EQ(changerRecord("Calls"), 1u);
    EXPECT_EQ(readRecord64(VASKEN_CHANGER_KEY, "Parent"), reinterpret_cast<ULONG_PTR>(parent.handle()));
}
