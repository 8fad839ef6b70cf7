// The real XScreenSaver daemon with vasken as its only program, under a
// private Xvfb: -activate starts vasken, which draws, and -deactivate ends
// it. Leaves the screenshot in the working directory (xscreensaver-shot.png).
#include <gtest/gtest.h>

#include "tests/platforms/x11/xscreensaver_daemon.h"

using namespace x11test;

TEST(XScreenSaver, TheDaemonStartsVaskenOnActivateAndEndsItOnDeactivate)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "creating the daemon's user needs root";
    Xvfb server("640x480x24");
    ASSERT_FALSE(server.name.empty());
    SaverDaemon daemon(server.name);
    ASSERT_TRUE(daemon.ready()) << "the daemon did not answer (or one of its user already runs)";

    EXPECT_TRUE(daemon.command("-activate"));
    const std::vector<pid_t> hacks = SaverDaemon::awaitProcesses("vasken", 1);
    ASSERT_FALSE(hacks.empty()) << "the daemon did not start vasken";
    pause(1500);
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const SceneColours colours = sortColours(display, capture(display, DefaultRootWindow(display)));
    EXPECT_GT(colours.shipPixels, 1000) << "ship colours on the screen";
    EXPECT_GE(colours.squareColours, 8);
    XCloseDisplay(display);
    std::system(("import -display " + server.name + " -window root xscreensaver-shot.png 2>/dev/null").c_str());

    EXPECT_TRUE(daemon.command("-deactivate"));
    EXPECT_TRUE(SaverDaemon::awaitNone("vasken")) << "vasken still runs after -deactivate";
}
