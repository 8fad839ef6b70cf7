// POSIX back end of the bitmap sources: files through open/read/lseek in the
// directory the user named, image blocks on the C heap, and the built-in
// pattern images generated at build time.
#include "render/bitmap_source.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platforms/posix/bitmap_source_posix.h"
#include "resources/embedded_resources.h"

namespace {
std::string bitmapDirectory;
bool haveBitmapDirectory = false;
}

void setBitmapDirectory(const char* directory)
{
    haveBitmapDirectory = directory != nullptr;
    bitmapDirectory = directory != nullptr ? directory : "";
}

int32_t openBitmapFile(const char* name)
{
    if (!haveBitmapDirectory)
        return noBitmapFile;
    // Composed in place: the scene asks for files while it runs, where a
    // failed allocation may only mean "no file".
    char path[PATH_MAX];
    const int length = std::snprintf(path, sizeof path, "%s/%s", bitmapDirectory.c_str(), name);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path)
        return noBitmapFile;
    const int file = open(path, O_RDONLY | O_CLOEXEC);
    return file >= 0 ? file : noBitmapFile;
}

uint32_t readBitmapFile(int32_t file, void* target, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = read(file, static_cast<char*>(target) + done, count - done);
        if (n <= 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

bool seekBitmapFile(int32_t file, uint32_t position)
{
    return lseek(file, static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

int64_t tellBitmapFile(int32_t file) { return static_cast<int64_t>(lseek(file, 0, SEEK_CUR)); }

void closeBitmapFile(int32_t file)
{
    if (file >= 0)
        close(file);
}

uint8_t* allocDibMemory(uint32_t size) { return static_cast<uint8_t*>(std::malloc(size != 0 ? size : 1)); }

uint8_t* resizeDibMemory(uint8_t* block, uint32_t size)
{
    uint8_t* moved = static_cast<uint8_t*>(std::realloc(block, size != 0 ? size : 1));
    if (moved == nullptr)
        std::free(block);
    return moved;
}

void freeDibMemory(uint8_t* block) { std::free(block); }

const uint8_t* findBitmapResource(const char* name, uint32_t* size)
{
    for (const EmbeddedResource* r = embeddedBitmaps; r->name != nullptr; ++r) {
        if (std::strcmp(r->name, name) == 0) {
            *size = r->size;
            return r->bytes;
        }
    }
    *size = 0;
    return nullptr;
}
