// The X11 program end to end under private Xvfb servers, as XScreenSaver and
// a user drive it: on each kind of server, through a resize and a late map,
// two at once, with --fps, on the root window of two monitors, ended by
// SIGTERM (also with the sound device stuck), by its window going and by an X
// error, and refused a display or options.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "tests/platforms/x11/x11_test_support.h"

// Last: the Display's fields, and macros that would spoil the headers above.
#include <X11/Xlibint.h>
#undef min
#undef max

using namespace x11test;

namespace {

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// Sends SIGTERM; the exit code (as waitExit gives it) and the milliseconds
// until the program ended.
std::pair<int, long long> endBySigterm(ProgramProcess& program)
{
    const auto asked = std::chrono::steady_clock::now();
    kill(program.pid, SIGTERM);
    const int code = program.waitExit(3000);
    const auto took = std::chrono::steady_clock::now() - asked;
    return {code, std::chrono::duration_cast<std::chrono::milliseconds>(took).count()};
}

// The write calls the process has made, most of them requests to the server.
long writesOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long value = -1;
    while (in >> key >> value)
        if (key == "syscw:")
            return value;
    return -1;
}

// The kinds of server the program meets, and the shared-memory segments it
// holds on each while it runs.
struct ServerKind {
    const char* name;
    const char* geometry;
    std::vector<std::string> extra;
    std::vector<std::string> launcher;
    int segments;
};

const ServerKind serverKinds[] = {
    {"Depth24WithSharedMemory", "800x600x24", {}, {}, 1},
    {"Depth16WithoutSharedMemory", "640x480x16", {"-extension", "MIT-SHM"}, {}, 0},
    // The server runs in an IPC namespace of its own, so it cannot see the
    // program's segment: MIT-SHM is offered, the attach fails.
    {"SharedMemoryTheServerCannotAttach", "640x480x24", {}, {"unshare", "--ipc"}, 0},
};
void PrintTo(const ServerKind& kind, std::ostream* out) { *out << kind.name; }

} // namespace

// The program drawing into the test's window on each kind of server; each
// test starts once the scene shows.
class ProgramOnServer : public X11Test, public ::testing::WithParamInterface<ServerKind> {
protected:
    void SetUp() override
    {
        if (!GetParam().launcher.empty() && (geteuid() != 0 || std::system("unshare --ipc true 2>/dev/null") != 0))
            GTEST_SKIP() << "a server in an IPC namespace of its own needs root";
        ASSERT_NO_FATAL_FAILURE(startServer(GetParam().geometry, GetParam().extra, GetParam().launcher));
        vasken = &startInWindow();
        ASSERT_TRUE(showsScene({window}));
    }
    ProgramProcess* vasken = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Kinds, ProgramOnServer, ::testing::ValuesIn(serverKinds),
                         [](const ::testing::TestParamInfo<ServerKind>& kind) { return kind.param.name; });

TEST_P(ProgramOnServer, DrawsAMovingScene)
{
    EXPECT_TRUE(moves({window}, 100));
    EXPECT_EQ(vasken->errors(), "");
}

TEST_P(ProgramOnServer, HoldsASharedSegmentOnlyWhereTheServerCanAttachIt)
{
    EXPECT_EQ(sharedSegmentsOf(vasken->pid), GetParam().segments);
}

TEST_P(ProgramOnServer, EndsWithinASecondOfSigtermLeavingNoSharedSegment)
{
    const auto [code, took] = endBySigterm(*vasken);
    EXPECT_EQ(code, 0);
    // The requirement is 100 ms; the slack is for a loaded test machine.
    EXPECT_LT(took, 1000) << "ms from SIGTERM to exit";
    std::printf("SIGTERM to exit: %lld ms\n", took);
    EXPECT_EQ(sharedSegmentsOf(vasken->pid), 0) << "shared-memory segments left behind";
    EXPECT_EQ(vasken->errors(), "");
}

TEST_P(ProgramOnServer, EndsQuietlyWhenItsWindowGoes)
{
    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_EQ(vasken->waitExit(5000), 0);
    EXPECT_EQ(vasken->errors(), "");
}

