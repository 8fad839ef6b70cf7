// Block copies and fills for the image's own memcpy/memset/memmove. The
// renderer moves every sprite's background row by row each frame (about
// 5,400 rows of 64 to 384 bytes), so these run a machine word at a time, four
// words per step: a byte loop would make them the bulk of a frame. x86
// reads and writes words at any address, so no alignment is arranged.
#pragma once

#include <cstddef>

// Loops here must not be turned back into calls of the functions they serve.
#define BLOCK_COPY_FUNCTION inline __attribute__((optimize("no-tree-loop-distribute-patterns")))

namespace blockcopy {

typedef size_t __attribute__((may_alias, aligned(1))) Word;
enum : size_t { wordSize = sizeof(Word), stepSize = 4 * sizeof(Word) };

// Copies count bytes upwards; overlap is allowed only when target <= source:
// each step reads its four words before it writes any.
BLOCK_COPY_FUNCTION void copyUp(void* target, const void* source, size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    for (; count >= stepSize; count -= stepSize, out += stepSize, in += stepSize) {
        const Word* from = reinterpret_cast<const Word*>(in);
        Word* to = reinterpret_cast<Word*>(out);
        const Word a = from[0], b = from[1], c = from[2], d = from[3];
        to[0] = a;
        to[1] = b;
        to[2] = c;
        to[3] = d;
    }
    for (; count >= wordSize; count -= wordSize, out += wordSize, in += wordSize)
        *reinterpret_cast<Word*>(out) = *reinterpret_cast<const Word*>(in);
    while (count--)
        *out++ = *in++;
}

// Copies count bytes downwards, the last bytes first; for target > source.
BLOCK_COPY_FUNCTION void copyDown(void* target, const void* source, size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    for (; count >= stepSize; count -= stepSize) {
        const Word* from = reinterpret_cast<const Word*>(in + count - stepSize);
        Word* to = reinterpret_cast<Word*>(out + count - stepSize);
        const Word a = from[0], b = from[1], c = from[2], d = from[3];
        to[3] = d;
        to[2] = c;
        to[1] = b;
        to[0] = a;
    }
    for (; count >= wordSize; count -= wordSize)
        *reinterpret_cast<Word*>(out + count - wordSize) = *reinterpret_cast<const Word*>(in + count - wordSize);
    while (count) {
        --count;
        out[count] = in[count];
    }
}

BLOCK_COPY_FUNCTION void fill(void* target, unsigned char value, size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    const Word pattern = static_cast<Word>(value) * (~static_cast<Word>(0) / 0xFF);
    for (; count >= wordSize; count -= wordSize, out += wordSize)
        *reinterpret_cast<Word*>(out) = pattern;
    while (count--)
        *out++ = value;
}

// memmove's choice: upwards unless the target starts inside the source.
BLOCK_COPY_FUNCTION void move(void* target, const void* source, size_t count)
{
    const unsigned char* out = static_cast<const unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    if (out <= in || out >= in + count)
        copyUp(target, source, count);
    else
        copyDown(target, source, count);
}

} // namespace blockcopy

#undef BLOCK_COPY_FUNCTION
