// The memory functions the compiler calls in the freestanding image:
// memset, memcpy, memmove and memcmp. They need nothing from the platform,
// so the i486 check programs link this file as it is.
#include <cstddef>

#include "support/block_copy.h"

// The compiler turns loops into calls of these, so their own loops must not
// be recognised as memset/memcpy again; the file is built with
// -fno-tree-loop-distribute-patterns (see the attribute below).
#define RUNTIME_FUNCTION extern "C" __attribute__((used, optimize("no-tree-loop-distribute-patterns")))

RUNTIME_FUNCTION void* memset(void* target, int value, size_t count)
{
    blockcopy::fill(target, static_cast<unsigned char>(value), count);
    return target;
}

RUNTIME_FUNCTION void* memcpy(void* target, const void* source, size_t count)
{
    blockcopy::copyUp(target, source, count);
    return target;
}

RUNTIME_FUNCTION void* memmove(void* target, const void* source, size_t count)
{
    blockcopy::move(target, source, count);
    return target;
}

RUNTIME_FUNCTION int memcmp(const void* left, const void* right, size_t count)
{
    const unsigned char* a = static_cast<const unsigned char*>(left);
    const unsigned char* b = static_cast<const unsigned char*>(right);
    for (; count; --count, ++a, ++b)
        if (*a != *b)
            return *a < *b ? -1 : 1;
    return 0;
}
