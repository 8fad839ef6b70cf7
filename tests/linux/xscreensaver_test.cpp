// The real XScreenSaver daemon with vasken as its only program, under a
// private Xvfb. The daemon starts no hacks for root, so the test runs it as
// an unprivileged user of its own, as a login would: created the
// first time (the test says so) and kept for later runs. The daemon's
// settings and the copy of the program it runs go into that user's home,
// which the user can always read whatever the build folder's permissions;
// the copy is removed at the end. Leaves the screenshot in the working
// directory (xscreensaver-shot.png).
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>

#include "tests/linux/x11_test_support.h"

using namespace x11test;

namespace {

const char saverUser[] = "vaskensaver";

std::string capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        pclose(pipe);
    }
    return out;
}

// The pid of the user's process of that exact name, or 0.
pid_t findProcess(const char* name)
{
    return std::atoi(capture(std::string("pgrep -u ") + saverUser + " -x " + name + " | head -1").c_str());
}

} // namespace

TEST(XScreenSaver, TheDaemonStartsVaskenOnActivateAndEndsItOnDeactivate)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "creating the daemon's user needs root";
    if (getpwnam(saverUser) == nullptr) {
        std::printf("creating the user %s for the daemon (kept for later runs)\n", saverUser);
        ASSERT_EQ(std::system((std::string("useradd --create-home ") + saverUser).c_str()), 0);
    }
    const passwd* user = getpwnam(saverUser);
    ASSERT_NE(user, nullptr);
    const std::string home = user->pw_dir;
    ASSERT_EQ(findProcess("xscreensaver"), 0) << "a daemon of the test user is already running";

    // A copy of the program where the user can run it.
    const std::string dir = home + "/vasken-test";
    ASSERT_EQ(std::system(("rm -rf " + dir + " && mkdir -p " + dir + " && cp " VASKEN_PROGRAM " " + dir +
                           "/vasken && chmod -R a+rX " + dir).c_str()),
              0);
    {
        std::ofstream config(home + "/.xscreensaver");
        config << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
                  "timeout: 0:30:00\ndpmsEnabled: False\nprograms: "
               << dir << "/vasken --root\n";
    }
    ASSERT_EQ(chown((home + "/.xscreensaver").c_str(), user->pw_uid, user->pw_gid), 0);

    Xvfb server("640x480x24");
    ASSERT_FALSE(server.name.empty());
    const std::string asUser = std::string("runuser -u ") + saverUser + " -- env HOME=" + home + " DISPLAY=" + server.name + " ";
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
    pid_t hack = 0;
    for (int i = 0; i < 300 && hack == 0; ++i) {
        hack = findProcess("vasken");
        if (hack == 0)
            pause(100);
    }
    EXPECT_NE(hack, 0) << "the daemon did not start vasken";
    pause(1500);
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const SceneColours colours = sortColours(display, x11test::capture(display, DefaultRootWindow(display)));
    EXPECT_GT(colours.shipPixels, 1000) << "ship colours on the screen";
    EXPECT_GE(colours.squareColours, 8);
    XCloseDisplay(display);
    std::system(("import -display " + server.name + " -window root xscreensaver-shot.png 2>/dev/null").c_str());

    EXPECT_EQ(std::system((asUser + "xscreensaver-command -deactivate >/dev/null").c_str()), 0);
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        ended = hack != 0 && kill(hack, 0) != 0;
        if (!ended)
            pause(50);
    }
    EXPECT_TRUE(ended) << "vasken still runs after -deactivate";

    if (const pid_t daemon = findProcess("xscreensaver"))
        kill(daemon, SIGTERM);
    waitpid(launcher, nullptr, 0);
    std::system(("rm -rf " + dir).c_str());
}
