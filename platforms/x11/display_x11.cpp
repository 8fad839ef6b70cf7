// X11 back end of the window for the memory drawing model. The 8-bit
// composite stays in memory; each fill or present of the window converts
// exactly its rectangle into a piece of a client-side image and puts that
// piece, with XShmPutImage where the server offers MIT-SHM and XPutImage
// otherwise. The pieces of a batch lie one after the other from the start of
// the image, so a frame touches a few hundred contiguous kilobytes rather
// than rows spread over a window-sized image: between frames the program
// sleeps, and memory spread that wide comes back from far away every frame.
#include "platforms/x11/display_x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platforms/memory/display_memory.h"

namespace {

// A rectangle of the window and where its pixels lie in the image: rows of
// bytesPerLine from offset on.
struct Piece {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int32_t bytesPerLine;
    size_t offset;
};

struct X11Window {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc;
    XImage* image;              // the memory for the pieces (imageRows())
    XShmSegmentInfo segment;
    bool shared;
    bool shmOffered;
    bool attachFailed;          // the server refused the segment
    int32_t width;
    int32_t height;
    uint8_t* fillRow;           // a row of the image's width for fills
    size_t used;                // bytes of the image the batch's pieces take
    bool batchOpen;             // pieces were written since the last batch ended
    uint32_t colours[256];      // pixel values in the image's byte order
    uint32_t opaque;            // the alpha bits of a visual that has them
    PaletteHandle tablePalette; // the palette colours[] was built from
    bool tableValid;
    int completionType;         // the event type of MIT-SHM's completion
    bool pending;               // a put held back to end the batch
    Piece pendingPiece;
    bool awaitingCompletion;    // the server may still read the image
    // The --fps text, drawn over the corner after each batch of puts.
    char overlay[64];
    bool overlayChanged;
    XFontStruct* font;
    GC textGc;
};

X11Window x11;

int noteAttachFailure(Display*, XErrorEvent*)
{
    x11.attachFailed = true;
    return 0;
}

// The lowest bit and the width of a mask; false unless its bits are one
// contiguous run.
bool maskShape(unsigned long mask, int& shift, int& bits)
{
    shift = 0;
    bits = 0;
    if (mask == 0 || mask > 0xFFFFFFFFu)
        return false;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0)
        ++bits;
    return (mask >> (shift + bits)) == 0;
}

// A colour channel of 8 bits placed into a visual's (contiguous) mask.
uint32_t placeChannel(uint32_t value, unsigned long mask)
{
    int shift = 0, bits = 0;
    if (!maskShape(mask, shift, bits))
        return 0;
    // Wider channels repeat the high bits, so that 255 is all ones.
    uint32_t scaled = 0;
    for (int filled = 0; filled < bits; filled += 8)
        scaled = bits - filled >= 8 ? (scaled << 8) | value : (scaled << (bits - filled)) | (value >> (8 - (bits - filled)));
    return (scaled << shift) & static_cast<uint32_t>(mask);
}

// TrueColor with three separate contiguous masks within a depth of 15 to
// 32 bits: what the colour table can serve.
bool usableVisual(const XVisualInfo& info)
{
    int shift = 0, bits = 0;
    const unsigned long masks[3] = {info.red_mask, info.green_mask, info.blue_mask};
    for (unsigned long mask : masks)
        if (!maskShape(mask, shift, bits))
            return false;
    return info.c_class == TrueColor && info.depth >= 15 && info.depth <= 32 &&
           (info.red_mask & info.green_mask) == 0 && (info.red_mask & info.blue_mask) == 0 &&
           (info.green_mask & info.blue_mask) == 0;
}

