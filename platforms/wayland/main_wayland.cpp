// vasken's Wayland loop for one surface: the scene driver runs on the
// surface's configured size and scale, a frame is drawn when the animation
// interval has passed and the compositor asked for one (its frame
// callback), and otherwise the loop blocks on the display's descriptor and
// the signal pipe: a surface the compositor does not show costs no CPU.
#include "platforms/wayland/main_wayland.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platforms/wayland/connection_wayland.h"
#include "platforms/wayland/display_wayland.h"
#include "platforms/wayland/outputs_wayland.h"
#include "platforms/wayland/signals_wayland.h"
#include "platforms/wayland/surface_wayland.h"
#include "scene/scene_driver.h"
#include "support/clock.h"

namespace {

struct WaylandLoop {
    SceneDriver driver;
    bool sceneOpen;
    const char* error; // why the window could not take the scene
    int signals;       // the signal pipe
};

WaylandLoop loop;

int fail(const std::string& message)
{
    std::fprintf(stderr, "vasken: %s\n", message.c_str());
    return exitFailed;
}

// Lays the scene out for the surface's size and scale: the first time,
// the run opens; later only when they changed.
bool layOut(const WaylandProgram& program)
{
    const SurfaceSize size = waylandSurfaceSize();
    if (!loop.sceneOpen) {
        loop.sceneOpen = true;
        return openScene(loop.driver, &saverSurface, size.deviceWidth, size.deviceHeight, size.scale, program.pixelSize,
                         program.seed, readTickCount());
    }
    if (size.deviceWidth == loop.driver.deviceWidth && size.deviceHeight == loop.driver.deviceHeight &&
        size.scale == loop.driver.scale)
        return true;
    return resizeScene(loop.driver, size.deviceWidth, size.deviceHeight, size.scale);
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

// Runs until something ends it; the exit code.
int runSurface(const WaylandProgram& program)
{
    for (;;) {
        if (wayland.inputEnded)
            return exitByInput;
        if (saverSurface.closed || outputGone())
            return program.outputProcess ? exitOutputGone : exitByInput;
        if (saverSurface.configured && !layOut(program))
            return fail(loop.error != nullptr ? loop.error : "the window cannot show the scene");
        int timeout = -1;
        if (waylandFrameWanted()) {
            const uint32_t delay = sceneTickDelay(loop.driver, readTickCount());
            if (delay == 0)
                tickScene(loop.driver, readTickCount());
            if (attachWaylandFrame())
                commitWaylandSurface();
            else if (!waylandWindowChanged())
                timeout = static_cast<int>(sceneTickDelay(loop.driver, readTickCount()));
            // Otherwise every buffer is held: a release wakes the loop.
        }
        bool signalled = false;
        if (!waitWayland(timeout, loop.signals, signalled))
            return program.outputProcess && !waylandProtocolError() ? exitCompositorGone : fail(waylandLossReason());
        if (signalled && takeSignal() == signalEnd)
            return exitByInput;
    }
}

const WaylandOutput* firstReadyOutput()
{
    for (const WaylandOutput& output : wayland.outputs)
        if (waylandOutputReady(output))
            return &output;
    return nullptr;
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
    loop.signals = watchSignals(program.target == WaylandTarget::everyOutput);
    if (loop.signals < 0)
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
        const int result = runOutputProcesses(program, loop.signals);
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
    return result;
}
