// The Wayland window's wl_shm buffers: each in an anonymous memory file of
// its own (memfd), mapped here and handed to the compositor through a pool
// that is let go at once; wl_buffer.release marks it free again.
#include "platforms/wayland/shm_buffers_wayland.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>

namespace {

void noteRelease(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy = false; }

const wl_buffer_listener bufferListener = {noteRelease};

void dropBuffer(ShmBuffer& buffer)
{
    if (buffer.buffer != nullptr)
        wl_buffer_destroy(buffer.buffer);
    if (buffer.pixels != nullptr)
        munmap(buffer.pixels, buffer.size);
    buffer = ShmBuffer{};
}

bool makeBuffer(ShmPool& pool, ShmBuffer& buffer)
{
    buffer = ShmBuffer{};
    buffer.size = static_cast<size_t>(pool.stride) * static_cast<size_t>(pool.height);
    const int fd = memfd_create("vasken-buffer", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(buffer.size)) != 0) {
        if (fd >= 0)
            close(fd);
        dropBuffer(buffer);
        return false;
    }
    void* pixels = mmap(nullptr, buffer.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        dropBuffer(buffer);
        return false;
    }
    buffer.pixels = static_cast<uint8_t*>(pixels);
    // The compositor maps the file on its side; the pool object is not
    // needed once the buffer exists.
    wl_shm_pool* shmPool = wl_shm_create_pool(pool.shm, fd, static_cast<int32_t>(buffer.size));
    buffer.buffer = wl_shm_pool_create_buffer(shmPool, 0, pool.width, pool.height, pool.stride, pool.format);
    wl_shm_pool_destroy(shmPool);
    close(fd);
    wl_buffer_add_listener(buffer.buffer, &bufferListener, &buffer);
    return true;
}

} // namespace

void sizeShmPool(ShmPool& pool, wl_shm* shm, uint32_t format, int32_t width, int32_t height)
{
    emptyShmPool(pool);
    pool.shm = shm;
    pool.format = format;
    pool.width = width;
    pool.height = height;
    pool.stride = width * 4;
}

void emptyShmPool(ShmPool& pool)
{
    for (ShmBuffer& buffer : pool.buffers)
        dropBuffer(buffer);
}

ShmBuffer* takeShmBuffer(ShmPool& pool)
{
    ShmBuffer* best = nullptr;
    ShmBuffer* empty = nullptr;
    for (ShmBuffer& buffer : pool.buffers) {
        if (buffer.buffer == nullptr)
            empty = empty != nullptr ? empty : &buffer;
        else if (!buffer.busy && (best == nullptr || buffer.frame > best->frame))
            best = &buffer;
    }
    if (best != nullptr)
        return best;
    if (empty != nullptr && makeBuffer(pool, *empty))
        return empty;
    return nullptr;
}

bool shmBufferFree(const ShmPool& pool)
{
    for (const ShmBuffer& buffer : pool.buffers)
        if (buffer.buffer == nullptr || !buffer.busy)
            return true;
    return false;
}

void forgetShmContents(ShmPool& pool)
{
    for (ShmBuffer& buffer : pool.buffers)
        buffer.frame = 0;
}
