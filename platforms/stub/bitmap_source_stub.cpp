// The test stand-in's bitmap sources: names are paths relative to the
// working directory, image blocks live on the C heap (counted, so tests can
// see leaks and make allocations fail), and the "resources" are a table of
// named images that tests fill.
#include "render/bitmap_source.h"
#include "platforms/stub/stub.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum { maxOpenFiles = 16 };
FILE* openFiles[maxOpenFiles];

struct NamedImage {
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<NamedImage>& namedImages()
{
    static std::vector<NamedImage> images;
    return images;
}

int32_t liveBlocks = 0;
int32_t allocationsLeft = -1;

bool allocationAllowed()
{
    if (allocationsLeft < 0)
        return true;
    if (allocationsLeft == 0)
        return false;
    --allocationsLeft;
    return true;
}

FILE* fileFor(int32_t file)
{
    if (file < 0 || file >= maxOpenFiles)
        return nullptr;
    return openFiles[file];
}

} // namespace

int32_t openBitmapFile(const char* name)
{
    for (int32_t i = 0; i < maxOpenFiles; ++i) {
        if (openFiles[i] == nullptr) {
            openFiles[i] = std::fopen(name, "rb");
            return openFiles[i] != nullptr ? i : noBitmapFile;
        }
    }
    return noBitmapFile;
}

uint32_t readBitmapFile(int32_t file, void* target, uint32_t count)
{
    FILE* stream = fileFor(file);
    return stream != nullptr ? static_cast<uint32_t>(std::fread(target, 1, count, stream)) : 0;
}

bool seekBitmapFile(int32_t file, uint32_t position)
{
    FILE* stream = fileFor(file);
    return stream != nullptr && std::fseek(stream, static_cast<long>(position), SEEK_SET) == 0;
}

int64_t tellBitmapFile(int32_t file)
{
    FILE* stream = fileFor(file);
    return stream != nullptr ? static_cast<int64_t>(std::ftell(stream)) : -1;
}

void closeBitmapFile(int32_t file)
{
    if (FILE* stream = fileFor(file)) {
        std::fclose(stream);
        openFiles[file] = nullptr;
    }
}

namespace {

// New memory is filled with a pattern instead of zeros, so a test sees any
// byte the reader forgets to initialise.
enum : uint8_t { poison = 0xA5 };

struct BlockHead {
    uint32_t size;
    uint32_t padding[3]; // keeps the block 16-byte aligned
};

} // namespace

uint8_t* allocDibMemory(uint32_t size)
{
    if (!allocationAllowed())
        return nullptr;
    BlockHead* head = static_cast<BlockHead*>(std::malloc(sizeof(BlockHead) + size));
    if (head == nullptr)
        return nullptr;
    head->size = size;
    ++liveBlocks;
    uint8_t* block = reinterpret_cast<uint8_t*>(head + 1);
    std::memset(block, poison, size);
    return block;
}

uint8_t* resizeDibMemory(uint8_t* block, uint32_t size)
{
    uint8_t* moved = allocDibMemory(size);
    if (moved != nullptr) {
        const uint32_t oldSize = (reinterpret_cast<BlockHead*>(block) - 1)->size;
        std::memcpy(moved, block, oldSize < size ? oldSize : size);
    }
    freeDibMemory(block);
    return moved;
}

void freeDibMemory(uint8_t* block)
{
    if (block == nullptr)
        return;
    std::free(reinterpret_cast<BlockHead*>(block) - 1);
    --liveBlocks;
}

const uint8_t* findBitmapResource(const char* name, uint32_t* size)
{
    for (const NamedImage& image : namedImages()) {
        if (image.name == name) {
            *size = static_cast<uint32_t>(image.bytes.size());
            return image.bytes.data();
        }
    }
    *size = 0;
    return nullptr;
}

void addStubBitmapResource(const char* name, const uint8_t* bytes, uint32_t size)
{
    namedImages().push_back(NamedImage{name, std::vector<uint8_t>(bytes, bytes + size)});
}

void clearStubBitmapResources() { namedImages().clear(); }

int32_t liveDibMemoryBlocks() { return liveBlocks; }

void failDibMemoryAfter(int32_t successes) { allocationsLeft = successes; }
