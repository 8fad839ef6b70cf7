// X11 back end of the window for the memory drawing model. The 8-bit
// composite stays in memory; each fill or present of the window converts
// exactly its rectangle, through the colour table of the selected palette
// (platforms/truecolor/pixel_format_truecolor.h), into a piece of the
// window's image (platforms/x11/shm_image_x11.cpp) and puts that piece. The
// --fps overlay is a piece of its own, put after the batch's puts when its
// text changed or a put covered it.
#include "platforms/x11/display_x11.h"

#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/pixel_scale.h"
#include "platforms/fps/fps_count.h"
#include "platforms/fps/fps_overlay.h"
#include "platforms/memory/display_memory.h"
#include "platforms/truecolor/pixel_format_truecolor.h"
#include "platforms/x11/shm_image_x11.h"

namespace {

struct X11Window {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    int32_t width; // of the window, in device pixels
    int32_t height;
    int32_t pixelSize;     // each logical pixel is a block of pixelSize x pixelSize
    int32_t logicalWidth;  // width / pixelSize, rounded up
    int32_t logicalHeight;
    int32_t blocks;     // the blocks the client writes: pixelSize, or 1 where the server scales
    PixelFormat format; // the image's
    ColourTable table;  // the selected palette as the image's pixels
    uint8_t* fillRow;   // a logical row of the window for fills
    OverlayPanel overlay;
    OverlayBox overlayBox; // in the pieces' pixels
    bool overlayHidden;    // a put of this batch covered it, or it is new
};

X11Window x11;

void destroyImage()
{
    std::free(x11.fillRow);
    x11.fillRow = nullptr;
    destroyShmImage();
}

// TrueColor with three separate contiguous masks within a depth of 15 to
// 32 bits: what the colour table can serve.
bool usableVisual(const XVisualInfo& info)
{
    const unsigned long masks[3] = {info.red_mask, info.green_mask, info.blue_mask};
    for (unsigned long mask : masks)
        if (mask > 0xFFFFFFFFu)
            return false;
    return info.c_class == TrueColor && info.depth >= 15 && info.depth <= 32 &&
           usableMasks(static_cast<uint32_t>(info.red_mask), static_cast<uint32_t>(info.green_mask),
                       static_cast<uint32_t>(info.blue_mask));
}

// The format of the window's image, made for its visual (whose masks
// usableVisual passed).
PixelFormat imageFormat(const XImage* image)
{
    return pixelFormatOf(static_cast<uint32_t>(x11.visual->red_mask), static_cast<uint32_t>(x11.visual->green_mask),
                         static_cast<uint32_t>(x11.visual->blue_mask), x11.depth, image->bits_per_pixel,
                         image->byte_order == MSBFirst);
}

// The overlay's place in the pieces' pixels: the window's where the client
// writes blocks, the scene's where the server scales them.
void placeOverlay()
{
    const bool devicePixels = x11.blocks > 1;
    x11.overlayBox = overlayBox(x11.overlay, devicePixels ? x11.width : x11.logicalWidth,
                                devicePixels ? x11.height : x11.logicalHeight, x11.blocks);
    x11.overlayHidden = true;
}

// An image for a window of width x height device pixels, drawn into in
// blocks of pixelSize; the colour table is built anew before the first
// conversion.
bool createImage(int32_t width, int32_t height, int32_t pixelSize, const char** error)
{
    x11.width = width > 0 ? width : 1;
    x11.height = height > 0 ? height : 1;
    x11.pixelSize = pixelSize >= 1 && pixelSize <= maxPixelSize ? pixelSize : 1;
    x11.logicalWidth = (x11.width + x11.pixelSize - 1) / x11.pixelSize;
    x11.logicalHeight = (x11.height + x11.pixelSize - 1) / x11.pixelSize;
    x11.table.valid = false;
    x11.fillRow = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(x11.logicalWidth)));
    const bool imaged = x11.fillRow != nullptr && createShmImage(x11.width, x11.height);
    // The server's scaling costs less than writing the blocks here, which
    // is what a server without RENDER leaves.
    x11.blocks = imaged && scaleOnServer(x11.pixelSize, x11.logicalWidth, x11.logicalHeight) ? 1 : x11.pixelSize;
    if (!imaged) {
        destroyImage();
        *error = "not enough memory for the window's image";
        return false;
    }
    x11.format = imageFormat(shmImage());
    placeOverlay();
    return true;
}

// The part of the window that a span of logical pixels covers in the
// pieces: in blocks of x11.blocks, the last block cut at the window's edge.
// (With blocks of 1 the span already lies inside the scene, and the scene
// inside the window.)
int32_t pieceSpan(int32_t start, int32_t length, int32_t windowLength)
{
    return std::min(length * x11.blocks, windowLength - start * x11.blocks);
}

