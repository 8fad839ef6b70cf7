// X11 back end of the window for the memory drawing model. The 8-bit
// composite stays in memory; each fill or present of the window brings
// exactly its rectangle up to date in a client-side image of the window's
// size and puts that rectangle, with XShmPutImage where the server offers
// MIT-SHM and XPutImage otherwise.
#include "render/display_x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/display_memory.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

struct X11Window {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc;
    XImage* image;
    XShmSegmentInfo segment;
    bool shared;
    bool shmOffered;
    bool attachFailed;          // the server refused the segment
    int32_t width;
    int32_t height;
    uint8_t* shadow;            // the palette index behind every image pixel
    uint8_t* fillRow;           // a row of the image's width for fills
    void* shadowMapping;        // the mapping the shadow lies in
    size_t shadowMappingSize;
    uint32_t colours[256];      // pixel values in the image's byte order
    uint32_t opaque;            // the alpha bits of a visual that has them
    PaletteHandle tablePalette; // the palette colours[] was built from
    bool tableValid;
    int completionType;         // the event type of MIT-SHM's completion
    bool pending;               // a put held back to end the batch
    int32_t pendingRect[4];
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

uint8_t* imageRow(int32_t y) { return reinterpret_cast<uint8_t*>(x11.image->data) + static_cast<size_t>(y) * x11.image->bytes_per_line; }

// Writes count pixels of the given values (one per source index) at x.
void convertRow(uint8_t* row, int32_t x, const uint8_t* indices, int32_t count, const uint32_t* colours)
{
    switch (x11.image->bits_per_pixel) {
    case 32: {
        uint32_t* out = reinterpret_cast<uint32_t*>(row) + x;
        for (int32_t i = 0; i < count; ++i)
            out[i] = colours[indices[i]];
        break;
    }
    case 16: {
        uint16_t* out = reinterpret_cast<uint16_t*>(row) + x;
        for (int32_t i = 0; i < count; ++i)
            out[i] = static_cast<uint16_t>(colours[indices[i]]);
        break;
    }
    default: // 24 bits packed: the first three bytes of each entry, in order
        for (int32_t i = 0; i < count; ++i)
            std::memcpy(row + 3 * (x + i), &colours[indices[i]], 3);
        break;
    }
}

void sendPut(const int32_t* rect, bool askCompletion)
{
    if (x11.shared)
        XShmPutImage(x11.display, x11.window, x11.gc, x11.image, rect[0], rect[1], rect[0], rect[1], rect[2], rect[3],
                     askCompletion ? True : False);
    else
        XPutImage(x11.display, x11.window, x11.gc, x11.image, rect[0], rect[1], rect[0], rect[1], rect[2], rect[3]);
}

// Each put goes out when the next one comes; the last of a batch waits for
// endX11Batch, which asks the server to report when it has done it.
void putRect(int32_t left, int32_t top, int32_t width, int32_t height)
{
    if (x11.pending)
        sendPut(x11.pendingRect, false);
    x11.pendingRect[0] = left;
    x11.pendingRect[1] = top;
    x11.pendingRect[2] = width;
    x11.pendingRect[3] = height;
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

// The shadow lies on huge pages where the system gives them: a present
// reads a few hundred short row pieces of it a frame, and with pages of
// 4 KB nearly every piece costs an address translation miss.
uint8_t* mapShadow(size_t size)
{
    const size_t huge = size_t(2) << 20;
    x11.shadowMappingSize = size + huge;
    x11.shadowMapping = mmap(nullptr, x11.shadowMappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (x11.shadowMapping == MAP_FAILED) {
        x11.shadowMapping = nullptr;
        return nullptr;
    }
    uint8_t* aligned = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(x11.shadowMapping) + huge - 1) & ~(huge - 1));
    madvise(aligned, size, MADV_HUGEPAGE);
    return aligned;
}

void destroyImage()
{
    if (x11.shadowMapping != nullptr)
        munmap(x11.shadowMapping, x11.shadowMappingSize);
    x11.shadowMapping = nullptr;
    x11.shadow = nullptr;
    std::free(x11.fillRow);
    x11.fillRow = nullptr;
    x11.pending = false;
    x11.awaitingCompletion = false;
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
    x11.image = XShmCreateImage(x11.display, x11.visual, x11.depth, ZPixmap, nullptr, &x11.segment, x11.width, x11.height);
    if (x11.image == nullptr)
        return false;
    x11.segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(x11.image->bytes_per_line) * x11.height, IPC_CREAT | 0600);
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
    x11.image = XCreateImage(x11.display, x11.visual, x11.depth, ZPixmap, 0, nullptr, x11.width, x11.height, 32, 0);
    if (x11.image != nullptr) {
        x11.image->data = static_cast<char*>(std::calloc(static_cast<size_t>(x11.image->bytes_per_line), x11.height));
        if (x11.image->data == nullptr) {
            XDestroyImage(x11.image);
            x11.image = nullptr;
        }
    }
    return x11.image != nullptr;
}

// The image and its shadow start out all zero; the colour table is built
// anew before the first conversion and repaints the image from the shadow.
bool createImage(const char** error)
{
    x11.tableValid = false;
    x11.shadow = mapShadow(static_cast<size_t>(x11.width) * static_cast<size_t>(x11.height));
    x11.fillRow = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(x11.width)));
    if (x11.shadow == nullptr || x11.fillRow == nullptr || !createWindowImage()) {
        destroyImage();
        *error = "not enough memory for an image of the window's size";
        return false;
    }
    return true;
}

