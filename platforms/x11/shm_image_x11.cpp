// The X11 window's image and its puts: XShmPutImage from a shared segment
// where the server offers MIT-SHM and attaches the segment, XPutImage
// otherwise. Where the server scales the scene (RENDER), the puts go into a
// pixmap of the scene's logical size and each put's rectangle is then
// composited into the window in blocks, nearest neighbour. The pieces of a batch lie one after the other from the start of
// the image, so a frame touches a few hundred contiguous kilobytes rather
// than rows spread over a window-sized image: between frames the program
// sleeps, and memory spread that wide comes back from far away every frame.
#include "platforms/x11/shm_image_x11.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>

namespace {

struct ShmImage {
    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc;
    XImage* image; // the memory for the pieces (imageRows())
    XShmSegmentInfo segment;
    bool shared;
    bool shmOffered;
    bool attachFailed; // the server refused the segment
    int32_t width;     // the window's
    int32_t height;
    size_t used;             // bytes of the image the batch's pieces take
    bool batchOpen;          // pieces were written since the last batch ended
    int completionType;      // the event type of MIT-SHM's completion
    bool pending;            // a put held back to end the batch
    Piece pendingPiece;
    bool awaitingCompletion; // the server may still read the image
};

ShmImage shm;

// The server's scaling: scale 1 when the puts go to the window as they are.
struct ServerScale {
    int32_t scale;
    Pixmap pixmap;  // the scene at its logical size
    Picture source; // the pixmap, seen through the scaling transform
    Picture target; // the window
};

ServerScale server = {1, 0, 0, 0};

int noteAttachFailure(Display*, XErrorEvent*)
{
    shm.attachFailed = true;
    return 0;
}

void sendPut(const Piece& piece, bool askCompletion)
{
    // The image's description with the piece's size and place: Xlib reads
    // the rows from there, and MIT-SHM passes the offset into the segment.
    XImage part = *shm.image;
    part.width = piece.width;
    part.height = piece.height;
    part.bytes_per_line = piece.bytesPerLine;
    part.data = shm.image->data + piece.offset;
    const Drawable target = server.scale > 1 ? server.pixmap : shm.window;
    if (shm.shared)
        XShmPutImage(shm.display, target, shm.gc, &part, 0, 0, piece.left, piece.top, piece.width, piece.height,
                     askCompletion ? True : False);
    else
        XPutImage(shm.display, target, shm.gc, &part, 0, 0, piece.left, piece.top, piece.width, piece.height);
    if (server.scale > 1) {
        // The blocks of the last column and row stick out past the window.
        const int32_t n = server.scale;
        XRenderComposite(shm.display, PictOpSrc, server.source, None, server.target, piece.left * n, piece.top * n, 0,
                         0, piece.left * n, piece.top * n, static_cast<unsigned>(piece.width * n),
                         static_cast<unsigned>(piece.height * n));
    }
}

void stopServerScale()
{
    if (server.source != 0)
        XRenderFreePicture(shm.display, server.source);
    if (server.target != 0)
        XRenderFreePicture(shm.display, server.target);
    if (server.pixmap != 0)
        XFreePixmap(shm.display, server.pixmap);
    server = ServerScale{1, 0, 0, 0};
}

// With shared memory the server reads the image when it carries out a put,
// which may be after the call returned: the image is not written again
// before the server has reported the last put of the previous batch done
// (in order, so all the puts before it are done as well). Usually the report
// came in long ago with the other events; otherwise one round trip makes
// sure, which also ends the wait when a put failed on a window that is gone
// and so reports nothing.
Bool isCompletion(Display*, XEvent* event, XPointer) { return event->type == shm.completionType; }

void awaitCompletion()
{
    if (!shm.awaitingCompletion)
        return;
    XEvent event;
    if (!XCheckIfEvent(shm.display, &event, isCompletion, nullptr)) {
        XSync(shm.display, False);
        while (XCheckIfEvent(shm.display, &event, isCompletion, nullptr)) {
        }
    }
    shm.awaitingCompletion = false;
}

// Sends the held-back put, asking for its report where the server reads
// shared memory.
void sendPending()
{
    if (!shm.pending)
        return;
    sendPut(shm.pendingPiece, shm.shared);
    shm.pending = false;
    shm.awaitingCompletion = shm.shared;
}

// The image has the window's width and the rows of 2^19 pixels (2 MB at 32
// bits per pixel), or the window's rows if it has fewer: the ships do not
// grow with the window, so a frame's pieces fit at any size. A present of a
// larger window goes in bands.
int32_t imageRows()
{
    const int64_t rows = (int64_t(1) << 19) / shm.width + 1;
    return static_cast<int32_t>(rows < shm.height ? rows : shm.height);
}

size_t imageBytes() { return static_cast<size_t>(shm.image->bytes_per_line) * static_cast<size_t>(shm.image->height); }

bool createSharedImage()
{
    shm.segment = XShmSegmentInfo{};
    shm.image = XShmCreateImage(shm.display, shm.visual, shm.depth, ZPixmap, nullptr, &shm.segment, shm.width,
                                imageRows());
    if (shm.image == nullptr)
        return false;
    shm.segment.shmid = shmget(IPC_PRIVATE, imageBytes(), IPC_CREAT | 0600);
    if (shm.segment.shmid < 0) {
        XDestroyImage(shm.image);
        shm.image = nullptr;
        return false;
    }
    shm.segment.shmaddr = static_cast<char*>(shmat(shm.segment.shmid, nullptr, 0));
    shm.image->data = shm.segment.shmaddr;
    shm.segment.readOnly = False;
    bool attached = shm.segment.shmaddr != reinterpret_cast<char*>(-1);
    if (attached) {
        // A server on another machine refuses the attach with an error.
        XSync(shm.display, False);
        shm.attachFailed = false;
        XErrorHandler previous = XSetErrorHandler(noteAttachFailure);
        XShmAttach(shm.display, &shm.segment);
        XSync(shm.display, False);
        XSetErrorHandler(previous);
        attached = !shm.attachFailed;
    }
    // Marked for removal now: the segment goes when both sides detach, even
    // if this process ends without its clean-up.
    shmctl(shm.segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        if (shm.segment.shmaddr != reinterpret_cast<char*>(-1))
            shmdt(shm.segment.shmaddr);
        shm.image->data = nullptr;
        XDestroyImage(shm.image);
        shm.image = nullptr;
        return false;
    }
    shm.shared = true;
    return true;
}

} // namespace

