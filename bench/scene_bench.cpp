// One frame tick of the whole scene (square, formation step, sound trigger,
// sprite updates, dirty-rectangle pass) with the native presenter, at three
// screen sizes, with the generated pattern images.
#include <benchmark/benchmark.h>

#include <new>
#include <string>

#include "render/bitmap_source.h"
#include "render/display_stub.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "scene/sound.h"
#include "settings/settings.h"
#include "support/clock.h"
#include "support/random.h"
#include "tools/resgen/resources.h"

namespace {

void loadGeneratedPatterns()
{
    clearNativeBitmapResources();
    for (int p = 0; p < scenePatternCount; ++p) {
        const Bytes file = patternBitmapFile(p);
        const std::string name = "SPPAT_R" + std::to_string(p);
        addNativeBitmapResource(name.c_str(), file.data() + 14, static_cast<uint32_t>(file.size() - 14));
    }
}

void BM_FrameTick(benchmark::State& state)
{
    const int32_t width = static_cast<int32_t>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    loadGeneratedPatterns();
    spriteRenderer.~SpriteRenderer();
    new (&spriteRenderer) SpriteRenderer();
    resetNativeDisplay(width, height);
    setNativeTickCount(0);
    scene.screenWidth = width;
    scene.screenHeight = height;
    settings = Settings{1, 10, 10};
    seedRandom(1);
    loadSoundBank();
    setupScene(nativeWindow());
    for (auto _ : state) {
        frameTick(nativeWindow());
        // The recorders would otherwise grow without end.
        clearNativePresents();
        clearNativeDisplayCalls();
    }
    releaseSoundBank();
}
BENCHMARK(BM_FrameTick)->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);

} // namespace
