// Drives the built image from outside, as the desktop and a user would: start
// it with a command line, find its windows, send it real input, wait for its
// exit code. Shared by the image tests; they run in the build directory, next
// to vasken32.scr.
#pragma once
#include <windows.h>

#include <string>

namespace harness {

const DWORD stillRunning = 0xDEADBEEFu;
const char saverClass[] = "WindowsScreenSaverClass";

inline std::string buildDirectory()
{
    char path[MAX_PATH];
    GetFullPathNameA(".", MAX_PATH, path, nullptr);
    return path;
}

inline std::string imagePath() { return buildDirectory() + "\\vasken32.scr"; }

// Polls condition every few milliseconds until it holds or timeoutMs passed.
template <class Condition> bool waitUntil(Condition condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        // Keep this thread's own windows (parents, decoys) answering.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

// Lets this thread's windows run for a while: for checks that something
// does NOT happen.
inline void pumpFor(DWORD milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

// One run of the image. Ends the process, if still running, when destroyed.
class ImageProcess {
public:
    ImageProcess() = default;
    ImageProcess(const ImageProcess&) = delete;
    ImageProcess& operator=(const ImageProcess&) = delete;
    ~ImageProcess() { stop(); }

    // arguments follow the program name; environment is a Windows
    // environment block or null for this process's own.
    bool start(const std::string& arguments, const std::string& image = imagePath(),
               const char* environment = nullptr)
    {
        stop();
        std::string line = "\"" + image + "\"";
        if (!arguments.empty())
            line += " " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        return CreateProcessA(image.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                              const_cast<char*>(environment), nullptr, &startup, &info_) != 0;
    }

    DWORD id() const { return info_.dwProcessId; }

    // The exit code, or stillRunning when the process did not end in time.
    DWORD waitForExit(DWORD timeoutMs)
    {
        if (info_.hProcess == nullptr)
            return stillRunning;
        DWORD code = stillRunning;
        if (waitUntil([this] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs))
            GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

    bool running() { return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    void stop()
    {
        if (info_.hProcess == nullptr)
            return;
        if (running()) {
            TerminateProcess(info_.hProcess, 0xDEAD);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        info_ = PROCESS_INFORMATION{};
    }

private:
    PROCESS_INFORMATION info_ = {};
};

inline DWORD windowProcess(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

// The window of the given class and title that the process owns; parent
// null means a top-level window, else a child of parent.
inline HWND findWindowOf(DWORD processId, const char* className, const char* title, HWND parent = nullptr)
{
    HWND after = nullptr;
    for (;;) {
        HWND found = parent != nullptr ? FindWindowExA(parent, after, className, title)
                                       : FindWindowExA(nullptr, after, className, title);
        if (found == nullptr || windowProcess(found) == processId)
            return found;
        after = found;
    }
}

inline HWND waitForWindow(const ImageProcess& process, const char* className, const char* title,
                          HWND parent = nullptr, DWORD timeoutMs = 10000)
{
    HWND window = nullptr;
    waitUntil(
        [&] {
            window = findWindowOf(process.id(), className, title, parent);
            return window != nullptr && IsWindowVisible(window);
        },
        timeoutMs);
    return window;
}

// Ends the processes behind saver windows that an earlier, failed case left
// behind: only the owners of windows of the saver's class are touched.
inline void endLeftoverSavers()
{
    for (;;) {
        HWND window = FindWindowA(saverClass, nullptr);
        const DWORD processId = window != nullptr ? windowProcess(window) : 0;
        if (processId == 0 || processId == GetCurrentProcessId())
            return;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (process == nullptr)
            return;
        TerminateProcess(process, 0xDEAD);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

// The test displays have no window manager. Wine would otherwise wait up to
// two seconds for one to acknowledge that a full-screen window was hidden,
// which is no part of the saver's own reaction time.
inline void runWithoutWindowManager()
{
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
}

// Real input, as the keyboard and mouse would give it: it goes to the
// foreground window or the window under the cursor, wherever that lives.
inline void pressKey(WORD virtualKey)
{
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = virtualKey;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

inline void releaseKey(WORD virtualKey)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

inline void mouseButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

inline void clickButton(DWORD downFlag, DWORD upFlag)
{
    mouseButton(downFlag);
    mouseButton(upFlag);
}

// SetCursorPos moves the pointer to an exact point (relative input is
// subject to pointer acceleration) and the platform reports the move to the
// window under it.
inline void moveCursorTo(int x, int y) { SetCursorPos(x, y); }

// Puts the pointer at a point and waits until it stays there. When a window
// under the pointer goes away (a saver that just ended), the desktop process
// may still report the pointer's old place a moment later and move it back.
inline bool placeCursor(int x, int y)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        SetCursorPos(x, y);
        int steady = 0;
        for (int look = 0; look < 4; ++look) {
            pumpFor(25);
            POINT at;
            GetCursorPos(&at);
            steady = (at.x == x && at.y == y) ? steady + 1 : 0;
        }
        if (steady == 4)
            return true;
    }
    return false;
}

// Makes Wine report the Windows 95 family (platform id 1, version 4.0) to
// the image only, for the lifetime of this object.
class Win95ForImage {
public:
    Win95ForImage()
    {
        RegCreateKeyA(HKEY_CURRENT_USER, keyPath, &key_);
        RegSetValueExA(key_, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win95"), 6);
    }
    ~Win95ForImage()
    {
        RegDeleteValueA(key_, "Version");
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
    }
    Win95ForImage(const Win95ForImage&) = delete;
    Win95ForImage& operator=(const Win95ForImage&) = delete;

private:
    static constexpr const char* keyPath = "Software\\Wine\\AppDefaults\\vasken32.scr";
    HKEY key_ = nullptr;
};

inline bool saverRunningFlag()
{
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
}

inline void setSaverRunningFlag(bool running)
{
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? 1 : 0, nullptr, 0);
}

// A plain visible top-level window of this process, for parents, decoys and
// windows that take the foreground from the saver.
class TestWindow {
public:
    TestWindow(const char* className, const char* title, DWORD style, int width, int height,
               WNDPROC procedure = DefWindowProcA)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, className, title, style | WS_VISIBLE, 40, 40, width, height, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        pumpFor(50);
    }
    ~TestWindow()
    {
        if (IsWindow(window_))
            DestroyWindow(window_);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

inline std::string decimal(HWND window) { return std::to_string(reinterpret_cast<uintptr_t>(window)); }

} // namespace harness
