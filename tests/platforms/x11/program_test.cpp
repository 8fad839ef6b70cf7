// The X11 program end to end under private Xvfb servers, as XScreenSaver and
// a user drive it: into a window it is given, through a resize, on a 16-bit
// display without MIT-SHM (plain XPutImage) and on one whose MIT-SHM cannot
// attach its memory, redrawn when its window is mapped again, two instances
// at once, the frame rate shown, ended by SIGTERM (also while the sound
// device takes nothing) and by its window going, refused on an 8-bit
// display and with bad options.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "tests/platforms/x11/x11_test_support.h"

// Last: the Display's fields, and macros that would spoil the headers above.
#include <X11/Xlibint.h>
#undef min
#undef max

using namespace x11test;

namespace {

std::string hexId(Window window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

// The first line of text and how many lines it has.
int lineCount(const std::string& text)
{
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

} // namespace

TEST(Program, DrawsIntoAGivenWindowRebuildsOnResizeAndEndsOnSigtermWithoutLeavingSharedMemory)
{
    Xvfb server("800x600x24");
    ASSERT_FALSE(server.name.empty()) << "Xvfb did not start";
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, 320, 240);

    Program program({"--window-id", hexId(window), "--no-sound"}, {"DISPLAY=" + server.name});
    pause(1500);
    ASSERT_TRUE(program.running()) << program.errors();
    EXPECT_EQ(sharedSegmentsOf(program.pid), 1) << "presents should go through MIT-SHM on a local server";

    const Shot first = capture(display, window);
    const SceneColours colours = sortColours(display, first);
    EXPECT_GT(colours.shipPixels, 500) << "ship colours in the window";
    EXPECT_GE(colours.squareColours, 8) << "distinct square colours in the window";
    pause(300);
    EXPECT_GT(differingPixels(first, capture(display, window)), 100) << "the scene should move";

    // A larger window: the scene is laid out anew over all of it.
    XResizeWindow(display, window, 640, 480);
    XSync(display, False);
    pause(1000);
    const Shot resized = capture(display, window);
    ASSERT_EQ(resized.width, 640);
    const SceneColours grown = sortColours(display, resized, 330, 250);
    EXPECT_GT(grown.nonBlack, 200) << "squares and ships in the part the resize added";

    const auto asked = std::chrono::steady_clock::now();
    kill(program.pid, SIGTERM);
    EXPECT_EQ(program.waitExit(2000), 0) << program.errors();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
    // The requirement is 100 ms; the slack is for a loaded test machine.
    EXPECT_LT(took.count(), 1000) << "ms from SIGTERM to exit";
    std::printf("SIGTERM to exit: %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_EQ(sharedSegmentsOf(program.pid), 0) << "shared-memory segments left behind";
    EXPECT_EQ(program.errors(), "");
    XCloseDisplay(display);
}

TEST(Program, RunsOnA16BitDisplayWithoutSharedMemoryAndEndsQuietlyWhenItsWindowGoes)
{
    Xvfb server("640x480x16", {"-extension", "MIT-SHM"});
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, 400, 300);
    Program program({"--window-id", std::to_string(window), "--no-sound"}, {"DISPLAY=" + server.name});
    pause(1500);
    ASSERT_TRUE(program.running()) << program.errors();
    EXPECT_EQ(sharedSegmentsOf(program.pid), 0) << "the server offers no MIT-SHM";
    const Shot first = capture(display, window);
    const SceneColours colours = sortColours(display, first);
    EXPECT_GT(colours.shipPixels, 500);
    EXPECT_GE(colours.squareColours, 8);
    pause(300);
    EXPECT_GT(differingPixels(first, capture(display, window)), 100);

    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_EQ(program.waitExit(2000), 0);
    EXPECT_EQ(program.errors(), "");
    XCloseDisplay(display);
}

TEST(Program, RefusesAPseudoColorDisplayAndBadOptionsWithOneLineAndExitCode1)
{
    Xvfb server("640x480x8");
    ASSERT_FALSE(server.name.empty());
    const std::vector<std::vector<std::string>> cases = {
        {"--root"},
        {"--delay", "9999"},
        {"--delay", "200001"},
        {"--delay", "fast"},
        {"--duration", "59"},
        {"--duration", "6001"},
        {"--window-id", "0xZZ"},
        {"--window-id"},
        {"--seed", "-1"},
        {"--speed", "3"},
    };
    for (const std::vector<std::string>& args : cases) {
        Program program(args, {"DISPLAY=" + server.name});
        std::string shown;
        for (const std::string& a : args)
            shown += a + " ";
        EXPECT_EQ(program.waitExit(5000), 1) << shown;
        const std::string errors = program.errors();
        EXPECT_EQ(lineCount(errors), 1) << shown << ": " << errors;
        EXPECT_EQ(errors.rfind("vasken: ", 0), 0u) << shown << ": " << errors;
    }
    Program pseudoColour({"--root"}, {"DISPLAY=" + server.name});
    pseudoColour.waitExit(5000);
    EXPECT_NE(pseudoColour.errors().find("TrueColor"), std::string::npos) << pseudoColour.errors();
}

TEST(Program, RedrawsItsWindowWhenMappedAgainAfterALongWhile)
{
    Xvfb server("800x600x24");
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, 320, 240);
    Program program({"--window-id", hexId(window)}, {"DISPLAY=" + server.name});
    pause(1500);
    const SceneColours before = sortColours(display, capture(display, window));