// Converts a band of a rectangle (logical pixels) from its rows into a
// piece of the image, in blocks where the client writes them, and puts it.
void writePiece(int32_t left, int32_t top, int32_t width, int32_t height, int32_t bytesPerLine,
                const uint32_t* colours, IndexRows rows)
{
    const int32_t n = x11.blocks;
    const int32_t pieceWidth = pieceSpan(left, width, x11.width);
    const int32_t pieceHeight = pieceSpan(top, height, x11.height);
    const Piece piece = startPiece(left * n, top * n, pieceWidth, pieceHeight, bytesPerLine);
    x11.overlayHidden |= boxesMeet(x11.overlayBox, OverlayBox{piece.left, piece.top, piece.width, piece.height});
    writeBlocks(x11.format, colours, rows, n, pieceRows(piece), piece.bytesPerLine, pieceWidth, pieceHeight);
    putPiece(piece);
}

// Converts the rectangle (logical pixels, already clipped to the window)
// from the rows of its top on and puts it, in bands of as many rows as the
// image holds.
void writeRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint32_t* colours, IndexRows rows)
{
    const int32_t bytesPerLine = pieceBytesPerLine(pieceSpan(left, width, x11.width));
    const int32_t bandRows = std::max(1, imageRowsOf(bytesPerLine) / x11.blocks);
    for (int32_t bandTop = top; bandTop < top + height; bandTop += bandRows) {
        const int32_t bandHeight = top + height - bandTop < bandRows ? top + height - bandTop : bandRows;
        writePiece(left, bandTop, width, bandHeight, bytesPerLine, colours,
                   IndexRows{rows.first + rows.step * (bandTop - top), rows.step});
    }
}

} // namespace

double readDesktopScale(Display* display)
{
    const char* resources = XResourceManagerString(display);
    if (resources == nullptr)
        return 1.0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (database == nullptr)
        return 1.0;
    double scale = 1.0;
    char* type = nullptr;
    XrmValue value = {0, nullptr};
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        char* end = nullptr;
        const double dpi = std::strtod(value.addr, &end);
        if (end != value.addr && dpi > 0)
            scale = dpi / 96.0;
    }
    XrmDestroyDatabase(database);
    return scale;
}

bool openX11Window(Display* display, Window window, int32_t width, int32_t height, int32_t pixelSize,
                   const char** error)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        *error = "the window to draw into does not exist";
        return false;
    }
    if (attributes.c_class == InputOnly) {
        *error = "the window to draw into is an input-only window";
        return false;
    }
    XVisualInfo wanted;
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int found = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &found);
    const bool usable = info != nullptr && found > 0 && usableVisual(*info);
    if (info != nullptr)
        XFree(info);
    if (!usable) {
        *error = "the display is not TrueColor of 15 to 32 bits, which vasken needs";
        return false;
    }
    x11.display = display;
    x11.window = window;
    x11.visual = attributes.visual;
    x11.depth = attributes.depth;
    openShmImage(display, window, x11.visual, x11.depth);
    if (!createImage(width, height, pixelSize, error)) {
        closeX11Window();
        return false;
    }
    const int bitsPerPixel = x11.format.bitsPerPixel;
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
        closeX11Window();
        *error = "the display's images are not of 16, 24 or 32 bits per pixel, which vasken needs";
        return false;
    }
    return true;
}

bool resizeX11Window(int32_t width, int32_t height, int32_t pixelSize, const char** error)
{
    destroyImage();
    return createImage(width, height, pixelSize, error);
}

void closeX11Window()
{
    if (x11.display == nullptr)
        return;
    destroyImage();
    closeShmImage();
    x11 = X11Window{};
}

void endX11Batch()
{
    if (shmImage() == nullptr)
        return;
    if (setOverlayText(x11.overlay, fpsText()))
        placeOverlay();
    if (x11.overlayHidden && x11.overlayBox.width > 0) {
        const OverlayBox& box = x11.overlayBox;
        const int32_t bytesPerLine = pieceBytesPerLine(box.width);
        const Piece piece = startPiece(box.left, box.top, box.width, box.height, bytesPerLine);
        drawOverlay(x11.overlay, box, x11.blocks, x11.format, pieceRows(piece), bytesPerLine);
        putPiece(piece);
    }
    x11.overlayHidden = false;
    if (!piecePending())
        return;
    endPieceBatch();
    XFlush(x11.display);
}

bool noteX11Event(const XEvent& event) { return noteShmEvent(event); }

void fillX11Index(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette)
{
    int32_t width = right - left;
    int32_t height = bottom - top;
    if (shmImage() == nullptr || !clipToTarget(left, top, width, height, x11.logicalWidth, x11.logicalHeight))
        return;
    const uint32_t* colours = colourTableOf(x11.table, x11.format, palette);
    // A fill is one row of its index for every row.
    std::memset(x11.fillRow, index, static_cast<size_t>(width));
    writeRect(left, top, width, height, colours, IndexRows{x11.fillRow, 0});
}

void presentX11Rect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (shmImage() == nullptr || bits == nullptr)
        return;
    if (!clipPresentRect(left, top, width, height, info, x11.logicalWidth, x11.logicalHeight))
        return;
    const uint32_t* colours = colourTableOf(x11.table, x11.format, palette);
    // The image is bottom-up: the rectangle's top row lies last.
    const ptrdiff_t stride = static_cast<ptrdiff_t>(dibStride(8, info->biWidth));
    const uint8_t* topRow = bits + stride * (info->biHeight - 1 - top) + left;
    writeRect(left, top, width, height, colours, IndexRows{topRow, -stride});
}
