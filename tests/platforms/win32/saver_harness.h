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
    HANDLE handle() const { return info_.hProcess; }

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

// Starts /s and waits until its window is up and in front, then lets it
// settle (creation, activation, first paint) before input is measured
// against it. Null when no window came.
inline HWND startFullScreen(ImageProcess& saver, const std::string& image = imagePath())
{
    if (!saver.start("/s", image))
        return nullptr;
    HWND window = waitForWindow(saver, saverClass, "Screen Saver");
    if (window != nullptr)
        waitUntil([&] { return GetForegroundWindow() == window; }, 2000);
    pumpFor(100);
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

// A left click at a point of the screen. The click carries the point itself:
// a button event without one lands where the server last saw the pointer,
// which can lag behind a move that another process has not yet reported.
inline void leftClickAt(int x, int y)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input[3] = {};
    for (INPUT& event : input) {
        event.type = INPUT_MOUSE;
        event.mi.dx = (x * 65535 + (width - 1) / 2) / (width - 1);
        event.mi.dy = (y * 65535 + (height - 1) / 2) / (height - 1);
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, input, sizeof(INPUT));
}

// Moves the real pointer, as a mouse would, and waits until the platform
// reports it there. SetCursorPos will not do: while a full-screen window is
// in front, Wine's X11 driver holds the pointer grabbed for it, refuses to
// warp the pointer for any other process, and after 100 ms goes back to the
// X server's idea of where the pointer is. xdotool moves the X pointer
// itself (XTest), and Wine starts Unix programs given by their path. The X
// root window starts at the top left corner of the virtual screen, which
// lies left of or above the primary monitor where another monitor does.
inline bool moveCursorTo(int x, int y)
{
    const int rootX = x - GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int rootY = y - GetSystemMetrics(SM_YVIRTUALSCREEN);
    std::string line = "Z:\\usr\\bin\\xdotool mousemove " + std::to_string(rootX) + " " + std::to_string(rootY);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION tool = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &tool))
        return false;
    CloseHandle(tool.hThread);
    CloseHandle(tool.hProcess);
    return waitUntil(
        [&] {
            POINT at;
            GetCursorPos(&at);
            return at.x == x && at.y == y;
        },
        3000);
}

// Puts the pointer at a point and waits until it stays there.
inline bool placeCursor(int x, int y)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!moveCursorTo(x, y))
            continue;
        int steady = 0;
        for (int look = 0; look < 6; ++look) {
            pumpFor(25);
            POINT at;
            GetCursorPos(&at);
            steady = (at.x == x && at.y == y) ? steady + 1 : 0;
        }
        if (steady == 6)
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

// The platform's "a screen saver runs" flag as another process set it. Wine
// caches system parameters in each process after the first use, so a change
// made by the saver shows only where Wine keeps the value: a volatile
// registry value of the current user.
inline bool saverRunningFlag()
{
    char text[8] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop",
                     "WINE_ScreenSaverRunning", RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS)
        return text[0] == '1';
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