    // Mapped again, the window is black until the program answers the
    // Expose; the frames alone bring back only the ships and a square or
    // two.
    XUnmapWindow(display, window);
    XSync(display, False);
    pause(1500);
    XMapWindow(display, window);
    XSync(display, False);
    pause(300);
    ASSERT_TRUE(program.running()) << program.errors();
    const SceneColours after = sortColours(display, capture(display, window));
    EXPECT_GT(after.nonBlack - after.shipPixels, (before.nonBlack - before.shipPixels) * 8 / 10)
        << "pixels of the squares, before: " << before.nonBlack - before.shipPixels;
    XCloseDisplay(display);
}

// The server runs in an IPC namespace of its own, so it cannot see the
// program's segment: MIT-SHM is offered, the attach fails.
TEST(Program, ShowsTheSceneWhenTheServerCannotAttachItsSharedMemory)
{
    if (geteuid() != 0 || std::system("unshare --ipc true 2>/dev/null") != 0)
        GTEST_SKIP() << "a server in an IPC namespace of its own needs root";
    Xvfb server("640x480x24", {}, {"unshare", "--ipc"});
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, 320, 240);
    Program program({"--window-id", hexId(window)}, {"DISPLAY=" + server.name});
    pause(1500);
    ASSERT_TRUE(program.running()) << program.errors();
    EXPECT_EQ(sharedSegmentsOf(program.pid), 0) << "the refused segment is still there";
    const SceneColours colours = sortColours(display, capture(display, window));
    EXPECT_GT(colours.shipPixels, 500);
    EXPECT_GE(colours.squareColours, 8);
    EXPECT_EQ(program.errors(), "");
    XCloseDisplay(display);
}

// The ships start from the same layout whatever the seed; the squares and
// every later move come from it. So the squares of two instances started
// together lie in different places.
TEST(Program, TwoInstancesStartedTogetherDrawFormationsOfTheirOwn)
{
    Xvfb server("800x600x24");
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window first = createWindow(display, 320, 240);
    const Window second = createWindow(display, 320, 240);
    XMoveWindow(display, second, 400, 0);
    XSync(display, False);
    Program one({"--window-id", hexId(first)}, {"DISPLAY=" + server.name});
    Program two({"--window-id", hexId(second)}, {"DISPLAY=" + server.name});
    pause(1500);
    const Shot a = capture(display, first);
    const Shot b = capture(display, second);
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    const std::set<unsigned long> ship = shipPixelValues(display);
    int squares = 0;
    int same = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        if (a.pixels[i] == 0 || ship.count(a.pixels[i]) != 0 || ship.count(b.pixels[i]) != 0)
            continue;
        ++squares;
        same += a.pixels[i] == b.pixels[i];
    }
    EXPECT_GT(squares, 200) << "square pixels in the first window";
    EXPECT_LT(same, squares / 2) << "square pixels alike in both windows, of " << squares;
    XCloseDisplay(display);
}

