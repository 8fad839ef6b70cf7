// The canvas of the web page as the window of the memory drawing model: an
// RGBA image of the canvas's size in the module's memory, which the page's
// script shows with putImageData, and the list of rectangles drawn since
// the script last presented. The page's entry points (platforms/web/main_web.cpp)
// open it and hand both to the script.
#pragma once
#include <cstdint>

enum : int32_t { maxWebRects = 1024 };

// An image of width x height (at least 1 x 1), all black and wholly to be
// presented; false when the memory for it cannot be had.
bool openWebCanvas(int32_t width, int32_t height);
void closeWebCanvas();

// Brings the listed rectangles of the RGBA image up to date; the page calls
// it before it presents them.
void convertWebRects();

// Row-major RGBA, top row first, width * height pixels; null when closed.
const uint8_t* webCanvasPixels();
int32_t webCanvasWidth();
int32_t webCanvasHeight();

// The rectangles (left, top, width, height, each clipped to the image) to
// present; when more came than the list holds, one of the whole image.
int32_t webRectCount();
const int32_t* webRects();
void clearWebRects();
