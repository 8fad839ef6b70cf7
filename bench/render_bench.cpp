// One complete frame of the 91-sprite scene (set every sprite, renderPass
// with the stand-in presenter) at three window sizes, beside a plain full-frame
// compositor (clear, draw every sprite, copy the whole frame) for comparison.
// The dirty-rectangle pass should cost about the same at every size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/bitmap_source.h"
#include "platforms/stub/stub.h"
#include "render/sprite_renderer.h"

namespace {

// Layers 1 ... 6: the nearest has one large sprite, the farthest 36 small ones.
struct Layer {
    int32_t width, height, count, speed;
};
const Layer layers[6] = {{384, 128, 1, 6}, {192, 64, 4, 5}, {128, 42, 9, 4},
                         {96, 32, 16, 3},  {80, 26, 25, 2}, {64, 22, 36, 1}};
enum { spriteCount = 91, framesPerLayer = 4 };

// One pattern image per layer: four frames stacked, edges transparent.
std::vector<uint8_t> layerPattern(const Layer& layer)
{
    const int32_t width = layer.width, height = layer.height * framesPerLayer;
    const int32_t stride = static_cast<int32_t>(dibStride(8, width));
    std::vector<uint8_t> bytes(1064 + static_cast<size_t>(stride) * height, 0);
    const uint32_t header[] = {40, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1 | (8 << 16), 0,
                               0,  0, 0, 0, 0};
    std::memcpy(bytes.data(), header, 40);
    for (int32_t k = 0; k < 256; ++k) {
        bytes[40 + 4 * k] = static_cast<uint8_t>(k);
        bytes[40 + 4 * k + 1] = static_cast<uint8_t>(255 - k);
        bytes[40 + 4 * k + 2] = static_cast<uint8_t>(k * 3);
    }
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t fy = y % layer.height;
            const bool edge = x < width / 8 || x >= width - width / 8 || fy < layer.height / 6 ||
                              fy >= layer.height - layer.height / 6;
            bytes[1064 + static_cast<size_t>(stride) * (height - 1 - y) + x] =
                static_cast<uint8_t>(edge ? 10 : 20 + (x + y) % 200);
        }
    return bytes;
}

struct Placement {
    int32_t layer;
    int32_t x, y; // centre
};

// Spreads each layer across the window in its own height band. Every sprite
// stays wholly inside the window, also at 640 x 480, so each size does the
// same drawing work and only the window size differs.
std::vector<Placement> layout(int32_t width, int32_t height)
{
    std::vector<Placement> out;
    for (int32_t l = 0; l < 6; ++l) {
        const Layer& layer = layers[l];
        const int32_t band = height - layer.height;
        for (int32_t j = 0; j < layer.count; ++j)
            out.push_back(Placement{l, layer.width / 2 + (width - layer.width) * j / layer.count,
                                    layer.height / 2 + band * l / 6 + (j * 53) % (band / 6 + 1)});
    }
    return out;
}

// Moves a sprite left by its layer's speed, wrapping within the window.
void step(Placement& p, int32_t width)
{
    const Layer& layer = layers[p.layer];
    p.x -= layer.speed;
    if (p.x < layer.width / 2)
        p.x += width - layer.width;
}

void loadPatterns()
{
    clearStubBitmapResources();
    for (int32_t l = 0; l < 6; ++l) {
        const std::vector<uint8_t> bytes = layerPattern(layers[l]);
        const std::string name = "SPPAT_R" + std::to_string(l);
        addStubBitmapResource(name.c_str(), bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
}

void BM_DirtyRectanglePass(benchmark::State& state)
{
    const int32_t width = static_cast<int32_t>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    resetStubDisplay(width, height);
    loadPatterns();
    std::vector<Placement> sprites = layout(width, height);
    {
        SpriteRenderer renderer;
        renderer.initialize(stubWindow(), spriteCount, 6 * framesPerLayer, 6, width, height);
        for (int32_t l = 0; l < 6; ++l)
            for (int32_t f = 0; f < framesPerLayer; ++f)
                renderer.setFrameEntry(l * framesPerLayer + f, l, layers[l].width / 2,
                                       layers[l].height * f + layers[l].height / 2);
        for (int32_t i = 0; i < spriteCount; ++i)
            renderer.setSpriteSize(i, layers[sprites[i].layer].width, layers[sprites[i].layer].height);
        int32_t tick = 0;
        for (auto _ : state) {
            ++tick;
            for (int32_t i = 0; i < spriteCount; ++i) {
                Placement& p = sprites[i];
                step(p, width);
                renderer.setSpriteVisible(i, true);
                renderer.setSpriteFrame(i, p.layer * framesPerLayer + (tick / 4 + i) % framesPerLayer);
                renderer.setSpritePosition(i, p.x, p.y);
            }
            renderer.renderPass(stubWindow());
            clearStubPresents();
            clearStubDisplayCalls();
        }
    }
    clearStubBitmapResources();
}

void BM_FullFrameCompositor(benchmark::State& state)
{
    const int32_t width = static_cast<int32_t>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    loadPatterns();
    DibSurface patterns[6];
    for (int32_t l = 0; l < 6; ++l)
        patterns[l].loadNamed(("SPPAT_R" + std::to_string(l)).c_str());
    DibSurface back;
    back.createBlank(width, height);
    std::vector<uint8_t> window(static_cast<size_t>(width) * height);
    std::vector<Placement> sprites = layout(width, height);
    int32_t tick = 0;
    for (auto _ : state) {
        ++tick;
        std::memset(back.bits, 0, static_cast<size_t>(back.stride()) * height);
        for (int32_t i = spriteCount - 1; i >= 0; --i) {
            Placement& p = sprites[i];
            step(p, width);
            const Layer& layer = layers[p.layer];
            const int32_t frame = (tick / 4 + i) % framesPerLayer;
            patterns[p.layer].drawTransparent(&back, p.x - layer.width / 2, p.y - layer.height / 2, layer.width,
                                              layer.height, 0, frame * layer.height);
        }
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(&window[static_cast<size_t>(y) * width], back.pixelAddress(0, y), width);
        benchmark::DoNotOptimize(window.data());
    }
    clearStubBitmapResources();
}

} // namespace

BENCHMARK(BM_DirtyRectanglePass)->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullFrameCompositor)->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