// Writes the eight pixels of the indices at in to out.
template <typename Pixel>
inline void convertRun(Pixel* out, const uint8_t* in, const uint32_t* colours)
{
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<Pixel>(colours[in[i]]);
}

// Bit k set where byte k of the 16 indices at a equals that of b (without
// SSE2, each half of 8 as a whole).
inline uint32_t equalBytes(const uint8_t* a, const uint8_t* b)
{
#ifdef __SSE2__
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)))));
#else
    uint64_t x[2], y[2];
    std::memcpy(x, a, sizeof x);
    std::memcpy(y, b, sizeof y);
    return (x[0] == y[0] ? 0x00FFu : 0u) | (x[1] == y[1] ? 0xFF00u : 0u);
#endif
}

// Brings the 16 pixels at out up to date with the indices at in: compared
// with their shadow all at once, and only the runs of 8 that differ are
// converted.
template <typename Pixel>
inline void updateBlock(Pixel* out, uint8_t* shadow, const uint8_t* in, const uint32_t* colours)
{
    const uint32_t equal = equalBytes(in, shadow);
    if (equal == 0xFFFFu)
        return;
    std::memcpy(shadow, in, 16);
    if ((equal & 0x00FFu) != 0x00FFu)
        convertRun(out, in, colours);
    if ((equal & 0xFF00u) != 0xFF00u)
        convertRun(out + 8, in + 8, colours);
}

// Brings count pixels of row y from x on up to date with the indices at in.
// A present covers a sprite's old and new places, and many of those pixels
// (the black around a ship, the parts of it that look alike one step on)
// already show the right colour, so they go by blocks of 16. A row of 16 or
// more ends with the block of its last 16 pixels, which may overlap the one
// before: pixels it brings up to date again compare equal or convert to the
// same values.
template <typename Pixel>
void updatePixels(int32_t y, int32_t x, const uint8_t* in, int32_t count, const uint32_t* colours)
{
    Pixel* out = reinterpret_cast<Pixel*>(imageRow(y)) + x;
    uint8_t* shadow = x11.shadow + static_cast<size_t>(y) * x11.width + x;
    if (count >= 16) {
        int32_t i = 0;
        for (; i + 16 <= count; i += 16)
            updateBlock(out + i, shadow + i, in + i, colours);
        if (i < count)
            updateBlock(out + count - 16, shadow + count - 16, in + count - 16, colours);
        return;
    }
    int32_t i = 0;
    if (count >= 8) {
        if (std::memcmp(in, shadow, 8) != 0) {
            std::memcpy(shadow, in, 8);
            convertRun(out, in, colours);
        }
        i = 8;
    }
    for (; i < count; ++i) {
        if (shadow[i] != in[i]) {
            shadow[i] = in[i];
            out[i] = static_cast<Pixel>(colours[in[i]]);
        }
    }
}

// The same for 24 bits per pixel (rare): whole rows that differ.
void updatePackedPixels(int32_t y, int32_t x, const uint8_t* in, int32_t count, const uint32_t* colours)
{
    uint8_t* shadow = x11.shadow + static_cast<size_t>(y) * x11.width + x;
    if (std::memcmp(in, shadow, static_cast<size_t>(count)) != 0) {
        convertRow(imageRow(y), x, in, count, colours);
        std::memcpy(shadow, in, static_cast<size_t>(count));
    }
}

// Brings the rectangle (already clipped to the image) up to date from the
// rows rowAt(y) give, with one loop per pixel size.
template <typename RowAt>
void updateRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint32_t* colours, RowAt rowAt)
{
    switch (x11.image->bits_per_pixel) {
    case 32:
        for (int32_t y = top; y < top + height; ++y)
            updatePixels<uint32_t>(y, left, rowAt(y), width, colours);
        break;
    case 16:
        for (int32_t y = top; y < top + height; ++y)
            updatePixels<uint16_t>(y, left, rowAt(y), width, colours);
        break;
    default:
        for (int32_t y = top; y < top + height; ++y)
            updatePackedPixels(y, left, rowAt(y), width, colours);
        break;
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
    // The whole image follows the new colours, so that every pixel shows
    // the colour of its shadow index again.
    for (int32_t y = 0; y < x11.height; ++y)
        convertRow(imageRow(y), 0, x11.shadow + static_cast<size_t>(y) * x11.width, x11.width, x11.colours);
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
    if (x11.pending) {
        sendPut(x11.pendingRect, x11.shared);
        x11.pending = false;
        x11.awaitingCompletion = x11.shared;
    }
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
    awaitCompletion();
    const uint32_t* colours = coloursFor(palette);
    // A fill is one row of its index for every row.
    std::memset(x11.fillRow, index, static_cast<size_t>(width));
    updateRect(left, top, width, height, colours, [](int32_t) { return x11.fillRow; });
    putRect(left, top, width, height);
}

void presentWindowRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                       const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (x11.image == nullptr || bits == nullptr)
        return;
    if (!clipPresentRect(left, top, width, height, info, x11.width, x11.height))
        return;
    awaitCompletion();
    const uint32_t* colours = coloursFor(palette);
    const size_t stride = static_cast<size_t>((info->biWidth + 3) & ~3);
    const int32_t lastRow = info->biHeight - 1;
    updateRect(left, top, width, height, colours,
               [=](int32_t y) { return bits + stride * static_cast<size_t>(lastRow - y) + left; });
    putRect(left, top, width, height);
}
