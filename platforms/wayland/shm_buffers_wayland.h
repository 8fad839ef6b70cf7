// The Wayland window's buffers (platforms/wayland/display_wayland.cpp): a
// small pool of wl_shm buffers of one size, each in shared memory of its
// own, with the frame it shows. A buffer the compositor holds
// (attached, not yet released) is never written; a frame takes a free one,
// and only when none is free does the pool grow, up to maxShmBuffers.
#pragma once
#include <cstddef>
#include <cstdint>

struct wl_buffer;
struct wl_shm;

enum : int32_t { maxShmBuffers = 3 };

struct ShmBuffer {
    wl_buffer* buffer; // null: the slot is empty
    uint8_t* pixels;   // mapped, stride bytes a row
    size_t size;
    uint32_t frame;       // the frame it shows (platforms/wayland/damage_history_wayland.h); 0: nothing known
    uint32_t overlayText; // the --fps text drawn into it (the window's count of texts)
    bool busy;            // attached and not yet released by the compositor
};

struct ShmPool {
    wl_shm* shm;
    uint32_t format; // a wl_shm format of 4 bytes a pixel
    int32_t width;   // device pixels
    int32_t height;
    int32_t stride;
    ShmBuffer buffers[maxShmBuffers];
};

// An empty pool for buffers of width x height device pixels; the buffers
// come when they are asked for. The previous buffers are let go (the
// compositor keeps what it shows until the next commit).
void sizeShmPool(ShmPool& pool, wl_shm* shm, uint32_t format, int32_t width, int32_t height);
// Lets go of every buffer.
void emptyShmPool(ShmPool& pool);
// A buffer the compositor does not hold: the one that shows the latest
// frame among the free ones (the least to bring up to date), or a new one;
// null when all maxShmBuffers are held or memory runs out.
ShmBuffer* takeShmBuffer(ShmPool& pool);
// Whether the pool has at least one buffer the compositor does not hold,
// or room for one.
bool shmBufferFree(const ShmPool& pool);
// Every buffer shows nothing known any more (the colours changed).
void forgetShmContents(ShmPool& pool);
