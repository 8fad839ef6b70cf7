// Win32 back end of the bitmap sources: OpenFile with its own search order
// and the 16-bit-compatible file calls, movable global memory kept locked,
// and RT_BITMAP resources of the running image.
#include "render/bitmap_source.h"

#include <windows.h>

int32_t openBitmapFile(const char* name)
{
    OFSTRUCT openInfo;
    const HFILE file = OpenFile(name, &openInfo, OF_READ);
    return file == HFILE_ERROR ? noBitmapFile : static_cast<int32_t>(file);
}

uint32_t readBitmapFile(int32_t file, void* target, uint32_t count)
{
    const long got = _hread(static_cast<HFILE>(file), target, static_cast<long>(count));
    return got > 0 ? static_cast<uint32_t>(got) : 0;
}

bool seekBitmapFile(int32_t file, uint32_t position)
{
    return _llseek(static_cast<HFILE>(file), static_cast<LONG>(position), FILE_BEGIN) != HFILE_ERROR;
}

int64_t tellBitmapFile(int32_t file)
{
    const LONG position = _llseek(static_cast<HFILE>(file), 0, FILE_CURRENT);
    return position == HFILE_ERROR ? -1 : static_cast<int64_t>(position);
}

void closeBitmapFile(int32_t file) { _lclose(static_cast<HFILE>(file)); }

uint8_t* allocDibMemory(uint32_t size)
{
    const HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, size);
    if (handle == nullptr)
        return nullptr;
    uint8_t* block = static_cast<uint8_t*>(GlobalLock(handle));
    if (block == nullptr)
        GlobalFree(handle);
    return block;
}

uint8_t* resizeDibMemory(uint8_t* block, uint32_t size)
{
    const HGLOBAL handle = GlobalHandle(block);
    GlobalUnlock(handle);
    // Unlocked, the block may move to wherever the new size fits.
    const HGLOBAL resized = GlobalReAlloc(handle, size, 0);
    if (resized == nullptr) {
        GlobalFree(handle);
        return nullptr;
    }
    uint8_t* moved = static_cast<uint8_t*>(GlobalLock(resized));
    if (moved == nullptr)
        GlobalFree(resized);
    return moved;
}

void freeDibMemory(uint8_t* block)
{
    if (block == nullptr)
        return;
    const HGLOBAL handle = GlobalHandle(block);
    GlobalUnlock(handle);
    GlobalFree(handle);
}

const uint8_t* findBitmapResource(const char* name, uint32_t* size)
{
    *size = 0;
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(module, name, RT_BITMAP);
    if (resource == nullptr)
        return nullptr;
    const HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr)
        return nullptr;
    *size = SizeofResource(module, resource);
    return static_cast<const uint8_t*>(LockResource(loaded));
}
