// Shared by the X11 program's tests: a private Xvfb per test, windows the test
// owns, the program started as a child with its stderr kept
// (tests/platforms/process_test_support.h), screenshots read back and sorted
// into the scene's colours, shared-memory counts, and X11Test, the fixture
// that owns all of them for one test.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/platforms/process_test_support.h"
#include "tests/platforms/scene_colours_test_support.h"

namespace x11test {

using namespace processtest;
using scenetest::SceneColours;
using scenetest::sortSceneColours;

// Xvfb on a display number it picks itself (-displayfd); stopped by its pid
// on destruction. Extra arguments go to the server (e.g. -extension
// MIT-SHM); a launcher, if given, execs it (e.g. unshare --ipc). It never
// resets: a server resets when its last client leaves, taking xrandr's
// monitors with it, and a client connecting during the reset is refused
// (the daemon, started while xscreensaver-command came and went, then exited
// without a word).
class Xvfb {
public:
    explicit Xvfb(const std::string& geometry, const std::vector<std::string>& extra = {},
                  const std::vector<std::string>& launcher = {})
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::vector<std::string> args = launcher;
        for (const char* a : {"Xvfb", "-screen", "0", geometry.c_str(), "-noreset", "-nolisten", "tcp", "-displayfd"})
            args.push_back(a);
        args.push_back(std::to_string(fds[1]));
        args.insert(args.end(), extra.begin(), extra.end());
        const int null = open("/dev/null", O_WRONLY);
        pid = spawn(args, null, null);
        close(null);
        close(fds[1]);
        // The number comes once the server listens; a server that fails
        // closes the pipe.
        char text[16] = {};
        ssize_t n = 0;
        for (ssize_t r; n < static_cast<ssize_t>(sizeof text) - 1 && (r = read(fds[0], text + n, 1)) > 0; ++n)
            if (text[n] == '\n')
                break;
        close(fds[0]);
        if (n > 0)
            name = ":" + std::to_string(std::atoi(text));
    }
    // Killed outright if it has not ended five seconds after SIGTERM.
    ~Xvfb()
    {
        if (pid <= 0 || (kill(pid, SIGTERM) == 0 &&
                         eventually("Xvfb to end", [&] { return waitpid(pid, nullptr, WNOHANG) != 0; }, 5000, 5)))
            return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::string name;
    pid_t pid = -1;
};

// The program as a child process: arguments, extra environment (later
// entries win), stderr kept in a file. Killed on destruction if it still
// runs.
class ProgramProcess : public ChildProcess {
public:
    ProgramProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {})
        : ChildProcess(withProgram(args), environment)
    {
    }

private:
    static std::vector<std::string> withProgram(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {VASKEN_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
};

// Shared-memory segments that the process pid created and the kernel still
// holds (the list ipcs -m shows; the fifth column is the creator's pid).
inline int sharedSegmentsOf(pid_t pid)
{
    std::ifstream in("/proc/sysvipc/shm");
    std::string line;
    std::getline(in, line);
    int count = 0;
    long key, id, perms, size, creator;
    while (in >> key >> id >> perms >> size >> creator) {
        count += creator == pid;
        std::getline(in, line);
    }
    return count;
}

inline Window createWindow(Display* display, int width, int height, int x = 0, int y = 0)
{
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, width, height, 0,
                                        BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

// A screenshot as pixel values of the visual.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<unsigned long> pixels;
    unsigned long at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The pixels of the window, or of its part at (left, top) of that size.
inline Shot capture(Display* display, Window window, int left = 0, int top = 0, int width = 0, int height = 0)
{
    XWindowAttributes attributes;
    if (width == 0 && XGetWindowAttributes(display, window, &attributes))
        width = attributes.width, height = attributes.height;
    Shot shot;
    XImage* image = width > 0 ? XGetImage(display, window, left, top, width, height, AllPlanes, ZPixmap) : nullptr;
    if (image == nullptr)
        return shot;
    shot.width = width;
    shot.height = height;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            shot.pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return shot;
}

// An 8-bit colour as the default visual's pixel value.
inline unsigned long pixelOf(Display* display, uint8_t red, uint8_t green, uint8_t blue)
{
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    auto place = [](uint32_t value, unsigned long mask) {
        int shift = 0, bits = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        while (((mask >> (shift + bits)) & 1) != 0)
            ++bits;
        return ((bits >= 8 ? value << (bits - 8) : value >> (8 - bits)) << shift) & mask;
    };
    return place(red, visual->red_mask) | place(green, visual->green_mask) | place(blue, visual->blue_mask);
}

// The built-in palette's colour 10-245 as the default visual's pixel value.
inline unsigned long palettePixel(Display* display, int index)
{
    return scenetest::palettePixel(index, [=](uint8_t r, uint8_t g, uint8_t b) { return pixelOf(display, r, g, b); });
}

inline std::set<unsigned long> shipPixelValues(Display* display)
{
    return scenetest::shipPixelValues([=](uint8_t r, uint8_t g, uint8_t b) { return pixelOf(display, r, g, b); });
}

inline SceneColours sortColours(Display* display, const Shot& shot)
{
    return sortSceneColours(shot.pixels, [=](uint8_t r, uint8_t g, uint8_t b) { return pixelOf(display, r, g, b); });
}

inline int differingPixels(const Shot& a, const Shot& b)
{
    if (a.pixels.size() != b.pixels.size())
        return -1;
    int n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        n += a.pixels[i] != b.pixels[i];
    return n;
}


// What a test looks at: a window, or its part at (x, y) of that size.
struct View {
    Window window;
    int x = 0, y = 0, width = 0, height = 0;
};

// One test's X server, its connection, its windows and the programs it
// starts. Whatever way the test ends, the programs are killed, the
// connection closed and the server stopped, in that order. Set-up that can
// fail asserts, so a test calls it through ASSERT_NO_FATAL_FAILURE (or from
// SetUp, which skips the test body on a failure).
class X11Test : public ::testing::Test {
protected:
    // A look at a window that is going, or not yet shown, fails with an X
    // error: the look comes back empty and a wait looks again.
    X11Test() { XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); }
    ~X11Test() override
    {
        programs.clear();
        if (display != nullptr)
            XCloseDisplay(display);
        XSetErrorHandler(nullptr);
    }

    void startServer(const std::string& geometry, const std::vector<std::string>& extra = {},
                     const std::vector<std::string>& launcher = {})
    {
        server = std::make_unique<Xvfb>(geometry, extra, launcher);
        ASSERT_FALSE(server->name.empty()) << "Xvfb " << geometry << " did not start";
        display = XOpenDisplay(server->name.c_str());
        ASSERT_NE(display, nullptr) << "no connection to " << server->name;
    }

    // A screen of 1824 x 768 as RandR monitors of 1024 x 768 and 800 x 600
    // side by side.
    void startTwoMonitorServer()
    {
        ASSERT_NO_FATAL_FAILURE(startServer("1824x768x24"));
        const std::string xrandr = "DISPLAY=" + server->name + " xrandr ";
        ASSERT_EQ(std::system((xrandr + "--setmonitor LEFT 1024/271x768/203+0+0 screen >/dev/null 2>&1").c_str()), 0);
        ASSERT_EQ(std::system((xrandr + "--setmonitor RIGHT 800/211x600/159+1024+0 none >/dev/null 2>&1").c_str()), 0);
    }

    // The program on this server (DISPLAY, unless the environment given
    // says otherwise).
    ProgramProcess& start(const std::vector<std::string>& args, const std::vector<std::string>& environment = {})
    {
        std::vector<std::string> all = {"DISPLAY=" + server->name};
        all.insert(all.end(), environment.begin(), environment.end());
        programs.push_back(std::make_unique<ProgramProcess>(args, all));
        return *programs.back();
    }

    // The usual set-up: the program drawing into a window of 320 x 240 with
    // these options.
    ProgramProcess& startInWindow(const std::vector<std::string>& options = {})
    {
        window = createWindow(display, 320, 240);
        std::vector<std::string> args = {"--window-id", std::to_string(window)};
        args.insert(args.end(), options.begin(), options.end());
        return start(args);
    }

    Shot look(const View& view) { return capture(display, view.window, view.x, view.y, view.width, view.height); }

    // Waits until the view shows the ships (more than that many pixels of
    // their colours) and at least 8 square colours; gives up early if a
    // program the test started has ended.
    ::testing::AssertionResult showsScene(const View& view, int shipPixels = 500)
    {
        SceneColours seen;
        const ProgramProcess* ended = nullptr;
        ::testing::AssertionResult result = eventually("the scene", [&] {
            for (const std::unique_ptr<ProgramProcess>& p : programs)
                ended = p->running() ? ended : p.get();
            seen = sortColours(display, look(view));
            return ended != nullptr || (seen.shipPixels > shipPixels && seen.squareColours >= 8);
        });
        if (ended != nullptr)
            return ::testing::AssertionFailure() << "the program ended before the scene showed: " << ended->errors();
        return result << ": " << seen.shipPixels << " ship pixels, " << seen.squareColours << " square colours";
    }

    // Waits until the view has changed in more than that many pixels.
    ::testing::AssertionResult moves(const View& view, int pixels)
    {
        const Shot first = look(view);
        int changed = 0;
        return eventually("the scene to move", [&] { return (changed = differingPixels(first, look(view))) > pixels; })
               << ": " << changed << " pixels changed";
    }

    std::unique_ptr<Xvfb> server;
    Display* display = nullptr;
    Window window = 0;
    std::vector<std::unique_ptr<ProgramProcess>> programs;
};

} // namespace x11test
