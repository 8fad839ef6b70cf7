// vasken: the saver as an X11 program and XScreenSaver hack, and on Wayland
// compositors. Reads the options and hands over to the Wayland program
// (platforms/wayland/main_wayland.h) where it draws there; else finds the
// window to draw into (--window-id, $XSCREENSAVER_WINDOW, --root, or one of
// its own), and runs the scene from the Linux programs' event loop
// (platforms/loop/event_loop.h), which waits for the next frame, X events
// and SIGTERM / SIGINT at once. On a failure, an X error it did not expect
// among them, it writes one line to stderr and exits with 1.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platforms/fps/fps_count.h"
#include "platforms/loop/event_loop.h"
#include "platforms/posix/bitmap_source_posix.h"
#include "platforms/wayland/main_wayland.h"
#include "platforms/x11/display_x11.h"
#include "platforms/x11/hack_x11.h"
#include "platforms/x11/options_x11.h"
#include "platforms/x11/window_switch_x11.h"
#include "settings/settings.h"

namespace {

struct HostLoop {
    Display* display;
    Window window;
    bool ownWindow;
    Atom deleteWindow;
    bool windowGone;
    // The first X error that was not the window going away (0: none).
    unsigned char errorCode;
    unsigned char requestCode;
    unsigned char minorCode;
    HackState hack;
};

HostLoop host = {nullptr, 0, false, 0, false, 0, 0, 0, {}};

int fail(const std::string& message)
{
    std::fprintf(stderr, "vasken: %s\n", message.c_str());
    return 1;
}

// A window that goes away under us (the daemon's, or one a test owns) ends
// the program quietly. Any other error ends it too, with its request and
// error named; the handler may not talk to the server, so it only notes
// them.
int noteXError(Display*, XErrorEvent* event)
{
    const bool ourWindow = host.window == 0 || event->resourceid == host.window;
    if ((event->error_code == BadWindow || event->error_code == BadDrawable) && ourWindow) {
        host.windowGone = true;
    } else if (host.errorCode == 0) {
        host.errorCode = event->error_code;
        host.requestCode = event->request_code;
        host.minorCode = event->minor_code;
    }
    return 0;
}

// The name of a request as Xlib's error database spells it: the core
// requests by number, an extension's as EXTENSION.MINOR.
std::string requestName(unsigned char major, unsigned char minor)
{
    std::string key = std::to_string(major);
    if (major >= 128) {
        int count = 0;
        char** names = XListExtensions(host.display, &count);
        for (int i = 0; i < count; ++i) {
            int opcode = 0, event = 0, error = 0;
            if (XQueryExtension(host.display, names[i], &opcode, &event, &error) && opcode == major) {
                key = std::string(names[i]) + "." + std::to_string(minor);
                break;
            }
        }
        if (names != nullptr)
            XFreeExtensionList(names);
    }
    char name[80] = "";
    XGetErrorDatabaseText(host.display, "XRequest", key.c_str(), "", name, sizeof name);
    return name[0] != '\0' ? std::string(name) : "request " + key;
}

std::string describeXError()
{
    char text[120] = "";
    XGetErrorText(host.display, host.errorCode, text, sizeof text);
    return "X error " + std::string(text) + " from " + requestName(host.requestCode, host.minorCode);
}

int lostServer(Display*)
{
    std::fprintf(stderr, "vasken: lost the connection to the X server\n");
    std::_Exit(1);
}

Window chooseWindow(const ProgramOptions& options)
{
    if (options.target == DrawTarget::windowId)
        return options.windowId;
    unsigned long fromDaemon = 0;
    if (parseId(std::getenv("XSCREENSAVER_WINDOW"), fromDaemon))
        return fromDaemon;
    if (options.target == DrawTarget::root)
        return DefaultRootWindow(host.display);
    return 0;
}

Window createOwnWindow()
{
    const int screen = DefaultScreen(host.display);
    Window window = XCreateSimpleWindow(host.display, RootWindow(host.display, screen), 0, 0, 800, 600, 0,
                                        BlackPixel(host.display, screen), BlackPixel(host.display, screen));
    XStoreName(host.display, window, "vasken");
    host.deleteWindow = XInternAtom(host.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(host.display, window, &host.deleteWindow, 1);
    XSelectInput(host.display, window, ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask);
    XMapWindow(host.display, window);
    return window;
}

// Handles every queued event; the loop applies the last size they name.
LoopStep takeX11Events(void*, WindowSize& size, std::string& error)
{
    while (XPending(host.display) > 0) {
        XEvent event;
        XNextEvent(host.display, &event);
        if (noteX11Event(event))
            continue;
        switch (event.type) {
        case Expose:
            if (event.xexpose.window == host.window)
                hackExpose(host.hack, event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
            break;
        case ConfigureNotify:
            if (event.xconfigure.window == host.window)
                size = WindowSize{event.xconfigure.width, event.xconfigure.height};
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == host.window)
                host.windowGone = true;
            break;
        case KeyPress:
        case ButtonPress:
            if (host.ownWindow)
                return LoopStep::stop;
            break;
        case ClientMessage:
            if (host.ownWindow && static_cast<Atom>(event.xclient.data.l[0]) == host.deleteWindow)
                return LoopStep::stop;
            break;
        }
    }
    if (host.windowGone)
        return LoopStep::stop;
    if (host.errorCode != 0) {
        error = describeXError();
        return LoopStep::failed;
    }
    return LoopStep::run;
}

// A new image for the new size talks to the server, which may then report
// the window gone.
LoopStep resizeX11(void*, WindowSize size, std::string& error)
{
    const char* reason = nullptr;
    if (!hackReshape(host.hack, size.width, size.height, &reason)) {
        error = reason;
        return LoopStep::failed;
    }
    return host.windowGone ? LoopStep::stop : LoopStep::run;
}

int runOnWayland(const ProgramOptions& options, char** argv)
{
    WaylandProgram program = {WaylandTarget::everyOutput, options.output.c_str(), options.outputProcess,
                              runSeed(options),           options.pixelSize,      options.showFps,
                              argv};
    if (options.windowAsked)
        program.target = WaylandTarget::window;
    else if (!options.output.empty())
        program.target = WaylandTarget::oneOutput;
    useDisplay(OpenedDisplay::wayland);
    return runWayland(program);
}

} // namespace

int main(int argc, char** argv)
{
    ProgramOptions options;
    std::string error;
    if (!parseProgramOptions(argc, argv, options, error))
        return fail(error);
    if (options.help) {
        std::fputs(programUsage().c_str(), stdout);
        return 0;
    }
    settings = options.settings;
    if (!options.patternDir.empty())
        setBitmapDirectory(options.patternDir.c_str());
    const bool onWayland = drawsOnWayland(options, std::getenv("WAYLAND_DISPLAY"), std::getenv("WAYLAND_SOCKET"),
                                          std::getenv("XSCREENSAVER_WINDOW"), error);
    if (!error.empty())
        return fail(error);
    if (onWayland)
        return runOnWayland(options, argv);
    if (!watchEndSignals())
        return fail("cannot watch for signals");

    host.display = XOpenDisplay(options.displayName.empty() ? nullptr : options.displayName.c_str());
    if (host.display == nullptr) {
        const char* name = options.displayName.empty() ? std::getenv("DISPLAY") : options.displayName.c_str();
        return fail(std::string("cannot open display '") + (name != nullptr ? name : "") + "'");
    }
    XSetErrorHandler(noteXError);
    XSetIOErrorHandler(lostServer);

    host.window = chooseWindow(options);
    host.ownWindow = host.window == 0;
    if (host.ownWindow)
        host.window = createOwnWindow();
    else
        XSelectInput(host.display, host.window, ExposureMask | StructureNotifyMask);

    XWindowAttributes attributes;
    XSync(host.display, False);
    if (host.windowGone || !XGetWindowAttributes(host.display, host.window, &attributes)) {
        XCloseDisplay(host.display);
        return fail("window " + std::to_string(host.window) + " does not exist");
    }
    const char* reason = nullptr;
    if (!hackInit(host.hack, host.display, host.window, attributes.width, attributes.height, runSeed(options),
                  readDesktopScale(host.display), options.pixelSize, &reason)) {
        hackFree(host.hack);
        XCloseDisplay(host.display);
        return fail(reason);
    }
    if (options.showFps)
        startFpsCount();
    const EventLoop loop = {ConnectionNumber(host.display),
                            &host.hack,
                            takeX11Events,
                            resizeX11,
                            [](void* hack) { return hackDelay(*static_cast<HackState*>(hack)); },
                            [](void* hack) { hackDraw(*static_cast<HackState*>(hack)); },
                            [](void*) { endX11Batch(); }};
    const LoopStep end = runEventLoop(loop, WindowSize{attributes.width, attributes.height}, error);
    const int result = end == LoopStep::failed ? fail(error) : 0;
    hackFree(host.hack);
    if (host.ownWindow && !host.windowGone)
        XDestroyWindow(host.display, host.window);
    XCloseDisplay(host.display);
    return result;
}
