// One frame's worth of the renderer's row copies (save-under and restore of
// all 91 sprites, 2,716 rows each way at odd offsets in a 1920-pixel back
// buffer) with the image's block copy, a plain byte loop and the C library's
// memcpy for comparison.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "support/block_copy.h"

namespace {

struct Layer {
    int width, height, count;
};
const Layer layers[6] = {{384, 128, 1}, {192, 64, 4}, {128, 42, 9}, {96, 32, 16}, {80, 26, 25}, {64, 22, 36}};
enum { stride = 1920, rows = 1080 };

__attribute__((noinline, optimize("no-tree-loop-distribute-patterns", "no-tree-vectorize"))) void byteLoop(
    void* target, const void* source, size_t count)
{
    unsigned char* out = static_cast<unsigned char*>(target);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    while (count--)
        *out++ = *in++;
}

__attribute__((noinline)) void blockCopy(void* target, const void* source, size_t count)
{
    blockcopy::copyUp(target, source, count);
}

__attribute__((noinline)) void libraryCopy(void* target, const void* source, size_t count)
{
    std::memcpy(target, source, count);
}

template <void (*copy)(void*, const void*, size_t)>
void frameOfRowCopies(benchmark::State& state)
{
    std::vector<unsigned char> backBuffer(static_cast<size_t>(stride) * rows, 7), saveUnder(384 * 128);
    int64_t bytes = 0;
    for (auto _ : state) {
        int sprite = 0;
        for (const Layer& layer : layers)
            for (int k = 0; k < layer.count; ++k, ++sprite) {
                const int x = (sprite * 211) % (stride - layer.width), y = (sprite * 97) % (rows - layer.height);
                unsigned char* corner = backBuffer.data() + static_cast<size_t>(y) * stride + x;
                for (int row = 0; row < layer.height; ++row)
                    copy(saveUnder.data() + row * layer.width, corner + static_cast<size_t>(row) * stride,
                         static_cast<size_t>(layer.width));
                for (int row = 0; row < layer.height; ++row)
                    copy(corner + static_cast<size_t>(row) * stride, saveUnder.data() + row * layer.width,
                         static_cast<size_t>(layer.width));
                bytes += 2 * static_cast<int64_t>(layer.width) * layer.height;
            }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(bytes);
}

BENCHMARK_TEMPLATE(frameOfRowCopies, blockCopy);
BENCHMARK_TEMPLATE(frameOfRowCopies, byteLoop);
BENCHMARK_TEMPLATE(frameOfRowCopies, libraryCopy);

} // namespace