// The overlay draws white text on black over the lower left corner: the
// start of its two lines ("FPS: ", "Load:") fills a box of 30 x 26 pixels
// with those two colours alone.
TEST(Program, FpsShowsTheFrameRateInTheLowerLeftCorner)
{
    Xvfb server("800x600x24");
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, 320, 240);
    Program program({"--window-id", hexId(window), "-fps"}, {"DISPLAY=" + server.name});
    pause(2000);
    ASSERT_TRUE(program.running()) << program.errors();
    const Shot shot = capture(display, window);
    const unsigned long white = pixelOf(display, 255, 255, 255);
    int whitePixels = 0;
    int others = 0;
    for (int y = shot.height - 34; y < shot.height - 8; ++y)
        for (int x = 8; x < 38; ++x) {
            whitePixels += shot.at(x, y) == white;
            others += shot.at(x, y) != white && shot.at(x, y) != 0;
        }
    EXPECT_GE(whitePixels, 30) << "white pixels of the text";
    EXPECT_LE(others, 40) << "pixels neither white nor black";
    EXPECT_GT(sortColours(display, shot).shipPixels, 500) << "the scene around it";
    XCloseDisplay(display);
}

// ALSA's default device becomes a file device writing into a pipe that is
// never read (as a busy device or a hung sound server would take nothing),
// made small so that the first wave fills it. The seed's first chance (the
// 401st frame) plays a wave.
TEST(Program, EndsAtOnceOnSigtermWhileTheSoundDeviceTakesNothing)
{
    const std::string home = testDirectory("alsa-pipe");
    const std::string pipePath = home + "/pipe";
    ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    std::ofstream(home + "/.asoundrc") << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << pipePath
                                       << "\"\n  format \"raw\"\n}\n";
    const int reader = open(pipePath.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int capacity = fcntl(reader, F_SETPIPE_SZ, 4096) > 0 ? fcntl(reader, F_GETPIPE_SZ) : 65536;

    Xvfb server("800x600x24");
    ASSERT_FALSE(server.name.empty());
    Program program({"--sound", "--seed", "2"}, {"DISPLAY=" + server.name, "HOME=" + home});
    // Full: nothing more comes for half a second (a write that does not
    // fit waits whole).
    int queued = 0;
    for (int waited = 0, still = 0; waited < 20000 && still < 10 && program.running(); waited += 50) {
        pause(50);
        int now = 0;
        ioctl(reader, FIONREAD, &now);
        still = now > capacity / 2 && now == queued ? still + 1 : 0;
        queued = now;
    }
    ASSERT_GT(queued, capacity / 2) << "the wave did not fill the pipe";
    ASSERT_TRUE(program.running()) << program.errors();

    const auto asked = std::chrono::steady_clock::now();
    kill(program.pid, SIGTERM);
    EXPECT_EQ(program.waitExit(3000), 0) << "still running with the sound device stuck";
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
    std::printf("SIGTERM to exit with the sound device stuck: %lld ms\n", static_cast<long long>(took.count()));
    close(reader);
}

// The program's graphics context freed behind its back (found by its XID:
// on a fresh server the program is the client after this one, and its
// context among its first resources): the next put fails with an error the
// program does not expect.
TEST(Program, AnXErrorItDidNotExpectEndsItWithTheRequestAndTheErrorNamed)
{
    Xvfb server("640x480x24");
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, 320, 240);
    Program program({"--window-id", hexId(window)}, {"DISPLAY=" + server.name});
    pause(1000);
    ASSERT_TRUE(program.running()) << program.errors();
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const XID programBase = display->resource_base + display->resource_mask + 1;
    for (XID id = programBase + 1; id <= programBase + 8; ++id) {
        GC context = static_cast<GC>(std::calloc(1, sizeof(*context)));
        context->gid = id;
        XFreeGC(display, context);
    }
    XSync(display, False);
    EXPECT_EQ(program.waitExit(3000), 1);
    const std::string errors = program.errors();
    EXPECT_EQ(lineCount(errors), 1) << errors;
    EXPECT_NE(errors.find("BadGC"), std::string::npos) << errors;
    EXPECT_NE(errors.find("from X_"), std::string::npos) << errors;
    std::printf("%s", errors.c_str());
    XCloseDisplay(display);
}
