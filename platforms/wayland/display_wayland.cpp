// Wayland back end of the window for the memory drawing model. The window's
// content lives in an 8-bit image of the logical size, beside a copy of it
// as the last frame left it; a frame finds the runs of pixels in the
// rectangles it drew whose index changed, takes a free buffer, converts
// into it (platforms/truecolor/pixel_format_truecolor.h) only the runs that
// changed since that buffer was last shown, and damages this frame's
// rectangles in device pixels. The --fps overlay is drawn into a buffer
// after its runs, where they covered it or its text is new to the buffer.
#include "platforms/wayland/display_wayland.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/pixel_scale.h"
#include "platforms/fps/fps_count.h"
#include "platforms/fps/fps_overlay.h"
#include "platforms/memory/display_memory.h"
#include "platforms/truecolor/pixel_format_truecolor.h"
#include "platforms/wayland/damage_history_wayland.h"
#include "platforms/wayland/shm_buffers_wayland.h"

namespace {

struct WaylandWindow {
    wl_shm* shm;
    wl_surface* surface;
    uint32_t shmFormat;
    PixelFormat format;
    int32_t deviceWidth;
    int32_t deviceHeight;
    int32_t pixelSize;
    int32_t logicalWidth;
    int32_t logicalHeight;
    uint8_t* image; // the window's palette indices, logicalWidth a row, top down
    uint8_t* shown; // the image as the frame that ended last left it
    ColourTable table;
    bool wholeDamage; // the next buffer differs from the shown one everywhere
    DamageHistory history;
    ShmPool pool;
    OverlayPanel overlay;
    OverlayBox overlayBox;     // in device pixels
    uint32_t overlayText;      // counts the texts the overlay has shown
    uint32_t shownOverlayText; // the text of the buffer attached last
    bool overlayCovered;       // a run written into this frame's buffer met the overlay
};

WaylandWindow window;

const uint32_t* coloursFor(PaletteHandle palette)
{
    if (!window.table.valid || window.table.palette != palette) {
        forgetShmContents(window.pool);
        window.wholeDamage = true;
    }
    return colourTableOf(window.table, window.format, palette);
}

uint8_t* imageRow(int32_t y) { return window.image + static_cast<size_t>(window.logicalWidth) * y; }

IndexImage indexImage() { return IndexImage{window.image, window.logicalWidth, window.logicalHeight}; }

// Where the device pixel at (x, y) of the buffer lies.
uint8_t* pixelAt(ShmBuffer& buffer, int32_t x, int32_t y)
{
    return buffer.pixels + static_cast<size_t>(window.pool.stride) * y + static_cast<size_t>(x) * 4;
}

// Writes logical pixels from ... to of row y of the image into the buffer,
// each as a block of pixelSize, the last ones cut at the buffer's edge.
void convertSpan(ShmBuffer& buffer, int32_t y, int32_t from, int32_t to)
{
    const int32_t n = window.pixelSize;
    const OverlayBox span = {from * n, y * n, std::min(to * n, window.deviceWidth) - from * n,
                             std::min(n, window.deviceHeight - y * n)};
    writeBlocks(window.format, window.table.colours, IndexRows{imageRow(y) + from, 0}, n,
                pixelAt(buffer, span.left, span.top), window.pool.stride,
                span.width, span.height);
    window.overlayCovered = window.overlayCovered || boxesMeet(span, window.overlayBox);
}

// Draws the --fps overlay into the buffer where the runs just written
// covered it or it shows an older text, and damages it where the shown
// buffer's overlay had another text.
void overlayInto(ShmBuffer& buffer)
{
    if (setOverlayText(window.overlay, fpsText())) {
        ++window.overlayText;
        window.overlayBox = overlayBox(window.overlay, window.deviceWidth, window.deviceHeight, window.pixelSize);
    }
    const OverlayBox& box = window.overlayBox;
    if (box.width <= 0 || box.height <= 0)
        return;
    if (window.overlayCovered || buffer.overlayText != window.overlayText) {
        drawOverlay(window.overlay, box, window.pixelSize, window.format, pixelAt(buffer, box.left, box.top),
                    window.pool.stride);
        buffer.overlayText = window.overlayText;
    }
    if (window.shownOverlayText != window.overlayText)
        wl_surface_damage_buffer(window.surface, box.left, box.top, box.width, box.height);
    window.shownOverlayText = window.overlayText;
}

// Damages, in device pixels, the rectangles of the frame that just ended:
// what differs from the one the surface shows.
void damageLastFrame()
{
    const int32_t n = window.pixelSize;
    if (window.wholeDamage) {
        wl_surface_damage_buffer(window.surface, 0, 0, window.deviceWidth, window.deviceHeight);
        window.wholeDamage = false;
        return;
    }
    const DrawnRects& damage = lastFrameDamage(window.history);
    for (int32_t i = 0; i < damage.count; ++i) {
        const DamageRect& r = damage.rects[i];
        const int32_t right = std::min(r.right * n, window.deviceWidth);
        const int32_t bottom = std::min(r.bottom * n, window.deviceHeight);
        wl_surface_damage_buffer(window.surface, r.left * n, r.top * n, right - r.left * n, bottom - r.top * n);
    }
}

void destroyImage()
{
    emptyShmPool(window.pool);
    std::free(window.image);
    std::free(window.shown);
    window.image = nullptr;
    window.shown = nullptr;
}

} // namespace

