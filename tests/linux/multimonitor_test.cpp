// vasken on an X screen of two monitors: a private Xvfb of 1824 x 768 split
// into RandR monitors of 1024 x 768 and 800 x 600 side by side. Under the
// real XScreenSaver daemon (run as an unprivileged user of its own, which
// starts no hacks for root) each monitor gets a vasken of its own; alone on
// the root window, vasken draws one scene over the whole of it.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>

#include <functional>

#include "tests/linux/x11_test_support.h"

using namespace x11test;

namespace {

const char saverUser[] = "vaskensaver";

struct Area {
    int x;
    int y;
    int width;
    int height;
};
const Area monitorAreas[] = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};

// -noreset: without it Xvfb resets when xrandr disconnects, and the monitors
// go with it.
bool splitIntoMonitors(const Xvfb& server)
{
    const std::string xrandr = "DISPLAY=" + server.name + " xrandr ";
    return std::system((xrandr + "--setmonitor LEFT 1024/271x768/203+0+0 screen >/dev/null 2>&1").c_str()) == 0 &&
           std::system((xrandr + "--setmonitor RIGHT 800/211x600/159+1024+0 none >/dev/null 2>&1").c_str()) == 0;
}

Shot captureArea(Display* display, const Area& area)
{
    Shot shot;
    XImage* image = XGetImage(display, DefaultRootWindow(display), area.x, area.y, area.width, area.height,
                              AllPlanes, ZPixmap);
    if (image == nullptr)
        return shot;
    shot.width = area.width;
    shot.height = area.height;
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
            shot.pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return shot;
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

std::vector<pid_t> userProcesses(const char* name)
{
    std::vector<pid_t> out;
    const std::string command = std::string("pgrep -u ") + saverUser + " -x " + name;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        int pid;
        while (std::fscanf(pipe, "%d", &pid) == 1)
            out.push_back(pid);
        pclose(pipe);
    }
    return out;
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

TEST(MultiMonitor, XScreenSaverStartsOneVaskenPerMonitorAndEachDraws)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "creating the daemon's user needs root";
    ASSERT_EQ(std::system((std::string("id ") + saverUser + " >/dev/null 2>&1 || useradd -m " + saverUser).c_str()), 0);
    const passwd* user = getpwnam(saverUser);
    ASSERT_NE(user, nullptr);
    const std::string home = user->pw_dir;
    ASSERT_TRUE(userProcesses("xscreensaver").empty()) << "a daemon of the test user is already running";

    char pattern[] = "/tmp/vasken-hack-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    chmod(dir.c_str(), 0755);
    ASSERT_EQ(std::system(("cp " VASKEN_PROGRAM " " + dir + "/vasken").c_str()), 0);
    {
        std::ofstream config(home + "/.xscreensaver");
        config << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
                  "timeout: 0:30:00\ndpmsEnabled: False\nprograms: "
               << dir << "/vasken --root\n";
    }
    ASSERT_EQ(chown((home + "/.xscreensaver").c_str(), user->pw_uid, user->pw_gid), 0);

    Xvfb server("1824x768x24", {"-noreset"});
    ASSERT_FALSE(server.name.empty());
    ASSERT_TRUE(splitIntoMonitors(server));
    const std::string asUser =
        std::string("runuser -u ") + saverUser + " -- env HOME=" + home + " DISPLAY=" + server.name + " ";
    const pid_t launcher = fork();
    if (launcher == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl("/bin/sh", "sh", "-c", (asUser + "xscreensaver -no-splash").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    bool ready = false;
    for (int i = 0; i < 300 && !ready; ++i) {
        ready = std::system((asUser + "xscreensaver-command -time >/dev/null 2>&1").c_str()) == 0;
        if (!ready)
            pause(100);
    }
    EXPECT_TRUE(ready) << "the daemon did not answer";

    EXPECT_EQ(std::system((asUser + "xscreensaver-command -activate >/dev/null").c_str()), 0);
    std::vector<pid_t> hacks;
    for (int i = 0; i < 300 && hacks.size() < 2; ++i) {
        hacks = userProcesses("vasken");
        if (hacks.size() < 2)
            pause(100);
    }
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

    EXPECT_EQ(std::system((asUser + "xscreensaver-command -deactivate >/dev/null").c_str()), 0);
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        ended = userProcesses("vasken").empty();
        if (!ended)
            pause(50);
    }
    EXPECT_TRUE(ended) << "vasken still runs after -deactivate";
    for (pid_t daemon : userProcesses("xscreensaver"))
        kill(daemon, SIGTERM);
    waitpid(launcher, nullptr, 0);
    std::system(("rm -rf " + dir).c_str());
}

TEST(MultiMonitor, OnTheRootWindowOneSceneCoversBothMonitors)
{
    Xvfb server("1824x768x24", {"-noreset"});
    ASSERT_FALSE(server.name.empty());
    ASSERT_TRUE(splitIntoMonitors(server));
    Program vasken({"--root", "--no-sound", "--display", server.name});
    pause(1500);
    ASSERT_TRUE(vasken.running()) << vasken.errors();
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    for (const Area& area : monitorAreas)
        expectScene(
            display, [&] { return captureArea(display, area); },
            "monitor at " + std::to_string(area.x) + "," + std::to_string(area.y));
    XCloseDisplay(display);
}
