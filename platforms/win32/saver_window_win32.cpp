// The saver window: its class, the preview and full-screen forms, the message
// loop, and the two host ends of the window's message chain
// (hostWindowProc -> saverProc -> defaultSaverProc). Started by the preview
// and full-screen run modes.
#include "platforms/win32/host_win32.h"

#include "host/close_rules.h"
#include "host/full_screen_rectangle.h"
#include "platforms/win32/scene_win32.h"

namespace {

const char saverClassName[] = "WindowsScreenSaverClass";
const char fullScreenTitle[] = "Screen Saver";
const char previewTitle[] = "Preview";

enum : int32_t { saverIconId = 100 };

// The host never loads the input-method module itself: only a module that is
// already in the process can have given the window an input context.
void detachInputContext(HWND window)
{
    hostState.immModule = GetModuleHandleA("IMM32.DLL");
    if (hostState.immModule == nullptr)
        return;
    hostState.associateContextFn =
        reinterpret_cast<AssociateContextFn>(GetProcAddress(hostState.immModule, "ImmAssociateContext"));
    if (hostState.associateContextFn != nullptr)
        hostState.savedInputContext = hostState.associateContextFn(window, 0);
}

void restoreInputContext(HWND window)
{
    if (hostState.immModule != nullptr && hostState.associateContextFn != nullptr &&
        hostState.savedInputContext != 0)
        hostState.associateContextFn(window, hostState.savedInputContext);
}

// The class has no cursor; the host only ever sets "no cursor" and never
// touches the display count, so the cursor comes back with the next window
// that sets one.
void hideCursor() { SetCursor(nullptr); }

void hideCursorInFullScreen()
{
    if (!hostState.preview)
        hideCursor();
}

void saveCursorPosition() { GetCursorPos(&hostState.savedCursor); }

// Every monitor the desktop has, where the system knows several; Windows 95
// and NT 4 answer 0 for the virtual screen and get the primary screen.
ScreenRectangle readFullScreenRectangle()
{
    const ScreenMetrics metrics = {
        GetSystemMetrics(SM_XVIRTUALSCREEN),  GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
        GetSystemMetrics(SM_CXSCREEN),        GetSystemMetrics(SM_CYSCREEN),
    };
    return fullScreenRectangle(metrics);
}

// A monitor plugged in or out, or a new resolution: the window follows the
// desktop, and its new size makes the scene build itself anew.
void coverDesktop(HWND window)
{
    const ScreenRectangle desktop = readFullScreenRectangle();
    SetWindowPos(window, nullptr, desktop.x, desktop.y, desktop.width, desktop.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void onCreate(HWND window)
{
    detachInputContext(window);
    saveCursorPosition();
    hideCursorInFullScreen();
}

void onDestroy(HWND window)
{
    restoreInputContext(window);
    PostQuitMessage(0);
}

// A preview lives inside the display settings panel: its help and context
// menu are the panel's. The help's lParam points to a HELPINFO that its
// sender owns only until this window answers, so the help is sent on, not
// posted (the NT family and Wine refuse to post it at all); the wait is
// bounded so that a hung panel cannot hang the saver.
enum : UINT { helpForwardTimeoutMs = 2000 };

LRESULT forwardToParent(HWND window, UINT message, LPARAM lParam)
{
    HWND parent = GetParent(window);
    if (parent == nullptr || !IsWindow(parent))
        return 1;
    const WPARAM parentHandle = reinterpret_cast<WPARAM>(parent);
    if (message == WM_HELP) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(parent, message, parentHandle, lParam, SMTO_ABORTIFHUNG, helpForwardTimeoutMs,
                            &ignored);
    } else {
        PostMessageA(parent, message, parentHandle, lParam);
    }
    return 1;
}

// Task switching and a second screen-saver start must not get past the
// full-screen saver.
bool isSwallowedSystemCommand(WPARAM command)
{
    return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_SCREENSAVE;
}

void requestClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

// Travel is measured from the saved point, not from the last mouse message,
// so that slow creeping adds up; the message's own coordinates are not used.
void closeOnMouseTravel(HWND window)
{
    POINT position;
    GetCursorPos(&position);
    const uint32_t travel =
        mouseTravel(hostState.savedCursor.x, hostState.savedCursor.y, position.x, position.y);
    if (travel > hostState.mouseThreshold) {
        requestClose(window);
        hostState.savedCursor = position;
    }
}

LRESULT onCloseRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hostState.win95Family || verifyClose(window))
        return DefWindowProcA(window, message, wParam, lParam);
    // Refused: the saver stays, and mouse travel counts afresh from here.
    saveCursorPosition();
    return 0;
}

