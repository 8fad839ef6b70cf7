// One frame tick of the whole scene (square, formation step, sound trigger,
// sprite updates, dirty-rectangle pass) with the stand-in presenter, with the
// generated pattern images, at screen sizes up to a desktop of three
// 3840 x 2160 monitors side by side.
#include <benchmark/benchmark.h>

#include <ctime>
#include <new>
#include <string>

#include "formation/formation.h"
#include "render/bitmap_source.h"
#include "platforms/stub/stub.h"
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
    clearStubBitmapResources();
    for (int p = 0; p < scenePatternCount; ++p) {
        const Bytes file = patternBitmapFile(p);
        const std::string name = "SPPAT_R" + std::to_string(p);
        addStubBitmapResource(name.c_str(), file.data() + 14, static_cast<uint32_t>(file.size() - 14));
    }
}

// A scene of the given size, as the saver sets it up, on the stand-in presenter.
void setUpScene(int32_t width, int32_t height)
{
    loadGeneratedPatterns();
    spriteRenderer.~SpriteRenderer();
    new (&spriteRenderer) SpriteRenderer();
    resetStubDisplay(width, height);
    setStubTickCount(0);
    scene.screenWidth = width;
    scene.screenHeight = height;
    settings = Settings{1, 10, 10};
    seedRandom(1);
    loadSoundBank();
    setupScene(stubWindow());
}

double threadCpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_FrameTick(benchmark::State& state)
{
    const int32_t width = static_cast<int32_t>(state.range(0));
    const int32_t height = static_cast<int32_t>(state.range(1));
    setUpScene(width, height);
    for (auto _ : state) {
        frameTick(stubWindow());
        // The recorders would otherwise grow without end.
        clearStubPresents();
        clearStubDisplayCalls();
    }
    // What the scene keeps in memory, as the renderer allocated it: the 8-bit
    // back buffer grows with the screen, the sprites' save-unders do not.
    const DibSurface& back = spriteRenderer.back();
    double saveUnders = 0;
    for (int32_t i = 0; i < shipCount(); ++i) {
        const DibSurface& under = spriteRenderer.sprite(i)->saveUnder;
        saveUnders += static_cast<double>(under.stride()) * under.height;
    }
    state.counters["back_buffer_MB"] = static_cast<double>(back.stride()) * back.height / 1e6;
    state.counters["save_unders_MB"] = saveUnders / 1e6;
    releaseSoundBank();
}
BENCHMARK(BM_FrameTick)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Args({11520, 2160})
    ->Unit(benchmark::kMicrosecond);

// The same tick at the saver's pace: 10 ms of sleep before each one, as
// between the program's frames, so that it starts from whatever of its
// memory the caches kept over such a pause. The time is the tick's own CPU
// time.
void BM_FrameTickPaced(benchmark::State& state)
{
    setUpScene(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
    for (auto _ : state) {
        const timespec pause = {0, 10000000};
        nanosleep(&pause, nullptr);
        const double start = threadCpuSeconds();
        frameTick(stubWindow());
        state.SetIterationTime(threadCpuSeconds() - start);
        clearStubPresents();
        clearStubDisplayCalls();
    }
    releaseSoundBank();
}
BENCHMARK(BM_FrameTickPaced)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

} // namespace
