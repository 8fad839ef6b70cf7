// The saver host's Win32 shell: process-wide host state and the run modes.
// Only shell files include this header.
#pragma once
#include <windows.h>

#include <cstdint>

#include "host/command_line.h"

typedef BOOL(WINAPI* VerifyPasswordFn)(HWND window);
typedef DWORD_PTR(WINAPI* AssociateContextFn)(HWND window, DWORD_PTR inputContext);

// How DPI aware the process became before its first window. An unaware
// process gets a window that Windows 8.1 and later stretch to the display's
// scale, and a screen that reports 96 DPI.
enum : int32_t {
    dpiUnaware = 0,           // Windows 95 ... XP, or every call refused
    dpiSystemAware = 1,       // SetProcessDPIAware (Vista)
    dpiPerMonitorAware = 2,   // SetProcessDpiAwareness (8.1), or context V1
    dpiPerMonitorAwareV2 = 3, // SetProcessDpiAwarenessContext V2 (10 1703)
};

struct DpiAwareness {
    int32_t level;     // one of the dpi values above
    int32_t logPixels; // the screen's LOGPIXELSX once aware, else 96
};

// The platform's ways to become DPI aware, newest first; null where the
// platform has none.
typedef BOOL(WINAPI* SetDpiAwarenessContextFn)(HANDLE context);
typedef HRESULT(WINAPI* SetDpiAwarenessFn)(int32_t awareness);
typedef BOOL(WINAPI* SetDpiAwareFn)();
struct DpiAwarenessCalls {
    SetDpiAwarenessContextFn setProcessDpiAwarenessContext; // USER32
    SetDpiAwarenessFn setProcessDpiAwareness;               // SHCORE.DLL
    SetDpiAwareFn setProcessDPIAware;                       // USER32
};

struct HostState {
    HINSTANCE instance;
    HWND saverWindow;
    int32_t preview;
    int32_t closing;
    int32_t verifying;
    HMODULE passwordModule;
    VerifyPasswordFn verifyPasswordFn;
    HMODULE immModule;
    AssociateContextFn associateContextFn;
    DWORD_PTR savedInputContext;
    int32_t win95Family;
    uint32_t mouseThreshold;
    uint32_t lastVerifyTick;
    POINT savedCursor;
    DpiAwareness dpi;
};

extern HostState hostState;

// Process entry (freestanding image only): never returns.
extern "C" void WINAPI hostEntry();

// Runs the mode that the command tail names and returns the process result.
int32_t saverMain(HINSTANCE instance, const char* tail);

// Whether the platform is of the Windows 95 family (platform id 1).
int32_t detectWin95Family();

// Asks through each of the calls in turn, the most capable first, until one
// grants; answers the level obtained.
int32_t obtainDpiAwareness(const DpiAwarenessCalls& calls);

// Full-screen and preview runs, before any window: finds the calls by name,
// records in hostState.dpi what they obtained and the screen's DPI, and
// sets the mouse threshold for it.
void becomeDpiAware();

int32_t runConfigure(HWND owner);
int32_t runPreview(const char* text);
int32_t runChangePassword(const char* text);
BOOL dialogClassHook(HINSTANCE instance);

// Saver window (preview with a parent, full screen without).
int32_t runSaverWindow(HWND parent);

// The two host ends of the saver window's message chain: the class's window
// procedure, and the default handling behind the scene's procedure.
LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT defaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Password hooks of the Windows 95 family. The verifier's request travels
// the saver window's whole message chain as this message.
enum : UINT { verifyRequestMessage = WM_APP };
void loadPasswordHooks();
void releasePasswordHooks();
void setSaverRunning(int32_t flag);
int32_t verifyClose(HWND window);
void changePassword(HWND parent);

// Runs body(context) under a structured-exception guard. A fault that escapes
// it is offered to UnhandledExceptionFilter; when the filter answers
// EXCEPTION_EXECUTE_HANDLER, onFault runs, the guard returns faultResult and
// the process goes on from the caller. Any other answer leaves the exception
// to the platform.
int32_t runGuarded(int32_t (*body)(void* context), void* context, void (*onFault)(), int32_t faultResult);

// The configuration dialog's procedure (dialog resource 2003).
INT_PTR CALLBACK configDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
