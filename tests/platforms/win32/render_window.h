// Shared by the renderer's Wine tests: a visible top-level window that never
// paints over what the renderer put there, and pattern image files in the
// working directory (the file is found before any resource of that name).
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline void writeTestFile(const char* name, const std::vector<uint8_t>& bytes)
{
    FILE* out = std::fopen(name, "wb");
    if (out == nullptr)
        return;
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

inline void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

inline LRESULT CALLBACK renderTestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        ValidateRect(window, nullptr);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct RenderWindow {
    HWND handle;
    HDC windowDc;

    RenderWindow(int32_t width, int32_t height) : handle(nullptr), windowDc(nullptr)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = renderTestWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VaskenRenderTest";
        RegisterClassA(&windowClass);
        handle = CreateWindowExA(WS_EX_TOPMOST, "VaskenRenderTest", "render test", WS_POPUP | WS_VISIBLE, 0, 0,
                                 width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(handle);
        pumpMessages();
        // Start from a known black client area.
        HDC dc = GetDC(handle);
        PatBlt(dc, 0, 0, width, height, BLACKNESS);
        ReleaseDC(handle, dc);
    }
    ~RenderWindow()
    {
        if (windowDc != nullptr)
            ReleaseDC(handle, windowDc);
        DestroyWindow(handle);
        pumpMessages();
    }
    // A device context for reading pixels back.
    HDC dc()
    {
        if (windowDc == nullptr)
            windowDc = GetDC(handle);
        return windowDc;
    }
};

// Writes SPPAT_R0, SPPAT_R1, ... for as long as the object lives.
struct PatternFiles {
    std::vector<std::string> names;
    explicit PatternFiles(const std::vector<std::vector<uint8_t>>& files)
    {
        for (size_t i = 0; i < files.size(); ++i) {
            names.push_back("SPPAT_R" + std::to_string(i));
            writeTestFile(names.back().c_str(), files[i]);
        }
    }
    ~PatternFiles()
    {
        for (const std::string& name : names)
            DeleteFileA(name.c_str());
    }
};