bool hostIsLittleEndian()
{
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// Writes the pixels of count indices to out, through the table.
template <typename Pixel>
void convertPixels(Pixel* out, const uint8_t* in, int32_t count, const uint32_t* colours)
{
#pragma GCC unroll 8
    for (int32_t i = 0; i < count; ++i)
        out[i] = static_cast<Pixel>(colours[in[i]]);
}

// 24 bits packed (rare): the first three bytes of each entry, in order.
void convertPackedPixels(uint8_t* out, const uint8_t* in, int32_t count, const uint32_t* colours)
{
    for (int32_t i = 0; i < count; ++i)
        std::memcpy(out + 3 * i, &colours[in[i]], 3);
}

// A piece's rows are padded as the server pads the image's own, so that a
// piece put from shared memory is read with the layout it was written in.
int32_t pieceBytesPerLine(int32_t width)
{
    const int64_t pad = x11.image->bitmap_pad > 0 ? x11.image->bitmap_pad : 32;
    const int64_t bits = static_cast<int64_t>(width) * x11.image->bits_per_pixel;
    return static_cast<int32_t>((bits + pad - 1) / pad * pad / 8);
}

void sendPut(const Piece& piece, bool askCompletion)
{
    // The image's description with the piece's size and place: Xlib reads
    // the rows from there, and MIT-SHM passes the offset into the segment.
    XImage part = *x11.image;
    part.width = piece.width;
    part.height = piece.height;
    part.bytes_per_line = piece.bytesPerLine;
    part.data = x11.image->data + piece.offset;
    if (x11.shared)
        XShmPutImage(x11.display, x11.window, x11.gc, &part, 0, 0, piece.left, piece.top, piece.width, piece.height,
                     askCompletion ? True : False);
    else
        XPutImage(x11.display, x11.window, x11.gc, &part, 0, 0, piece.left, piece.top, piece.width, piece.height);
}

// Each put goes out when the next one comes; the last of a batch waits for
// endX11Batch, which asks the server to report when it has done it.
void putPiece(const Piece& piece)
{
    if (x11.pending)
        sendPut(x11.pendingPiece, false);
    x11.pendingPiece = piece;
    x11.pending = true;
}

// With shared memory the server reads the image when it carries out a put,
// which may be after the call returned: the image is not written again
// before the server has reported the last put of the previous batch done
// (in order, so all the puts before it are done as well). Usually the report
// came in long ago with the other events; otherwise one round trip makes
// sure, which also ends the wait when a put failed on a window that is gone
// and so reports nothing.
Bool isCompletion(Display*, XEvent* event, XPointer) { return event->type == x11.completionType; }

void awaitCompletion()
{
    if (!x11.awaitingCompletion)
        return;
    XEvent event;
    if (!XCheckIfEvent(x11.display, &event, isCompletion, nullptr)) {
        XSync(x11.display, False);
        while (XCheckIfEvent(x11.display, &event, isCompletion, nullptr)) {
        }
    }
    x11.awaitingCompletion = false;
}

// Sends the held-back put, asking for its report where the server reads
// shared memory.
void sendPending()
{
    if (!x11.pending)
        return;
    sendPut(x11.pendingPiece, x11.shared);
    x11.pending = false;
    x11.awaitingCompletion = x11.shared;
}

// The image has the window's width and the rows of 2^19 pixels (2 MB at 32
// bits per pixel), or the window's rows if it has fewer: the ships do not
// grow with the window, and a frame's pieces take up to about 300,000
// pixels at any size. A present of a larger window goes in bands.
int32_t imageRows()
{
    const int64_t rows = (int64_t(1) << 19) / x11.width + 1;
    return static_cast<int32_t>(rows < x11.height ? rows : x11.height);
}

size_t imageBytes() { return static_cast<size_t>(x11.image->bytes_per_line) * static_cast<size_t>(x11.image->height); }

// Room in the image for the rows of a piece of the window. A batch starts at
// the beginning of the image once the server has read the last one; a batch
// that fills the image sends what it has and starts over the same way. A
// piece is never larger than the image (writeRect cuts it into bands).
Piece startPiece(int32_t left, int32_t top, int32_t width, int32_t height, int32_t bytesPerLine)
{
    const size_t size = static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
    if (!x11.batchOpen || x11.used + size > imageBytes()) {
        sendPending();
        awaitCompletion();
        x11.used = 0;
        x11.batchOpen = true;
    }
    const Piece piece = {left, top, width, height, bytesPerLine, x11.used};
    // Each piece starts on a cache line of its own.
    x11.used += (size + 63) & ~static_cast<size_t>(63);
    return piece;
}

void destroyImage()
{
    std::free(x11.fillRow);
    x11.fillRow = nullptr;
    x11.pending = false;
    x11.awaitingCompletion = false;
    x11.batchOpen = false;
    x11.used = 0;
    if (x11.image == nullptr)
        return;
    if (x11.shared) {
        XShmDetach(x11.display, &x11.segment);
        XSync(x11.display, False);
        shmdt(x11.segment.shmaddr);
        x11.image->data = nullptr;
    }
    XDestroyImage(x11.image);
    x11.image = nullptr;
    x11.shared = false;
}

bool createSharedImage()
{
    x11.segment = XShmSegmentInfo{};
    x11.image = XShmCreateImage(x11.display, x11.visual, x11.depth, ZPixmap, nullptr, &x11.segment, x11.width,
                                imageRows());
    if (x11.image == nullptr)
        return false;
    x11.segment.shmid = shmget(IPC_PRIVATE, imageBytes(), IPC_CREAT | 0600);
    if (x11.segment.shmid < 0) {
        XDestroyImage(x11.image);
        x11.image = nullptr;
        return false;
    }
    x11.segment.shmaddr = static_cast<char*>(shmat(x11.segment.shmid, nullptr, 0));
    x11.image->data = x11.segment.shmaddr;
    x11.segment.readOnly = False;
    bool attached = x11.segment.shmaddr != reinterpret_cast<char*>(-1);
    if (attached) {
        // A server on another machine refuses the attach with an error.
        XSync(x11.display, False);
        x11.attachFailed = false;
        XErrorHandler previous = XSetErrorHandler(noteAttachFailure);
        XShmAttach(x11.display, &x11.segment);
        XSync(x11.display, False);
        XSetErrorHandler(previous);
        attached = !x11.attachFailed;
    }
    // Marked for removal now: the segment goes when both sides detach, even
    // if this process ends without its clean-up.
    shmctl(x11.segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        if (x11.segment.shmaddr != reinterpret_cast<char*>(-1))
            shmdt(x11.segment.shmaddr);
        x11.image->data = nullptr;
        XDestroyImage(x11.image);
        x11.image = nullptr;
        return false;
    }
    x11.shared = true;
    return true;
}

bool createWindowImage()
{
    if (x11.shmOffered && createSharedImage())
        return true;
    x11.image = XCreateImage(x11.display, x11.visual, x11.depth, ZPixmap, 0, nullptr, x11.width, imageRows(), 32, 0);
    if (x11.image != nullptr) {
        x11.image->data = static_cast<char*>(std::calloc(imageBytes(), 1));
        if (x11.image->data == nullptr) {
            XDestroyImage(x11.image);
            x11.image = nullptr;
        }
    }
    return x11.image != nullptr;
}

// The colour table is built anew before the first conversion.
bool createImage(const char** error)
{
    x11.tableValid = false;
    x11.fillRow = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(x11.width)));
    if (x11.fillRow == nullptr || !createWindowImage()) {
        destroyImage();
        *error = "not enough memory for the window's image";
        return false;
    }
    return true;
}

