// The --fps counter: frames counted over about a second on the monotonic
// clock, and the CPU time of the process over the same span.
#include "platforms/fps/fps_count.h"

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

struct FpsCount {
    bool counting;
    uint32_t frames;
    uint64_t since;    // microseconds, monotonic
    uint64_t cpuSince; // microseconds of the process's CPU time
    char text[64];
};

FpsCount fps;

uint64_t monotonicMicroseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

uint64_t cpuMicroseconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000u +
           static_cast<uint64_t>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

} // namespace

void startFpsCount()
{
    fps.counting = true;
    fps.frames = 0;
    fps.since = monotonicMicroseconds();
    fps.cpuSince = cpuMicroseconds();
    std::snprintf(fps.text, sizeof fps.text, "FPS: -\nLoad: -");
}

void countFpsFrame()
{
    if (!fps.counting)
        return;
    ++fps.frames;
    const uint64_t now = monotonicMicroseconds();
    const uint64_t elapsed = now - fps.since;
    if (elapsed < 1000000u)
        return;
    const uint64_t cpu = cpuMicroseconds();
    std::snprintf(fps.text, sizeof fps.text, "FPS: %.1f\nLoad: %.1f%%", fps.frames * 1e6 / elapsed,
                  (cpu - fps.cpuSince) * 100.0 / elapsed);
    fps.frames = 0;
    fps.since = now;
    fps.cpuSince = cpu;
}

const char* fpsText() { return fps.text; }
