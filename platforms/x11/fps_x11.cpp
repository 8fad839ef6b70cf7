// The --fps counter and its overlay: frames counted over about a second,
// the CPU time of the process over the same span, and the text drawn over
// the window's corner as XScreenSaver's hacks draw their frame rate.
#include "platforms/x11/fps_x11.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

struct FpsOverlay {
    bool counting;
    uint32_t frames;
    uint64_t since;    // microseconds, monotonic
    uint64_t cpuSince; // microseconds of the process's CPU time
    char text[64];
    bool changed;
    XFontStruct* font;
    GC gc;
};

FpsOverlay fps;

uint64_t cpuMicroseconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000u +
           static_cast<uint64_t>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void showText(const char* text)
{
    std::snprintf(fps.text, sizeof fps.text, "%s", text);
    fps.changed = true;
}

} // namespace

void startFpsCount(uint64_t now)
{
    fps.counting = true;
    fps.frames = 0;
    fps.since = now;
    fps.cpuSince = cpuMicroseconds();
    showText("FPS: -\nLoad: -");
}

void countFpsFrame(uint64_t now)
{
    if (!fps.counting)
        return;
    ++fps.frames;
    const uint64_t elapsed = now - fps.since;
    if (elapsed < 1000000u)
        return;
    const uint64_t cpu = cpuMicroseconds();
    char text[64];
    std::snprintf(text, sizeof text, "FPS: %.1f\nLoad: %.1f%%", fps.frames * 1e6 / elapsed,
                  (cpu - fps.cpuSince) * 100.0 / elapsed);
    showText(text);
    fps.frames = 0;
    fps.since = now;
    fps.cpuSince = cpu;
}

bool fpsOverlayChanged() { return fps.changed; }

void drawFpsOverlay(Display* display, Window window, int32_t height, unsigned long foreground,
                    unsigned long background)
{
    fps.changed = false;
    if (fps.text[0] == '\0')
        return;
    if (fps.gc == nullptr) {
        fps.font = XLoadQueryFont(display, "fixed");
        if (fps.font == nullptr) {
            fps.text[0] = '\0';
            return;
        }
        fps.gc = XCreateGC(display, window, 0, nullptr);
        XSetFont(display, fps.gc, fps.font->fid);
        XSetForeground(display, fps.gc, foreground);
        XSetBackground(display, fps.gc, background);
    }
    const int lineHeight = fps.font->ascent + fps.font->descent;
    int lines = 1;
    for (const char* c = fps.text; *c != '\0'; ++c)
        lines += *c == '\n';
    int baseline = height - 8 - fps.font->descent - (lines - 1) * lineHeight;
    for (const char* line = fps.text; *line != '\0'; baseline += lineHeight) {
        const char* end = std::strchr(line, '\n');
        const int length = static_cast<int>(end != nullptr ? end - line : std::strlen(line));
        XDrawImageString(display, window, fps.gc, 8, baseline, line, length);
        if (end == nullptr)
            break;
        line = end + 1;
    }
}

void closeFpsOverlay(Display* display)
{
    if (fps.gc != nullptr)
        XFreeGC(display, fps.gc);
    if (fps.font != nullptr)
        XFreeFont(display, fps.font);
    fps = FpsOverlay{};
}
