// The client-side image the X11 window (platforms/x11/display_x11.cpp) puts
// its pixels through: in a shared-memory segment where the server offers
// MIT-SHM and accepts the segment, in plain memory for XPutImage otherwise.
// The window writes a batch of pieces one after the other from the start of
// the image and puts each; the image is not written again until the server
// has read the last batch.
#pragma once
#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>

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

// Puts go to window through a graphics context of its own, with MIT-SHM if
// the server offers it.
void openShmImage(Display* display, Window window, Visual* visual, int depth);
// Releases the image and the graphics context.
void closeShmImage();

// An image for a window of width x height (each at least 1); false when
// there is no memory for it.
bool createShmImage(int32_t width, int32_t height);
// Releases the image and its segment, and forgets the batch.
void destroyShmImage();
// Null when there is none.
const XImage* shmImage();

// Where the server offers RENDER: the pieces are of a scene of the logical
// size, and the server shows each as blocks of scale x scale in the window.
// False where it cannot (the pieces then have to be of device pixels). Ends
// with the image.
bool scaleOnServer(int32_t scale, int32_t logicalWidth, int32_t logicalHeight);

// The bytes of a row of a piece of the given width, padded as the server
// pads the image's own rows; and how many such rows the image holds.
int32_t pieceBytesPerLine(int32_t width);
int32_t imageRowsOf(int32_t bytesPerLine);

// Room for a piece of at most imageRowsOf(bytesPerLine) rows, to be written
// at pieceRows(piece) and then handed to putPiece.
Piece startPiece(int32_t left, int32_t top, int32_t width, int32_t height, int32_t bytesPerLine);
uint8_t* pieceRows(const Piece& piece);
void putPiece(const Piece& piece);

// Whether a put of this batch has not been sent yet.
bool piecePending();
// Sends the batch's last put, asking the server to report when it has read
// it; the next piece starts a new batch.
void endPieceBatch();

// Takes the events of the image's puts (MIT-SHM completions); false for
// every other event.
bool noteShmEvent(const XEvent& event);
