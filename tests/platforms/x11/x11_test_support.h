// Shared by the X11 program's tests: a private Xvfb per test, windows the test
// owns, the program started as a child with its stderr kept, screenshots
// read back and sorted into the scene's colours, and shared-memory counts.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "render/sprite_renderer.h"
#include "resources/embedded_resources.h"

namespace x11test {

inline void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// A fresh, empty directory of that name for a test's files, under the build
// folder (VASKEN_TEST_FILES): nothing lands in /tmp.
inline std::string testDirectory(const std::string& name)
{
    const std::string path = std::string(VASKEN_TEST_FILES) + "/" + name;
    std::system(("rm -rf '" + path + "' && mkdir -p '" + path + "'").c_str());
    return path;
}

// Xvfb on a display number it picks itself (-displayfd); stopped on
// destruction. Extra arguments go to the server (e.g. -extension MIT-SHM);
// a launcher, if given, starts it (e.g. unshare --ipc). It never resets: a
// server resets when its last client leaves, and a client connecting during
// the reset is refused (the daemon, started while xscreensaver-command came
// and went, then exited without a word).
class Xvfb {
public:
    explicit Xvfb(const std::string& geometry, const std::vector<std::string>& extra = {},
                  const std::vector<std::string>& launcher = {})
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            std::vector<std::string> args = launcher;
            for (const char* a : {"Xvfb", "-screen", "0"})
                args.push_back(a);
            for (const std::string& a : {geometry, std::string("-noreset"), std::string("-nolisten"), std::string("tcp"),
                                        std::string("-displayfd"), fd})
                args.push_back(a);
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        char text[16] = {};
        ssize_t n = 0;
        for (ssize_t r; n < static_cast<ssize_t>(sizeof text) - 1 && (r = read(fds[0], text + n, 1)) > 0; ++n)
            if (text[n] == '\n')
                break;
        close(fds[0]);
        if (n > 0)
            name = ":" + std::to_string(std::atoi(text));
    }
    ~Xvfb()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string name;
    pid_t pid = -1;
};

// The program as a child process: arguments, extra environment, stderr kept
// in a file.
class Program {
public:
    Program(const std::vector<std::string>& args, const std::vector<std::string>& environment = {})
    {
        std::string pattern = std::string(VASKEN_TEST_FILES) + "/stderr-XXXXXX";
        std::system(("mkdir -p '" + std::string(VASKEN_TEST_FILES) + "'").c_str());
        const int err = mkstemp(&pattern[0]);
        errorPath = pattern;
        pid = fork();
        if (pid == 0) {
            dup2(err, 2);
            for (const std::string& e : environment)
                putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv;
            static const std::string program = VASKEN_PROGRAM;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(err);
    }
    ~Program()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        unlink(errorPath.c_str());
    }
    // The exit code once it ends within the time, -1 if it does not, -2 if a
    // signal ended it.
    int waitExit(int milliseconds)
    {
        for (int waited = 0; waited <= milliseconds; waited += 5) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            }
            pause(5);
        }
        return -1;
    }
    bool running() { return !exited && waitpid(pid, nullptr, WNOHANG) == 0; }
    std::string errors() const
    {
        std::ifstream in(errorPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    pid_t pid = -1;
    bool exited = false;
    std::string errorPath;
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

inline Window createWindow(Display* display, int width, int height)
{
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
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

// The pixels of (left, top, width, height) of the window.
inline Shot captureArea(Display* display, Window window, int left, int top, int width, int height)
{
    Shot shot;
    XImage* image = XGetImage(display, window, left, top, width, height, AllPlanes, ZPixmap);
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

// The whole window.
inline Shot capture(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return Shot();
    return captureArea(display, window, 0, 0, attributes.width, attributes.height);
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

// The built-in palette's colours 10-245 (the first pattern's colour table).
inline void paletteColour(int index, uint8_t& red, uint8_t& green, uint8_t& blue)
{
    const uint8_t* table = embeddedBitmaps[0].bytes + 40 + 4 * index;
    blue = table[0];
    green = table[1];
    red = table[2];
}

// How many pixels show the ships' colours (palette 11-24) and how many
// distinct square colours (the brushes, matched to the palette) appear.
struct SceneColours {
    int shipPixels = 0;
    int squareColours = 0;
    int nonBlack = 0;
};

// The ships' colours (palette 11-24) as the default visual's pixel values.
inline std::set<unsigned long> shipPixelValues(Display* display)
{
    std::set<unsigned long> ship;
    for (int i = 11; i <= 24; ++i) {
        uint8_t r, g, b;
        paletteColour(i, r, g, b);
        ship.insert(pixelOf(display, r, g, b));
    }
    return ship;
}

inline SceneColours sortColours(Display* display, const Shot& shot, int left = 0, int top = 0)
{
    const std::set<unsigned long> ship = shipPixelValues(display);
    std::set<unsigned long> squares;
    for (int k = 1; k < brushCount; ++k) {
        const uint32_t c = brushColours[k];
        int best = 10, bestDistance = 1 << 30;
        for (int i = 10; i <= 245; ++i) {
            uint8_t r, g, b;
            paletteColour(i, r, g, b);
            const int dr = r - int(c & 0xFF), dg = g - int((c >> 8) & 0xFF), db = b - int((c >> 16) & 0xFF);
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = i;
            }
        }
        uint8_t r, g, b;
        paletteColour(best, r, g, b);
        squares.insert(pixelOf(display, r, g, b));
    }
    SceneColours out;
    std::set<unsigned long> seenSquares;
    for (int y = top; y < shot.height; ++y)
        for (int x = left; x < shot.width; ++x) {
            const unsigned long p = shot.at(x, y);
            out.nonBlack += p != 0;
            out.shipPixels += ship.count(p) != 0;
            if (squares.count(p) != 0)
                seenSquares.insert(p);
        }
    out.squareColours = static_cast<int>(seenSquares.size());
    return out;
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

} // namespace x11test
