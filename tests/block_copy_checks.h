// Exhaustive small cases of the image's block copies against a byte-by-byte
// model: every length to a few words past the machine word, every alignment
// of both ends, overlap both ways, and guard bytes on each side that must
// stay as they were. The native tests and the i486 program under emulation
// both run them; no C library is used.
#pragma once
#include <cstddef>
#include <cstdint>

#include "support/block_copy.h"

namespace block_copy_checks {

enum : int { maxLength = 70, maxOffset = 9, guard = 16, span = guard + maxOffset + maxLength + 24 + guard };

struct Failure {
    int failures = 0;
    const char* operation = nullptr; // first failing case
    int length = 0, targetOffset = 0, sourceOffset = 0;
};

inline void note(Failure& f, const char* operation, int length, int targetOffset, int sourceOffset)
{
    if (f.failures++ == 0) {
        f.operation = operation;
        f.length = length;
        f.targetOffset = targetOffset;
        f.sourceOffset = sourceOffset;
    }
}

inline unsigned char pattern(int i, int salt) { return static_cast<unsigned char>(i * 37 + salt * 11 + 5); }

inline bool same(const unsigned char* a, const unsigned char* b, int n)
{
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// copyUp between separate buffers, and fill.
inline void checkCopyAndFill(Failure& f)
{
    alignas(16) unsigned char source[span], target[span], model[span];
    for (int length = 0; length <= maxLength; ++length)
        for (int to = 0; to < maxOffset; ++to)
            for (int from = 0; from < maxOffset; ++from) {
                for (int i = 0; i < span; ++i) {
                    source[i] = pattern(i, 1);
                    target[i] = model[i] = pattern(i, 2);
                }
                for (int i = 0; i < length; ++i)
                    model[guard + to + i] = source[guard + from + i];
                blockcopy::copyUp(target + guard + to, source + guard + from, static_cast<size_t>(length));
                if (!same(target, model, span))
                    note(f, "copyUp", length, to, from);
            }
    const unsigned char values[] = {0x00, 0x80, 0xFF, 0x5A};
    for (unsigned char value : values)
        for (int length = 0; length <= maxLength; ++length)
            for (int to = 0; to < maxOffset; ++to) {
                for (int i = 0; i < span; ++i)
                    target[i] = model[i] = pattern(i, 3);
                for (int i = 0; i < length; ++i)
                    model[guard + to + i] = value;
                blockcopy::fill(target + guard + to, value, static_cast<size_t>(length));
                if (!same(target, model, span))
                    note(f, "fill", length, to, value);
            }
}

// move within one buffer, the target shifted from the source by -24..24.
inline void checkOverlappingMoves(Failure& f)
{
    alignas(16) unsigned char buffer[span + 48], model[span + 48];
    const int base = guard + 24;
    for (int length = 0; length <= maxLength; ++length)
        for (int from = 0; from < maxOffset; ++from)
            for (int shift = -24; shift <= 24; ++shift) {
                for (int i = 0; i < span + 48; ++i)
                    buffer[i] = model[i] = pattern(i, 4);
                unsigned char original[maxLength];
                for (int i = 0; i < length; ++i)
                    original[i] = buffer[base + from + i];
                for (int i = 0; i < length; ++i)
                    model[base + from + shift + i] = original[i];
                blockcopy::move(buffer + base + from + shift, buffer + base + from, static_cast<size_t>(length));
                if (!same(buffer, model, span + 48))
                    note(f, "move", length, from + shift, from);
            }
}

inline Failure runAll()
{
    Failure f;
    checkCopyAndFill(f);
    checkOverlappingMoves(f);
    return f;
}

} // namespace block_copy_checks