// The program on a server of depth 24 with MIT-SHM.
class Program : public X11Test {
protected:
    void SetUp() override { startServer("800x600x24"); }
};

// The scene is laid out anew over all of the larger window.
TEST_F(Program, FillsThePartThatAResizeAddsToItsWindow)
{
    startInWindow();
    ASSERT_TRUE(showsScene({window}));
    XResizeWindow(display, window, 640, 480);
    XSync(display, False);
    int shown = 0;
    EXPECT_TRUE(eventually("squares and ships in the part the resize added", [&] {
        return (shown = sortColours(display, look({window, 330, 250, 310, 230})).nonBlack) > 200;
    })) << shown << " pixels not black";
}

// Mapped again, the window is black until the program answers the Expose.
// The frames alone bring back only the ships and the squares they pass over:
// on a window of 800 x 600 with a frame every 200 ms, within the time
// allowed, too few.
TEST_F(Program, RedrawsItsWindowWhenMappedAgainAfterALongWhile)
{
    window = createWindow(display, 800, 600);
    ProgramProcess& vasken = start({"--window-id", std::to_string(window), "--delay", "200000"});
    ASSERT_TRUE(showsScene({window}));
    const SceneColours before = sortColours(display, look({window}));
    XUnmapWindow(display, window);
    XSync(display, False);
    const long writes = writesOf(vasken.pid);
    ASSERT_TRUE(eventually("frames drawn while unmapped", [&] { return writesOf(vasken.pid) > writes + 10; }));
    XMapWindow(display, window);
    XSync(display, False);
    const int squaresBefore = before.nonBlack - before.shipPixels;
    int squares = 0;
    EXPECT_TRUE(eventually("the squares back", [&] {
        const SceneColours after = sortColours(display, look({window}));
        return (squares = after.nonBlack - after.shipPixels) > squaresBefore * 8 / 10;
    }, 2000)) << squares << " pixels of the squares, before: " << squaresBefore;
    EXPECT_TRUE(vasken.running()) << vasken.errors();
}

// A desktop scaled to 200 % (Xft.dpi 192 in the root window's resources),
// on a server that scales with RENDER and on one without it, where the
// program writes the blocks itself.
class ScaledDesktop : public X11Test, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(
            startServer("1600x1200x24", GetParam() ? std::vector<std::string>{} : std::vector<std::string>{"-extension", "RENDER"}));
        const char resources[] = "Xft.dpi:\t192\n";
        XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources), sizeof resources - 1);
        XSync(display, False);
    }

    // A window whose own background, a colour of no palette entry, shows
    // wherever the program leaves it unpainted.
    unsigned long unpainted = 0;
    Window createUnpaintedWindow(int width, int height, int y)
    {
        unpainted = pixelOf(display, 3, 5, 7);
        for (int i = 0; i < 256; ++i)
            EXPECT_NE(palettePixel(display, i), unpainted) << "palette entry " << i;
        const Window w = createWindow(display, width, height, 0, y);
        XSetWindowBackground(display, w, unpainted);
        XClearWindow(display, w);
        XSync(display, False);
        return w;
    }
};

// At 200 % a window of 1281 x 721 gets blocks of 2 x 2 over a scene of
// 641 x 361, the blocks of the last column and row cut at the edge; a
// window of 641 x 361 is too small for blocks and shows the same scene at 1.
TEST_P(ScaledDesktop, DrawsTheSceneInBlocksOfTheDesktopScale)
{
    const Window scaled = createUnpaintedWindow(1281, 721, 0), plain = createUnpaintedWindow(641, 361, 800);
    start({"--window-id", std::to_string(scaled), "--seed", "7"});
    start({"--window-id", std::to_string(plain), "--seed", "7"});
    ASSERT_TRUE(showsScene({scaled}, 2000));
    ASSERT_TRUE(showsScene({plain}));
    const Shot big = look({scaled}), small = look({plain});
    int splitBlocks = 0, uncovered = 0;
    for (int y = 0; y < big.height; ++y) {
        for (int x = 0; x < big.width; ++x) {
            uncovered += big.at(x, y) == unpainted;
            splitBlocks += big.at(x, y) != big.at(x & ~1, y & ~1);
        }
    }
    EXPECT_EQ(splitBlocks, 0) << "pixels that differ from the top left of their 2 x 2 block";
    EXPECT_EQ(uncovered, 0) << "pixels the program left unpainted";
    // The same formation at twice the size covers four times the pixels.
    const double ratio = double(sortColours(display, big).shipPixels) / sortColours(display, small).shipPixels;
    EXPECT_TRUE(ratio > 3.2 && ratio < 4.8) << "ship pixels at 2 x 2 against 1 x 1: " << ratio;
}