void openShmImage(Display* display, Window window, Visual* visual, int depth)
{
    shm.display = display;
    shm.window = window;
    shm.visual = visual;
    shm.depth = depth;
    shm.gc = XCreateGC(display, window, 0, nullptr);
    int major = 0, minor = 0;
    Bool pixmaps = False;
    shm.shmOffered = XShmQueryExtension(display) && XShmQueryVersion(display, &major, &minor, &pixmaps);
    shm.completionType = shm.shmOffered ? XShmGetEventBase(display) + ShmCompletion : -1;
}

void closeShmImage()
{
    if (shm.display == nullptr)
        return;
    destroyShmImage();
    if (shm.gc != nullptr)
        XFreeGC(shm.display, shm.gc);
    shm = ShmImage{};
}

bool createShmImage(int32_t width, int32_t height)
{
    shm.width = width;
    shm.height = height;
    if (shm.shmOffered && createSharedImage())
        return true;
    shm.image = XCreateImage(shm.display, shm.visual, shm.depth, ZPixmap, 0, nullptr, shm.width, imageRows(), 32, 0);
    if (shm.image != nullptr) {
        shm.image->data = static_cast<char*>(std::calloc(imageBytes(), 1));
        if (shm.image->data == nullptr) {
            XDestroyImage(shm.image);
            shm.image = nullptr;
        }
    }
    return shm.image != nullptr;
}

