// The animation scene's window procedure, the middle link of the saver
// window's message chain (host window procedure -> saverProc ->
// defaultSaverProc).
#pragma once
#include <windows.h>

LRESULT CALLBACK saverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
