// vasken on an X screen of two monitors: a private Xvfb of 1824 x 768 split
// into RandR monitors of 1024 x 768 and 800 x 600 side by side. Under the
// real XScreenSaver daemon (run as an unprivileged user of its own, which
// starts no hacks for root) each monitor gets a vasken of its own.
#include <gtest/gtest.h>

#include <functional>

#include "tests/platforms/x11/xscreensaver_daemon.h"

using namespace x11test;

namespace {

// -noreset: without it Xvfb resets when xrandr disconnects, and the monitors
// go with it.
bool splitIntoMonitors(const Xvfb& server)
{
    const std::string xrandr = "DISPLAY=" + server.name + " xrandr ";
    return std::system((xrandr + "--setmonitor LEFT 1024/271x768/203+0+0 screen >/dev/null 2>&1").c_str()) == 0 &&
           std::system((xrandr + "--setmonitor RIGHT 800/211x600/159+1024+0 none >/dev/null 2>&1").c_str()) == 0;
}

// What look shows has ships and squares, and changes from one look to the next.
void expectScene(Display* display, const std::function<Shot()>& look, const std::string& where)
{
    const Shot first = look();
    pause(300);
    const Shot second = look();
    const SceneColours colours = sortColours(display, first);
    EXPECT_GT(colours.shipPixels, 1000) << where << ": ship colours";
    EXPECT_GE(colours.squareColours, 8) << where << ": square colours";
    EXPECT_GT(differingPixels(first, second), 500) << where << ": pixels changed";
}

// The window the daemon gave a hack, from its environment.
std::string hackWindow(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string entry;
    while (std::getline(in, entry, '\0'))
        if (entry.rfind("XSCREENSAVER_WINDOW=", 0) == 0)
            return entry.substr(20);
    return "";
}

} // namespace

TEST(XScreenSaver, OnTwoMonitorsStartsOneVaskenPerMonitorAndEachDraws)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "creating the daemon's user needs root";
    Xvfb server("1824x768x24", {"-noreset"});
    ASSERT_FALSE(server.name.empty());
    ASSERT_TRUE(splitIntoMonitors(server));
    SaverDaemon daemon(server.name);
    ASSERT_TRUE(daemon.ready()) << "the daemon did not answer (or one of its user already runs)";

    EXPECT_TRUE(daemon.command("-activate"));
    const std::vector<pid_t> hacks = SaverDaemon::awaitProcesses("vasken", 2);
    ASSERT_EQ(hacks.size(), 2u) << "vasken processes the daemon started";
    EXPECT_NE(hackWindow(hacks[0]), hackWindow(hacks[1])) << "both were given window " << hackWindow(hacks[0]);
    pause(1500);
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    for (pid_t hack : hacks) {
        const Window window = std::strtoul(hackWindow(hack).c_str(), nullptr, 0);
        expectScene(
            display, [&] { return capture(display, window); }, "the window of vasken " + std::to_string(hack));
    }
    XCloseDisplay(display);

    EXPECT_TRUE(daemon.command("-deactivate"));
    EXPECT_TRUE(SaverDaemon::awaitNone("vasken")) << "vasken still runs after -deactivate";
}
