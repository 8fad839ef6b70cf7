// The real XScreenSaver daemon with vasken as its only program, on one screen
// and on two RandR monitors: -activate starts a vasken per monitor, each
// drawing in a window of its own, and -deactivate ends them. Leaves a
// screenshot per layout in the working directory (xscreensaver-*.png).
// The daemon starts no hacks for root, so it runs as an unprivileged user of
// its own, as a login would (tests/platforms/process_test_support.h). Its
// settings and the copy of the program it runs go into that user's home,
// which the user can read whatever the build folder's permissions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/platforms/x11/x11_test_support.h"

using namespace x11test;

namespace {

const char* const user = "vaskensaver";

std::vector<pid_t> processes(const char* name) { return processesOf(user, name); }

// The window the daemon gave a hack, from its environment.
Window hackWindow(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string entry;
    while (std::getline(in, entry, '\0'))
        if (entry.rfind("XSCREENSAVER_WINDOW=", 0) == 0)
            return std::strtoul(entry.c_str() + 20, nullptr, 0);
    return 0;
}

struct Layout {
    const char* name;
    size_t monitors;
};

const Layout layouts[] = {{"OneScreen", 1}, {"TwoMonitors", 2}};
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

} // namespace

// A server of that layout with the daemon answering on it, as the user; the
// daemon is stopped, any hack it leaves killed and the copy of the program
// removed when the test ends. activate() has it start its hacks.
class XScreenSaver : public X11Test, public ::testing::WithParamInterface<Layout> {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "creating the daemon's user needs root";
        TestUser account;
        ASSERT_TRUE(ensureTestUser(user, account));
        ASSERT_TRUE(processes("xscreensaver").empty()) << "a daemon of " << user << " already runs";
        const std::string home = account.home;
        programDir = home + "/vasken-test";
        ASSERT_EQ(std::system(("rm -rf " + programDir + " && mkdir -p " + programDir + " && cp " VASKEN_PROGRAM " " +
                               programDir + "/vasken && chmod -R a+rX " + programDir)
                                  .c_str()),
                  0);
        std::ofstream(home + "/.xscreensaver")
            << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
               "timeout: 0:30:00\ndpmsEnabled: False\nprograms: "
            << programDir << "/vasken --root\n";
        ASSERT_EQ(chown((home + "/.xscreensaver").c_str(), account.uid, account.gid), 0);

        ASSERT_NO_FATAL_FAILURE(GetParam().monitors == 1 ? startServer("640x480x24") : startTwoMonitorServer());
        asUser = std::string("runuser -u ") + user + " -- env HOME=" + home + " DISPLAY=" + server->name + " ";
        const int null = open("/dev/null", O_WRONLY);
        launcher = spawn({"/bin/sh", "-c", asUser + "xscreensaver -no-splash"}, null, null);
        close(null);
        ASSERT_TRUE(eventually("the daemon to answer", [&] { return command("-time"); }, 30000, 100));
    }
    ~XScreenSaver() override
    {
        if (launcher > 0) {
            for (pid_t daemon : processes("xscreensaver"))
                kill(daemon, SIGTERM);
            waitpid(launcher, nullptr, 0);
            if (!eventually("the hacks to end", [] { return processes("vasken").empty(); }, 15000, 50))
                for (pid_t hack : processes("vasken"))
                    kill(hack, SIGKILL);
        }
        if (!programDir.empty())
            std::system(("rm -rf " + programDir).c_str());
    }

    // xscreensaver-command with the argument, as the user; true on exit 0.
    bool command(const std::string& argument) const
    {
        return std::system((asUser + "xscreensaver-command " + argument + " >/dev/null 2>&1").c_str()) == 0;
    }

    void activate()
    {
        ASSERT_TRUE(command("-activate"));
        ASSERT_TRUE(eventually("a vasken per monitor",
                               [&] { return (hacks = processes("vasken")).size() >= GetParam().monitors; }, 30000, 100));
        EXPECT_EQ(hacks.size(), GetParam().monitors) << "vasken processes the daemon started";
    }

    std::string programDir;
    std::string asUser;
    pid_t launcher = 0;
    std::vector<pid_t> hacks;
};

INSTANTIATE_TEST_SUITE_P(Layouts, XScreenSaver, ::testing::ValuesIn(layouts),
                         [](const ::testing::TestParamInfo<Layout>& layout) { return layout.param.name; });

TEST_P(XScreenSaver, ActivateStartsOneVaskenPerMonitorEachInAWindowOfItsOwn)
{
    ASSERT_NO_FATAL_FAILURE(activate());
    std::set<Window> windows;
    for (pid_t hack : hacks)
        windows.insert(hackWindow(hack));
    EXPECT_EQ(windows.size(), hacks.size()) << "hacks given the same window";
    EXPECT_EQ(windows.count(0), 0u) << "a hack given no window";
}

TEST_P(XScreenSaver, EveryVaskenItStartsDrawsAMovingScene)
{
    ASSERT_NO_FATAL_FAILURE(activate());
    for (pid_t hack : hacks) {
        SCOPED_TRACE("the window of vasken " + std::to_string(hack));
        EXPECT_TRUE(showsScene({hackWindow(hack)}, 1000));
        EXPECT_TRUE(moves({hackWindow(hack)}, 500));
    }
    std::system(("import -display " + server->name + " -window root xscreensaver-" + GetParam().name +
                 ".png 2>/dev/null")
                    .c_str());
}

TEST_P(XScreenSaver, DeactivateEndsEveryVasken)
{
    ASSERT_NO_FATAL_FAILURE(activate());
    EXPECT_TRUE(command("-deactivate"));
    EXPECT_TRUE(eventually("every vasken to end after -deactivate", [] { return processes("vasken").empty(); }, 15000, 50));
}