// The source rows of a rectangle lie a window's width apart, too far apart
// for the processor to foresee, and after the pause between frames some of
// them come from far away: so each row is asked for this many rows ahead of
// its conversion, and the rows' waits overlap (about a sixth less CPU per
// frame at 1920 x 1080).
constexpr int32_t rowsAhead = 4;

inline void requestRow(const uint8_t* row, int32_t count)
{
    for (int32_t i = 0; i < count; i += 64)
        __builtin_prefetch(row + i);
    __builtin_prefetch(row + count - 1);
}

// Converts a band of a rectangle from the rows rowAt(y) give into a piece of
// the image, and puts it.
template <typename RowAt>
void writePiece(int32_t left, int32_t top, int32_t width, int32_t height, int32_t bytesPerLine,
                const uint32_t* colours, RowAt& rowAt)
{
    const Piece piece = startPiece(left, top, width, height, bytesPerLine);
    const int32_t bottom = top + height;
    for (int32_t y = top; y < bottom && y < top + rowsAhead; ++y)
        requestRow(rowAt(y), width);
    uint8_t* out = reinterpret_cast<uint8_t*>(x11.image->data) + piece.offset;
    for (int32_t y = top; y < bottom; ++y, out += piece.bytesPerLine) {
        if (y < bottom - rowsAhead)
            requestRow(rowAt(y + rowsAhead), width);
        switch (x11.image->bits_per_pixel) {
        case 32:
            convertPixels(reinterpret_cast<uint32_t*>(out), rowAt(y), width, colours);
            break;
        case 16:
            convertPixels(reinterpret_cast<uint16_t*>(out), rowAt(y), width, colours);
            break;
        default:
            convertPackedPixels(out, rowAt(y), width, colours);
            break;
        }
    }
    putPiece(piece);
}

