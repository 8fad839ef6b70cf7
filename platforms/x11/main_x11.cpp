// vasken: the saver as an X11 program and XScreenSaver hack. Reads the
// options, finds the window to draw into (--window-id, $XSCREENSAVER_WINDOW,
// --root, or one of its own), and runs the scene from an event loop that
// waits for the next frame, X events and SIGTERM / SIGINT at once. On a
// failure, an X error it did not expect among them, it writes one line to
// stderr and exits with 1.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platforms/posix/bitmap_source_posix.h"
#include "platforms/x11/display_x11.h"
#include "platforms/fps/fps_count.h"
#include "platforms/x11/hack_x11.h"
#include "platforms/x11/options_x11.h"
#include "settings/settings.h"

namespace {

struct HostLoop {
    Display* display;
    Window window;
    bool ownWindow;
    Atom deleteWindow;
    int signalPipe[2];
    bool windowGone;
    // The first X error that was not the window going away (0: none).
    unsigned char errorCode;
    unsigned char requestCode;
    unsigned char minorCode;
    HackState hack;
};

HostLoop host = {nullptr, 0, false, 0, {-1, -1}, false, 0, 0, 0, {}};

int fail(const std::string& message)
{
    std::fprintf(stderr, "vasken: %s\n", message.c_str());
    return 1;
}

void noteSignal(int)
{
    const char byte = 1;
    // Nothing to do if the pipe is full: a wake-up is already waiting.
    ssize_t ignored = write(host.signalPipe[1], &byte, 1);
    (void)ignored;
}

bool watchSignals()
{
    if (pipe(host.signalPipe) != 0)
        return false;
    for (int fd : host.signalPipe) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
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

enum class Next { run, stop, failed };

// Handles every queued event. A size change is applied once, after the queue.
Next handleEvents(std::string& error)
{
    int32_t newWidth = host.hack.driver.deviceWidth;
    int32_t newHeight = host.hack.driver.deviceHeight;
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
            if (event.xconfigure.window == host.window) {
                newWidth = event.xconfigure.width;
                newHeight = event.xconfigure.height;
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == host.window)
                host.windowGone = true;
            break;
        case KeyPress:
        case ButtonPress:
            if (host.ownWindow)
                return Next::stop;
            break;
        case ClientMessage:
            if (host.ownWindow && static_cast<Atom>(event.xclient.data.l[0]) == host.deleteWindow)
                return Next::stop;
            break;
        }
    }
    if (host.windowGone)
        return Next::stop;
    if (host.errorCode != 0) {
        error = describeXError();
        return Next::failed;
    }
    const char* reason = nullptr;
    if (!hackReshape(host.hack, newWidth, newHeight, &reason)) {
        error = reason;
        return Next::failed;
    }
    return Next::run;
}

int runLoop()
{
    std::string error;
    for (;;) {
        const Next next = handleEvents(error);
        if (next == Next::failed)
            return fail(error);
        if (next == Next::stop || host.windowGone)
            return 0;
        const uint32_t wait = hackDelay(host.hack);
        if (wait == 0) {
            hackDraw(host.hack);
            // The next frame waits until the server has carried out this
            // one's puts, so a slow server does not fall behind.
            endX11Batch();
            countFpsFrame();
            continue;
        }
        endX11Batch(); // what an Expose presented
        pollfd waits[2] = {{ConnectionNumber(host.display), POLLIN, 0}, {host.signalPipe[0], POLLIN, 0}};
        const int timeout = static_cast<int>((wait + 999) / 1000);
        if (poll(waits, 2, timeout) > 0 && (waits[1].revents & POLLIN) != 0)
            return 0;
    }
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
    if (!watchSignals())
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
    const int result = runLoop();
    hackFree(host.hack);
    if (host.ownWindow && !host.windowGone)
        XDestroyWindow(host.display, host.window);
    XCloseDisplay(host.display);
    return result;
}