INSTANTIATE_TEST_SUITE_P(Render, ScaledDesktop, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "WithRender" : "WithoutRender"; });

// The ships start from the same layout whatever the seed; the squares and
// every later move come from it. So the squares of two instances started
// together lie in different places.
TEST_F(Program, TwoInstancesStartedTogetherDrawFormationsOfTheirOwn)
{
    const Window first = createWindow(display, 320, 240), second = createWindow(display, 320, 240, 400, 0);
    start({"--window-id", std::to_string(first)});
    start({"--window-id", std::to_string(second)});
    ASSERT_TRUE(showsScene({first}));
    ASSERT_TRUE(showsScene({second}));
    const Shot a = look({first}), b = look({second});
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    const std::set<unsigned long> ship = shipPixelValues(display);
    int squares = 0, same = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        if (a.pixels[i] == 0 || ship.count(a.pixels[i]) != 0 || ship.count(b.pixels[i]) != 0)
            continue;
        ++squares;
        same += a.pixels[i] == b.pixels[i];
    }
    EXPECT_GT(squares, 200) << "square pixels in the first window";
    EXPECT_LT(same, squares / 2) << "square pixels alike in both windows, of " << squares;
}

// The overlay draws white text on black over the lower left corner: the
// start of its two lines ("FPS: ", "Load:") fills a box of 30 x 26 pixels
// with those two colours alone.
TEST_F(Program, FpsShowsTheFrameRateInTheLowerLeftCorner)
{
    startInWindow({"-fps"});
    ASSERT_TRUE(showsScene({window})) << "the scene around it";
    const unsigned long white = pixelOf(display, 255, 255, 255);
    int whitePixels = 0, others = 0;
    EXPECT_TRUE(eventually("white text on black in the corner", [&] {
        whitePixels = others = 0;
        for (unsigned long p : look({window, 8, 240 - 34, 30, 26}).pixels) {
            whitePixels += p == white;
            others += p != white && p != 0;
        }
        return whitePixels >= 30 && others <= 40;
    })) << whitePixels << " white pixels of the text, " << others << " neither white nor black";
}

