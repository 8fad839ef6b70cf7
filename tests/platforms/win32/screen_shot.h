// Reads the screen back as the user sees it and sorts its pixels into the
// scene's colours: the ships' palette entries and the squares' brushes.
// Shared by the image tests that watch the saver from outside.
#pragma once
#include <windows.h>

#include <cstdint>
#include <set>
#include <vector>

#include "render/sprite_renderer.h"

namespace screenshot {

// A rectangle of the screen, in screen coordinates (negative left of or
// above the primary monitor), as 0x00RRGGBB values, top row first.
inline std::vector<uint32_t> capture(const RECT& area)
{
    const int32_t width = area.right - area.left;
    const int32_t height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                                 static_cast<const uint32_t*>(bits) + static_cast<size_t>(width) * height);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

inline uint32_t fromColorref(uint32_t c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

// The ship colours: entries 11 ... 24 of the first pattern image's colour
// table, taken from this program's copy of the resources.
inline std::set<uint32_t> shipColours()
{
    std::set<uint32_t> out;
    HRSRC found = FindResourceA(nullptr, "SPPAT_R1", MAKEINTRESOURCEA(2));
    if (found == nullptr)
        return out;
    const uint8_t* image = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    for (int32_t index = 11; index <= 24; ++index) {
        const uint8_t* entry = image + 40 + 4 * index;
        out.insert(static_cast<uint32_t>(entry[2]) << 16 | entry[1] << 8 | entry[0]);
    }
    out.erase(0);
    return out;
}

// The squares' own colours: the brushes from 3 on that no ship shows.
inline std::set<uint32_t> squareColours(const std::set<uint32_t>& ships)
{
    std::set<uint32_t> out;
    for (int32_t b = 3; b < brushCount; ++b) {
        if (ships.count(fromColorref(brushColours[b])) == 0)
            out.insert(fromColorref(brushColours[b]));
    }
    return out;
}

} // namespace screenshot