// Converts the rectangle (already clipped to the window) and puts it, in
// bands of as many rows as the image holds.
template <typename RowAt>
void writeRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint32_t* colours, RowAt rowAt)
{
    const int32_t bytesPerLine = pieceBytesPerLine(width);
    const int32_t bandRows = static_cast<int32_t>(imageBytes() / static_cast<size_t>(bytesPerLine));
    for (int32_t bandTop = top; bandTop < top + height; bandTop += bandRows) {
        const int32_t rows = top + height - bandTop < bandRows ? top + height - bandTop : bandRows;
        writePiece(left, bandTop, width, rows, bytesPerLine, colours, rowAt);
    }
}

// An entry of the table: the pixel value laid out as the image wants it in
// memory (for 24 bits, the first three bytes).
uint32_t tableEntry(uint32_t pixel)
{
    const bool msbFirst = x11.image->byte_order == MSBFirst;
    switch (x11.image->bits_per_pixel) {
    case 32:
        return msbFirst == hostIsLittleEndian() ? __builtin_bswap32(pixel) : pixel;
    case 16:
        return msbFirst == hostIsLittleEndian() ? __builtin_bswap16(static_cast<uint16_t>(pixel)) : pixel;
    default: {
        const uint8_t bytes[4] = {static_cast<uint8_t>(msbFirst ? pixel >> 16 : pixel),
                                  static_cast<uint8_t>(pixel >> 8),
                                  static_cast<uint8_t>(msbFirst ? pixel : pixel >> 16), 0};
        uint32_t entry;
        std::memcpy(&entry, bytes, sizeof entry);
        return entry;
    }
    }
}

void buildColourTable(PaletteHandle palette)
{
    const PaletteEntry* entries = memoryPaletteEntries(palette);
    for (int32_t i = 0; i < 256; ++i) {
        uint32_t pixel = x11.opaque;
        if (entries != nullptr)
            pixel |= placeChannel(entries[i].peRed, x11.visual->red_mask) |
                     placeChannel(entries[i].peGreen, x11.visual->green_mask) |
                     placeChannel(entries[i].peBlue, x11.visual->blue_mask);
        x11.colours[i] = tableEntry(pixel);
    }
    x11.tablePalette = palette;
    x11.tableValid = true;
}

const uint32_t* coloursFor(PaletteHandle palette)
{
    if (!x11.tableValid || palette != x11.tablePalette)
        buildColourTable(palette);
    return x11.colours;
}

} // namespace

bool openX11Window(Display* display, Window window, int32_t width, int32_t height, const char** error)
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
    // The bits of the depth that no colour uses are alpha (an ARGB visual
    // under a compositor): all ones, or the window would be transparent.
    const uint32_t depthBits = x11.depth >= 32 ? 0xFFFFFFFFu : (1u << x11.depth) - 1;
    x11.opaque = depthBits & ~static_cast<uint32_t>(x11.visual->red_mask | x11.visual->green_mask | x11.visual->blue_mask);
    x11.gc = XCreateGC(display, window, 0, nullptr);
    int major = 0, minor = 0;
    Bool pixmaps = False;
    x11.shmOffered = XShmQueryExtension(display) && XShmQueryVersion(display, &major, &minor, &pixmaps);
    x11.completionType = x11.shmOffered ? XShmGetEventBase(display) + ShmCompletion : -1;
    x11.width = width > 0 ? width : 1;
    x11.height = height > 0 ? height : 1;
    if (!createImage(error)) {
        closeX11Window();
        return false;
    }
    const int bitsPerPixel = x11.image->bits_per_pixel;
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
        closeX11Window();
        *error = "the display's images are not of 16, 24 or 32 bits per pixel, which vasken needs";
        return false;
    }
    return true;
}

