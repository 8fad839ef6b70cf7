// A minimal C++ runtime for the freestanding image: operator new/delete on
// the process heap, and the static-object table the compiler registers
// destructors in (the memory functions are in memory_image.cpp). Nothing
// here may call into a C runtime DLL.
#include "platforms/win32/runtime_image.h"

#include <windows.h>

#include <cstddef>
#include <new>

void* operator new(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void* operator new[](size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
// Code that must survive a failed allocation asks with std::nothrow: the
// compiler may drop a null test after a plain new.
namespace std { const nothrow_t nothrow{}; }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return operator new(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return operator new[](size); }
void operator delete(void* block) noexcept
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}
void operator delete[](void* block) noexcept
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete[](block); }

namespace {

// Static objects register their destructors here while the constructors run;
// the table is fixed in size because the image has only a handful of them.
enum { exitTableSize = 32 };
void (*exitHandlers[exitTableSize])();
void (*exitHandlersWithArgument[exitTableSize])(void*);
void* exitArguments[exitTableSize];
bool exitWithArgument[exitTableSize];
int exitCount = 0;

} // namespace

extern "C" int atexit(void (*handler)())
{
    if (exitCount >= exitTableSize)
        return -1;
    exitWithArgument[exitCount] = false;
    exitHandlers[exitCount++] = handler;
    return 0;
}

extern "C" int __cxa_atexit(void (*handler)(void*), void* argument, void*)
{
    if (exitCount >= exitTableSize)
        return -1;
    exitWithArgument[exitCount] = true;
    exitHandlersWithArgument[exitCount] = handler;
    exitArguments[exitCount++] = argument;
    return 0;
}

extern "C" { void* __dso_handle = nullptr; }

// The linker's PE script brackets the constructor list with these symbols:
// a -1 marker, the entries, and a terminating 0.
typedef void (*Constructor)();
extern "C" Constructor __CTOR_LIST__[];

void runStaticConstructors()
{
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr)
        ++count;
    // The list is run from its end, as the platform's own runtime does.
    for (size_t i = count; i >= 1; --i)
        __CTOR_LIST__[i]();
}

void runExitHandlers()
{
    while (exitCount > 0) {
        --exitCount;
        if (exitWithArgument[exitCount])
            exitHandlersWithArgument[exitCount](exitArguments[exitCount]);
        else
            exitHandlers[exitCount]();
    }
}