// ALSA's default device becomes a file device writing into a pipe that is
// never read (as a busy device or a hung sound server would take nothing),
// made small so that the first wave fills it. The seed's first chance (the
// 401st frame) plays a wave.
TEST_F(Program, EndsAtOnceOnSigtermWhileTheSoundDeviceTakesNothing)
{
    const std::string home = testDirectory("alsa-pipe");
    const std::string pipePath = home + "/pipe";
    ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    std::ofstream(home + "/.asoundrc") << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << pipePath
                                       << "\"\n  format \"raw\"\n}\n";
    const int reader = open(pipePath.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int capacity = fcntl(reader, F_SETPIPE_SZ, 4096) > 0 ? fcntl(reader, F_GETPIPE_SZ) : 65536;

    ProgramProcess& vasken = start({"--sound", "--seed", "2"}, {"HOME=" + home});
    // Full: nothing more comes for half a second (a write that does not
    // fit waits whole).
    int queued = 0, still = 0;
    ASSERT_TRUE(eventually("the wave to fill the pipe", [&] {
        int now = 0;
        ioctl(reader, FIONREAD, &now);
        still = now > capacity / 2 && now == queued ? still + 1 : 0;
        queued = now;
        return still >= 10 || !vasken.running();
    }, 20000, 50)) << queued << " bytes queued";
    ASSERT_TRUE(vasken.running()) << vasken.errors();

    const auto [code, took] = endBySigterm(vasken);
    EXPECT_EQ(code, 0) << "still running with the sound device stuck";
    std::printf("SIGTERM to exit with the sound device stuck: %lld ms\n", took);
    close(reader);
}

// The program's graphics context freed behind its back (found by its XID:
// on a fresh server the program is the client after this one, and its
// context among its first resources): the next put fails with an error the
// program does not expect.
TEST_F(Program, AnXErrorItDidNotExpectEndsItWithTheRequestAndTheErrorNamed)
{
    ProgramProcess& vasken = startInWindow();
    ASSERT_TRUE(showsScene({window}));
    const XID programBase = display->resource_base + display->resource_mask + 1;
    for (XID id = programBase + 1; id <= programBase + 8; ++id) {
        GC context = static_cast<GC>(std::calloc(1, sizeof(*context)));
        context->gid = id;
        XFreeGC(display, context);
    }
    XSync(display, False);
    EXPECT_EQ(vasken.waitExit(3000), 1);
    const std::string errors = vasken.errors();
    EXPECT_EQ(lineCount(errors), 1) << errors;
    EXPECT_NE(errors.find("BadGC"), std::string::npos) << errors;
    EXPECT_NE(errors.find("from X_"), std::string::npos) << errors;
    std::printf("%s", errors.c_str());
}

// Alone on the root window of a screen of two monitors, named by --display
// alone, the program draws one scene over the whole of it.
using MultiMonitor = X11Test;

TEST_F(MultiMonitor, OnTheRootWindowOneSceneCoversBothMonitors)
{
    ASSERT_NO_FATAL_FAILURE(startTwoMonitorServer());
    start({"--root", "--no-sound", "--display", server->name}, {"DISPLAY="});
    const Window root = DefaultRootWindow(display);
    for (const View& monitor : {View{root, 0, 0, 1024, 768}, View{root, 1024, 0, 800, 600}}) {
        SCOPED_TRACE("monitor at " + std::to_string(monitor.x) + "," + std::to_string(monitor.y));
        EXPECT_TRUE(showsScene(monitor, 1000));
        EXPECT_TRUE(moves(monitor, 500));
    }
}

// A display it cannot draw on, or a bad option on one it could: one line
// (naming what was wrong, where the case says) and exit code 1.
struct RefusalCase {
    const char* name;
    const char* geometry;
    std::vector<std::string> args;
    const char* named;
};
void PrintTo(const RefusalCase& refusal, std::ostream* out) { *out << refusal.name; }

const RefusalCase refusals[] = {
    {"PseudoColorDisplay", "640x480x8", {"--root"}, "TrueColor"},
    {"DelayBelowTheLeast", "640x480x24", {"--delay", "9999"}, ""},
    {"DelayAboveTheMost", "640x480x24", {"--delay", "200001"}, ""},
    {"DelayNotANumber", "640x480x24", {"--delay", "fast"}, ""},
    {"DurationBelowTheLeast", "640x480x24", {"--duration", "59"}, ""},
    {"DurationAboveTheMost", "640x480x24", {"--duration", "6001"}, ""},
    {"WindowIdNotANumber", "640x480x24", {"--window-id", "0xZZ"}, ""},
    {"WindowIdMissing", "640x480x24", {"--window-id"}, ""},
    {"SeedNegative", "640x480x24", {"--seed", "-1"}, ""},
    {"SpeedUnknown", "640x480x24", {"--speed", "3"}, ""},
};

class Refused : public X11Test, public ::testing::WithParamInterface<RefusalCase> {
protected:
    void SetUp() override { startServer(GetParam().geometry); }
};

INSTANTIATE_TEST_SUITE_P(Cases, Refused, ::testing::ValuesIn(refusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& c) { return c.param.name; });

TEST_P(Refused, WithOneLineAndExitCode1)
{
    ProgramProcess& vasken = start(GetParam().args);
    EXPECT_EQ(vasken.waitExit(5000), 1);
    const std::string errors = vasken.errors();
    EXPECT_EQ(lineCount(errors), 1) << errors;
    EXPECT_EQ(errors.rfind("vasken: ", 0), 0u) << errors;
    EXPECT_NE(errors.find(GetParam().named), std::string::npos) << errors;
}
