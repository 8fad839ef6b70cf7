// vasken on a Wayland compositor, one surface: the scene driver runs on the
// surface's configured size and scale from the Linux programs' event loop
// (platforms/loop/event_loop.h). A frame is drawn when the animation
// interval has passed and the compositor asked for one (its frame
// callback); otherwise the loop sleeps on the display's descriptor and the
// end signals: a surface the compositor does not show costs no CPU.
#include "platforms/wayland/main_wayland.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platforms/alsa/sound_player_alsa.h"
#include "platforms/fps/fps_count.h"
#include "platforms/loop/event_loop.h"
#include "platforms/wayland/connection_wayland.h"
#include "platforms/wayland/display_wayland.h"
#include "platforms/wayland/outputs_wayland.h"
#include "platforms/wayland/surface_wayland.h"
#include "scene/scene_driver.h"
#include "support/clock.h"

namespace {

// How the loop ended, beside a signal.
enum class Ending : uint8_t { signal, input, outputGone, compositorGone };

struct WaylandLoop {
    const WaylandProgram* program;
    SceneDriver driver;
    bool sceneOpen;
    const char* error; // why the window could not take the scene
    Ending ending;
};

WaylandLoop loop;

int fail(const std::string& message)
{
    std::fprintf(stderr, "vasken: %s\n", message.c_str());
    return exitFailed;
}

// The output the surface covers went away with its global.
bool outputGone()
{
    if (saverSurface.outputGlobal == 0)
        return false;
    for (const WaylandOutput& output : wayland.outputs)
        if (output.output != nullptr && output.global == saverSurface.outputGlobal)
            return false;
    return true;
}

// Reads and handles what the compositor sent, without waiting.
bool readEvents()
{
    wl_display* display = wayland.display;
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0)
            return false;
    return wl_display_read_events(display) >= 0 && wl_display_dispatch_pending(display) >= 0;
}

// The scene opens with the surface's first configure, at its size.
bool openOnSurface(const SurfaceSize& size)
{
    loop.sceneOpen = true;
    if (loop.program->showFps)
        startFpsCount();
    return openScene(loop.driver, &saverSurface, size.deviceWidth, size.deviceHeight, size.scale,
                     loop.program->pixelSize, loop.program->seed, readTickCount());
}

// A new scale with the same device size (an output scaled up as the
// compositor halves the surface) is laid out here; a new size goes through
// the loop's resize.
LoopStep takeEvents(void*, WindowSize& size, std::string& error)
{
    if (!readEvents()) {
        loop.ending = Ending::compositorGone;
        error = waylandLossReason();
        return LoopStep::failed;
    }
    if (wayland.inputEnded) {
        loop.ending = Ending::input;
        return LoopStep::stop;
    }
    if (saverSurface.closed || outputGone()) {
        loop.ending = Ending::outputGone;
        return LoopStep::stop;
    }
    if (!saverSurface.configured)
        return LoopStep::run;
    const SurfaceSize now = waylandSurfaceSize();
    size = WindowSize{now.deviceWidth, now.deviceHeight};
    if (!loop.sceneOpen && !openOnSurface(now)) {
        error = loop.error != nullptr ? loop.error : "the window cannot show the scene";
        return LoopStep::failed;
    }
    if (now.scale != loop.driver.scale && now.deviceWidth == loop.driver.deviceWidth &&
        now.deviceHeight == loop.driver.deviceHeight &&
        !resizeScene(loop.driver, now.deviceWidth, now.deviceHeight, now.scale)) {
        error = loop.error != nullptr ? loop.error : "the window cannot show the scene";
        return LoopStep::failed;
    }
    return LoopStep::run;
}

LoopStep resize(void*, WindowSize size, std::string& error)
{
    if (!resizeScene(loop.driver, size.width, size.height, waylandSurfaceSize().scale)) {
        error = loop.error != nullptr ? loop.error : "the window cannot show the scene";
        return LoopStep::failed;
    }
    return LoopStep::run;
}

