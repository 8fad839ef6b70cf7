// The X11 program end to end under private Xvfb servers, as XScreenSaver and
// a user drive it: into a window it is given, through a resize, on a 16-bit
// display without MIT-SHM (plain XPutImage), refused on an 8-bit one, ended
// by SIGTERM and by its window going, and with bad options.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/linux/x11_test_support.h"

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