bool resizeX11Window(int32_t width, int32_t height, const char** error)
{
    destroyImage();
    x11.width = width > 0 ? width : 1;
    x11.height = height > 0 ? height : 1;
    return createImage(error);
}

void closeX11Window()
{
    if (x11.display == nullptr)
        return;
    destroyImage();
    if (x11.gc != nullptr)
        XFreeGC(x11.display, x11.gc);
    if (x11.textGc != nullptr)
        XFreeGC(x11.display, x11.textGc);
    if (x11.font != nullptr)
        XFreeFont(x11.display, x11.font);
    x11 = X11Window{};
}

void showX11Overlay(const char* text)
{
    std::snprintf(x11.overlay, sizeof x11.overlay, "%s", text != nullptr ? text : "");
    x11.overlayChanged = true;
}

namespace {

// The overlay's lines in the server's built-in font, white on black, from
// the lower left corner up, as XScreenSaver's hacks show their frame rate.
void drawOverlay()
{
    x11.overlayChanged = false;
    if (x11.overlay[0] == '\0')
        return;
    if (x11.textGc == nullptr) {
        x11.font = XLoadQueryFont(x11.display, "fixed");
        if (x11.font == nullptr) {
            x11.overlay[0] = '\0';
            return;
        }
        x11.textGc = XCreateGC(x11.display, x11.window, 0, nullptr);
        XSetFont(x11.display, x11.textGc, x11.font->fid);
        XSetForeground(x11.display, x11.textGc,
                       x11.opaque | placeChannel(255, x11.visual->red_mask) |
                           placeChannel(255, x11.visual->green_mask) | placeChannel(255, x11.visual->blue_mask));
        XSetBackground(x11.display, x11.textGc, x11.opaque);
    }
    const int lineHeight = x11.font->ascent + x11.font->descent;
    int lines = 1;
    for (const char* c = x11.overlay; *c != '\0'; ++c)
        lines += *c == '\n';
    int baseline = x11.height - 8 - x11.font->descent - (lines - 1) * lineHeight;
    for (const char* line = x11.overlay; *line != '\0'; baseline += lineHeight) {
        const char* end = std::strchr(line, '\n');
        const int length = static_cast<int>(end != nullptr ? end - line : std::strlen(line));
        XDrawImageString(x11.display, x11.window, x11.textGc, 8, baseline, line, length);
        if (end == nullptr)
            break;
        line = end + 1;
    }
}

} // namespace

void endX11Batch()
{
    if (!x11.pending && !x11.overlayChanged)
        return;
    sendPending();
    x11.batchOpen = false;
    // The puts may have covered the overlay.
    drawOverlay();
    XFlush(x11.display);
}

bool noteX11Event(const XEvent& event)
{
    if (x11.completionType < 0 || event.type != x11.completionType)
        return false;
    x11.awaitingCompletion = false;
    return true;
}

// A TrueColor display has no system palette: the static colours stay as
// they are (black), as on a true-colour Windows display.
void readSystemColours(PaletteEntry*) {}

void fillWindowIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette)
{
    int32_t width = right - left;
    int32_t height = bottom - top;
    if (x11.image == nullptr || !clipToTarget(left, top, width, height, x11.width, x11.height))
        return;
    const uint32_t* colours = coloursFor(palette);
    // A fill is one row of its index for every row.
    std::memset(x11.fillRow, index, static_cast<size_t>(width));
    writeRect(left, top, width, height, colours, [](int32_t) { return x11.fillRow; });
}

void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (x11.image == nullptr || bits == nullptr)
        return;
    if (!clipPresentRect(left, top, width, height, info, x11.width, x11.height))
        return;
    const uint32_t* colours = coloursFor(palette);
    const size_t stride = static_cast<size_t>((info->biWidth + 3) & ~3);
    const int32_t lastRow = info->biHeight - 1;
    writeRect(left, top, width, height, colours,
              [=](int32_t y) { return bits + stride * static_cast<size_t>(lastRow - y) + left; });
}