// Nothing is drawn while the compositor has not asked for a frame, or holds
// every buffer: its frame callback or a buffer's release wakes the loop.
uint32_t frameDelay(void*)
{
    if (!loop.sceneOpen || !waylandFrameWanted() || !waylandBufferFree())
        return waitForEvents;
    if (waylandWindowChanged())
        return 0;
    return sceneTickDelay(loop.driver, readTickCount()) * 1000u;
}

void drawFrame(void*)
{
    if (sceneTickDelay(loop.driver, readTickCount()) == 0)
        tickScene(loop.driver, readTickCount());
    if (attachWaylandFrame())
        commitWaylandSurface();
}

// A full socket keeps the rest until the compositor has read some: the
// next flush sends it.
void endBatch(void*) { wl_display_flush(wayland.display); }

const WaylandOutput* firstReadyOutput()
{
    for (const WaylandOutput& output : wayland.outputs)
        if (waylandOutputReady(output))
            return &output;
    return nullptr;
}

// Runs the scene on the surface, from its first configure on, until
// something ends it; the exit code.
int runSurface(const WaylandProgram& program)
{
    loop.program = &program;
    const EventLoop events = {wl_display_get_fd(wayland.display), nullptr, takeEvents, resize, frameDelay,
                              drawFrame,                            endBatch};
    std::string error;
    const LoopStep end = runEventLoop(events, WindowSize{0, 0}, error);
    if (end == LoopStep::failed) {
        const bool lost = loop.ending == Ending::compositorGone && !waylandProtocolError();
        return program.outputProcess && lost ? exitCompositorGone : fail(error);
    }
    return loop.ending == Ending::outputGone && program.outputProcess ? exitOutputGone : exitByInput;
}

} // namespace

bool prepareWaylandScene(int32_t deviceWidth, int32_t deviceHeight, int32_t pixelSize)
{
    return resizeWaylandWindow(deviceWidth, deviceHeight, pixelSize, &loop.error);
}

void releaseWaylandScene() { closeWaylandWindow(); }

int runWayland(const WaylandProgram& program)
{
    loop = WaylandLoop{};
    if (!watchEndSignals())
        return fail("cannot watch for signals");
    // libwayland takes $WAYLAND_SOCKET out of the environment as it
    // connects.
    const bool handedSocket = std::getenv("WAYLAND_SOCKET") != nullptr;
    const char* error = nullptr;
    if (!connectWayland(&error)) {
        disconnectWayland();
        return program.outputProcess ? exitCompositorGone : fail(error);
    }
    // A compositor that hands over a socket (a lock screen running the
    // saver as its background) expects one process on it.
    if (program.target == WaylandTarget::everyOutput && !handedSocket) {
        const int result = runOutputProcesses(program);
        disconnectWayland();
        return result;
    }
    const WaylandOutput* output = nullptr;
    if (program.target == WaylandTarget::oneOutput) {
        output = findWaylandOutput(program.output);
        if (output == nullptr) {
            disconnectWayland();
            return program.outputProcess ? exitOutputGone
                                         : fail(std::string("there is no output named '") + program.output + "'");
        }
    } else if (program.target == WaylandTarget::everyOutput) {
        output = firstReadyOutput();
    }
    SurfaceRole role = SurfaceRole::window;
    if (program.target != WaylandTarget::window)
        role = wayland.layerShell != nullptr ? SurfaceRole::layer : SurfaceRole::fullScreen;
    wayland.inputEnds = role == SurfaceRole::window ? InputEnds::keyOrButton : InputEnds::anyInput;
    if (!createWaylandSurface(role, output, &error)) {
        disconnectWayland();
        return fail(error);
    }
    openWaylandWindow(wayland.shm, saverSurface.surface, WL_SHM_FORMAT_XRGB8888);
    const int result = runSurface(program);
    if (loop.sceneOpen)
        closeScene(loop.driver);
    closeWaylandWindow();
    destroyWaylandSurface();
    disconnectWayland();
    closeSoundPlayer();
    return result;
}
