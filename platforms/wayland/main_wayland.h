// vasken on a Wayland compositor: the program (platforms/x11/main_x11.cpp)
// hands over here when it draws on Wayland. The saver covers every output,
// one process per output under a parent that follows the outputs
// (platforms/wayland/outputs_wayland.h); one output or a window of its own
// take one process.
#pragma once
#include <cstdint>

enum class WaylandTarget : uint8_t {
    everyOutput, // the saver: a process per output, or one where the
                 // compositor handed a socket ($WAYLAND_SOCKET)
    oneOutput,   // the saver on the output named
    window,      // an ordinary window of its own
};

struct WaylandProgram {
    WaylandTarget target;
    const char* output; // oneOutput: its name
    bool outputProcess; // started by the parent for one output
    uint32_t seed;
    int32_t pixelSize; // 0: from the output's scale
    bool showFps;
    char** argv; // the program's own, for the per-output processes
};

// Runs the saver until input, a signal or the compositor ends it; the
// settings must be in place. Answers the exit code: 0 when input or a
// signal ended it, 1 after writing one line to stderr on a failure.
int runWayland(const WaylandProgram& program);

// The window's part of the scene driver's seam (scene/scene_driver.h), as
// the program's display switch hands it over.
bool prepareWaylandScene(int32_t deviceWidth, int32_t deviceHeight, int32_t pixelSize);
void releaseWaylandScene();