void openWaylandWindow(wl_shm* shm, wl_surface* surface, uint32_t format)
{
    window.shm = shm;
    window.surface = surface;
    window.shmFormat = format;
    // XRGB8888: 0x00RRGGBB in the host's byte order.
    window.format = pixelFormatOf(0xFF0000, 0xFF00, 0xFF, 24, 32, false);
}

bool resizeWaylandWindow(int32_t deviceWidth, int32_t deviceHeight, int32_t pixelSize, const char** error)
{
    destroyImage();
    window.deviceWidth = std::max(deviceWidth, 1);
    window.deviceHeight = std::max(deviceHeight, 1);
    window.pixelSize = pixelSize >= 1 && pixelSize <= maxPixelSize ? pixelSize : 1;
    window.logicalWidth = (window.deviceWidth + window.pixelSize - 1) / window.pixelSize;
    window.logicalHeight = (window.deviceHeight + window.pixelSize - 1) / window.pixelSize;
    const size_t bytes = static_cast<size_t>(window.logicalWidth) * static_cast<size_t>(window.logicalHeight);
    window.image = static_cast<uint8_t*>(std::calloc(bytes, 1));
    window.shown = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (window.image == nullptr || window.shown == nullptr) {
        destroyImage();
        *error = "not enough memory for the window's image";
        return false;
    }
    sizeShmPool(window.pool, window.shm, window.shmFormat, window.deviceWidth, window.deviceHeight);
    resetDamage(window.history, window.logicalWidth, window.logicalHeight);
    window.table.valid = false;
    window.wholeDamage = true;
    window.overlayBox = overlayBox(window.overlay, window.deviceWidth, window.deviceHeight, window.pixelSize);
    return true;
}

void closeWaylandWindow()
{
    destroyImage();
    window = WaylandWindow{};
}

bool waylandWindowChanged() { return window.image != nullptr && (damagePending(window.history) || window.wholeDamage); }

bool waylandBufferFree() { return shmBufferFree(window.pool); }

bool attachWaylandFrame()
{
    if (!waylandWindowChanged())
        return false;
    ShmBuffer* buffer = takeShmBuffer(window.pool);
    if (buffer == nullptr)
        return false;
    const uint32_t frame = endDamageFrame(window.history, window.image, window.shown);
    damageLastFrame();
    window.overlayCovered = buffer->frame == 0;
    visitStaleSpans(window.history, buffer->frame,
                    [&](int32_t y, int32_t from, int32_t to) { convertSpan(*buffer, y, from, to); });
    overlayInto(*buffer);
    buffer->frame = frame;
    buffer->busy = true;
    wl_surface_attach(window.surface, buffer->buffer, 0, 0);
    return true;
}

void fillWaylandIndex(int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t index, PaletteHandle palette)
{
    int32_t width = right - left;
    int32_t height = bottom - top;
    if (!fillIndexImage(indexImage(), left, top, width, height, index))
        return;
    coloursFor(palette);
    addDamage(window.history, DamageRect{left, top, left + width, top + height});
}

void presentWaylandRect(int32_t left, int32_t top, int32_t width, int32_t height, const uint8_t* bits,
                        const BitmapInfoHeader* info, PaletteHandle palette)
{
    if (!copyIntoIndexImage(indexImage(), left, top, width, height, bits, info))
        return;
    coloursFor(palette);
    addDamage(window.history, DamageRect{left, top, left + width, top + height});
}
