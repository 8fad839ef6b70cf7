// Win32 back end of the drawing calls: each maps onto one GDI or USER call.
// The scene works in its own pixels; what reaches the window's device
// context is drawn there as blocks of the pixel size, while memory device
// contexts keep one pixel per pixel.
#include "render/display.h"

#include "platforms/win32/display_win32.h"

DisplayState displayState = {nullptr, 1};

namespace {

HDC hdc(DeviceContext dc) { return static_cast<HDC>(dc); }

int32_t pixelSizeFor(DeviceContext dc)
{
    return dc != nullptr && hdc(dc) == displayState.windowDc ? displayState.pixelSize : 1;
}

// A scene coordinate in device pixels. Scene sides stay far inside 32 bits
// even at the largest pixel size; a coordinate beyond saturates, as the
// renderer's own do.
int32_t toDevice(int32_t value, int32_t pixelSize)
{
    const int64_t device = static_cast<int64_t>(value) * pixelSize;
    if (device > 0x7FFFFFFF)
        return 0x7FFFFFFF;
    if (device < -0x7FFFFFFF - 1)
        return -0x7FFFFFFF - 1;
    return static_cast<int32_t>(device);
}

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

DeviceContext getWindowDc(WindowHandle window)
{
    displayState.windowDc = GetDC(static_cast<HWND>(window));
    return displayState.windowDc;
}

void releaseWindowDc(WindowHandle window, DeviceContext dc)
{
    if (hdc(dc) == displayState.windowDc)
        displayState.windowDc = nullptr;
    ReleaseDC(static_cast<HWND>(window), hdc(dc));
}

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
    const int32_t n = pixelSizeFor(dc);
    const RECT rect = {toDevice(left, n), toDevice(top, n), toDevice(right, n), toDevice(bottom, n)};
    FillRect(hdc(dc), &rect, static_cast<HBRUSH>(brush));
}

void blackenDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height)
{
    const int32_t n = pixelSizeFor(dc);
    PatBlt(hdc(dc), toDevice(left, n), toDevice(top, n), toDevice(width, n), toDevice(height, n), BLACKNESS);
}

void presentDisplayRect(DeviceContext dc, int32_t left, int32_t top, int32_t width, int32_t height,
                        const uint8_t* bits, const BitmapInfoHeader* info)
{
    // The rows are stored bottom-up, so the source y counts from the bottom
    // edge. Enlarged by a whole number, every source pixel becomes one block
    // of its own colour in the mode every device context starts with
    // (BLACKONWHITE acts only on rows and columns that a shrink drops);
    // HALFTONE would blend the blocks, and nothing here selects it. A block
    // that sticks out past the window's edge is clipped there.
    const int32_t n = pixelSizeFor(dc);
    StretchDIBits(hdc(dc), toDevice(left, n), toDevice(top, n), toDevice(width, n), toDevice(height, n), left,
                  info->biHeight - top - height, width, height, bits, reinterpret_cast<const BITMAPINFO*>(info),
                  DIB_RGB_COLORS, SRCCOPY);
}
