// Win32 back end of the drawing calls: each maps onto one GDI or USER call.
#include "render/display.h"

#include <windows.h>

namespace {

HDC hdc(DeviceContext dc) { return static_cast<HDC>(dc); }

} // namespace

void readSystemColours(PaletteEntry* entries)
{
    static_assert(sizeof(PaletteEntry) == sizeof(PALETTEENTRY), "PaletteEntry must match PALETTEENTRY");
    const HDC screen = GetDC(nullptr);
    PALETTEENTRY* platform = reinterpret_cast<PALETTEENTRY*>(entries);
    GetSystemPaletteEntries(screen, 0, 10, platform);
    GetSystemPaletteEntries(screen, 246, 10, platform + 246);
    ReleaseDC(nullptr, screen);
}

PaletteHandle createDisplayPalette(const PaletteEntry* entries)
{
    // LOGPALETTE declares one entry; the other 255 follow it.
    struct {
        WORD palVersion;
        WORD palNumEntries;
        PALETTEENTRY palPalEntry[256];
    } logical;
    logical.palVersion = 0x300;
    logical.palNumEntries = 256;
    __builtin_memcpy(logical.palPalEntry, entries, sizeof logical.palPalEntry);
    return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&logical));
}

PaletteHandle selectDisplayPalette(DeviceContext dc, PaletteHandle palette)
{
    return SelectPalette(hdc(dc), static_cast<HPALETTE>(palette), FALSE);
}

void realizeDisplayPalette(DeviceContext dc) { RealizePalette(hdc(dc)); }

DeviceContext getWindowDc(WindowHandle window) { return GetDC(static_cast<HWND>(window)); }

void releaseWindowDc(WindowHandle window, DeviceContext dc) { ReleaseDC(static_cast<HWND>(window), hdc(dc)); }

DeviceContext createMemoryDc(DeviceContext compatible) { return CreateCompatibleDC(hdc(compatible)); }

void deleteMemoryDc(DeviceContext dc)
{
    if (dc != nullptr)
        DeleteDC(hdc(dc));
}

BitmapHandle createDibSectionBitmap(DeviceContext dc, const BitmapInfoHeader* info, uint8_t** bits)
{
    void* pixels = nullptr;
    const HBITMAP bitmap = CreateDIBSection(hdc(dc), reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS,
                                            &pixels, nullptr, 0);
    *bits = bitmap != nullptr ? static_cast<uint8_t*>(pixels) : nullptr;
    return bitmap;
}

BitmapHandle selectDisplayBitmap(DeviceContext dc, BitmapHandle bitmap)
{
    return SelectObject(hdc(dc), static_cast<HGDIOBJ>(bitmap));
}

BrushHandle createSolidBrush(uint32_t colour) { return CreateSolidBrush(colour); }

void deleteDisplayObject(void* object)
{
    if (object != nullptr)
        DeleteObject(static_cast<HGDIOBJ>(object));
}

void fillDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t right, int32_t bottom, BrushHandle brush)
{
    const RECT rect = {left, top, right, bottom};
    FillRect(hdc(dc), &rect, static_cast<HBRUSH>(brush));
}

void blackenDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height)
{
    PatBlt(hdc(dc), left, top, width, height, BLACKNESS);
}

void presentDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height,
                        const uint8_t* bits, const BitmapInfoHeader* info)
{
    // The rows are stored bottom-up, so the source y counts from the bottom edge.
    StretchDIBits(hdc(dc), left, top, width, height, left, info->biHeight - top - height, width, height, bits,
                  reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS, SRCCOPY);
}