void destroyShmImage()
{
    stopServerScale();
    shm.pending = false;
    shm.awaitingCompletion = false;
    shm.batchOpen = false;
    shm.used = 0;
    if (shm.image == nullptr)
        return;
    if (shm.shared) {
        XShmDetach(shm.display, &shm.segment);
        XSync(shm.display, False);
        shmdt(shm.segment.shmaddr);
        shm.image->data = nullptr;
    }
    XDestroyImage(shm.image);
    shm.image = nullptr;
    shm.shared = false;
}

const XImage* shmImage() { return shm.image; }

bool scaleOnServer(int32_t scale, int32_t logicalWidth, int32_t logicalHeight)
{
    stopServerScale();
    int events = 0, errors = 0;
    if (scale <= 1 || !XRenderQueryExtension(shm.display, &events, &errors))
        return false;
    XRenderPictFormat* format = XRenderFindVisualFormat(shm.display, shm.visual);
    if (format == nullptr)
        return false;
    server.pixmap = XCreatePixmap(shm.display, shm.window, static_cast<unsigned>(logicalWidth),
                                  static_cast<unsigned>(logicalHeight), static_cast<unsigned>(shm.depth));
    server.source = XRenderCreatePicture(shm.display, server.pixmap, format, 0, nullptr);
    server.target = XRenderCreatePicture(shm.display, shm.window, format, 0, nullptr);
    // The transform takes a point of the window to the pixmap's.
    XTransform shrink = {{{XDoubleToFixed(1.0 / scale), 0, 0},
                          {0, XDoubleToFixed(1.0 / scale), 0},
                          {0, 0, XDoubleToFixed(1.0)}}};
    XRenderSetPictureTransform(shm.display, server.source, &shrink);
    XRenderSetPictureFilter(shm.display, server.source, FilterNearest, nullptr, 0);
    server.scale = scale;
    return true;
}

// A piece's rows are padded as the server pads the image's own, so that a
// piece put from shared memory is read with the layout it was written in.
int32_t pieceBytesPerLine(int32_t width)
{
    const int64_t pad = shm.image->bitmap_pad > 0 ? shm.image->bitmap_pad : 32;
    const int64_t bits = static_cast<int64_t>(width) * shm.image->bits_per_pixel;
    return static_cast<int32_t>((bits + pad - 1) / pad * pad / 8);
}

int32_t imageRowsOf(int32_t bytesPerLine)
{
    return static_cast<int32_t>(imageBytes() / static_cast<size_t>(bytesPerLine));
}

// A batch starts at the beginning of the image once the server has read the
// last one; a batch that fills the image sends what it has and starts over
// the same way.
Piece startPiece(int32_t left, int32_t top, int32_t width, int32_t height, int32_t bytesPerLine)
{
    const size_t size = static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
    if (!shm.batchOpen || shm.used + size > imageBytes()) {
        sendPending();
        awaitCompletion();
        shm.used = 0;
        shm.batchOpen = true;
    }
    const Piece piece = {left, top, width, height, bytesPerLine, shm.used};
    // Each piece starts on a cache line of its own.
    shm.used += (size + 63) & ~static_cast<size_t>(63);
    return piece;
}

uint8_t* pieceRows(const Piece& piece) { return reinterpret_cast<uint8_t*>(shm.image->data) + piece.offset; }

// Each put goes out when the next one comes; the last of a batch waits for
// endPieceBatch, which asks the server to report when it has done it.
void putPiece(const Piece& piece)
{
    if (shm.pending)
        sendPut(shm.pendingPiece, false);
    shm.pendingPiece = piece;
    shm.pending = true;
}

bool piecePending() { return shm.pending; }

void endPieceBatch()
{
    sendPending();
    shm.batchOpen = false;
}

bool noteShmEvent(const XEvent& event)
{
    if (shm.completionType < 0 || event.type != shm.completionType)
        return false;
    shm.awaitingCompletion = false;
    return true;
}