LRESULT answerVerifyRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hostState.win95Family)
        return DefWindowProcA(window, message, wParam, lParam);
    if (hostState.verifyPasswordFn == nullptr)
        return 1;
    return hostState.verifyPasswordFn(window);
}

} // namespace

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        onCreate(window);
        break;
    case WM_DESTROY:
        onDestroy(window);
        break;
    case WM_SETTEXT:
        return 0;
    case WM_DISPLAYCHANGE:
        if (!hostState.preview)
            coverDesktop(window);
        break;
    case WM_PAINT:
        if (hostState.closing)
            return DefWindowProcA(window, message, wParam, lParam);
        hideCursorInFullScreen();
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (hostState.preview)
            return forwardToParent(window, message, lParam);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (hostState.closing)
            return DefWindowProcA(window, message, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if (!hostState.preview && isSwallowedSystemCommand(wParam))
            return 0;
        break;
    case WM_TIMER:
        if (hostState.closing)
            return 0;
        Sleep(0);
        break;
    }
    return saverProc(window, message, wParam, lParam);
}

LRESULT defaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hostState.preview || hostState.closing)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CLOSE:
        return onCloseRequest(window, message, wParam, lParam);
    case verifyRequestMessage:
        return answerVerifyRequest(window, message, wParam, lParam);
    }
    // Input while the verifier asks must not start a second verification.
    if (hostState.verifying)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam)
            hideCursor();
        break;
    case WM_ACTIVATEAPP:
        if (!wParam)
            requestClose(window);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        requestClose(window);
        break;
    case WM_SETCURSOR:
        hideCursor();
        return 1;
    case WM_MOUSEMOVE:
        closeOnMouseTravel(window);
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
    windowClass.hIcon = LoadIconA(hostState.instance, MAKEINTRESOURCEA(saverIconId));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = saverClassName;

    ScreenRectangle area = {0, 0, 0, 0};
    DWORD exStyle;
    DWORD style;
    const char* title;
    if (parent != nullptr) {
        RECT client;
        GetClientRect(parent, &client);
        area.width = client.right;
        area.height = client.bottom;
        hostState.preview = 1;
        exStyle = 0;
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = previewTitle;
    } else {
        area = readFullScreenRectangle();
        HWND running = FindWindowA(saverClassName, fullScreenTitle);
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        loadPasswordHooks();
        exStyle = WS_EX_TOPMOST;
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        title = fullScreenTitle;
    }

    MSG message;
    ZeroMemory(&message, sizeof message);
    if (RegisterClassA(&windowClass) != 0)
        hostState.saverWindow = CreateWindowExA(exStyle, saverClassName, title, style, area.x, area.y, area.width,
                                                area.height, parent, nullptr, hostState.instance, nullptr);
    if (hostState.saverWindow != nullptr) {
        if (parent == nullptr)
            SetForegroundWindow(hostState.saverWindow);
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    // Normally the window's destruction is what ended the loop, and the call
    // finds nothing left to destroy.
    if (!hostState.win95Family && hostState.saverWindow != nullptr)
        DestroyWindow(hostState.saverWindow);
    releasePasswordHooks();
    return static_cast<int32_t>(message.wParam);
}
