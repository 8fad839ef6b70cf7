// The saver window: class, the preview and full-screen forms, and the message
// loop. Until the animated scene is in place the window shows the class's
// black background and ends on input like the finished saver will.
#include "host/host_win32.h"

#include "scene/scene_win32.h"

namespace {

const char saverClassName[] = "WindowsScreenSaverClass";

} // namespace

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return saverProc(window, message, wParam, lParam);
}

LRESULT defaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!hostState.preview)
            PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int32_t runSaverWindow(HWND parent)
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = hostState.instance;
    windowClass.hIcon = LoadIconA(hostState.instance, MAKEINTRESOURCEA(100));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = saverClassName;

    int width;
    int height;
    DWORD exStyle;
    DWORD style;
    const char* title;
    if (parent != nullptr) {
        RECT client;
        GetClientRect(parent, &client);
        width = client.right;
        height = client.bottom;
        hostState.preview = 1;
        exStyle = 0;
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = "Preview";
    } else {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
        HWND running = FindWindowA(saverClassName, "Screen Saver");
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        loadPasswordHooks();
        exStyle = WS_EX_TOPMOST;
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        title = "Screen Saver";
    }

    MSG message;
    ZeroMemory(&message, sizeof message);
    if (RegisterClassA(&windowClass) != 0)
        hostState.saverWindow = CreateWindowExA(exStyle, saverClassName, title, style, 0, 0, width, height,
                                                parent, nullptr, hostState.instance, nullptr);
    if (hostState.saverWindow != nullptr) {
        if (parent == nullptr)
            SetForegroundWindow(hostState.saverWindow);
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (!hostState.win95Family && hostState.saverWindow != nullptr)
        DestroyWindow(hostState.saverWindow);
    releasePasswordHooks();
    return static_cast<int32_t>(message.wParam);
}
