// The real XScreenSaver daemon for the X11 program's tests, with vasken as
// its only program. The daemon starts no hacks for root, so it runs as an
// unprivileged user of its own, as a login would: created the first time
// (the test says so) and kept for later runs. The daemon's settings and the
// copy of the program it runs go into that user's home, which the user can
// always read whatever the build folder's permissions; the copy is removed
// and the daemon stopped on destruction.
#pragma once
#include <pwd.h>
#include <sys/stat.h>

#include "tests/platforms/x11/x11_test_support.h"

namespace x11test {

class SaverDaemon {
public:
    static constexpr const char* user = "vaskensaver";

    // Empty when the user could not be had; check ready() before anything else.
    explicit SaverDaemon(const std::string& display)
    {
        if (getpwnam(user) == nullptr) {
            std::printf("creating the user %s for the daemon (kept for later runs)\n", user);
            if (std::system((std::string("useradd --create-home ") + user).c_str()) != 0)
                return;
        }
        const passwd* account = getpwnam(user);
        if (account == nullptr || !processes("xscreensaver").empty())
            return;
        home = account->pw_dir;
        programDir = home + "/vasken-test";
        if (std::system(("rm -rf " + programDir + " && mkdir -p " + programDir + " && cp " VASKEN_PROGRAM " " +
                         programDir + "/vasken && chmod -R a+rX " + programDir)
                            .c_str()) != 0)
            return;
        {
            std::ofstream config(home + "/.xscreensaver");
            config << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
                      "timeout: 0:30:00\ndpmsEnabled: False\nprograms: "
                   << programDir << "/vasken --root\n";
        }
        if (chown((home + "/.xscreensaver").c_str(), account->pw_uid, account->pw_gid) != 0)
            return;

        asUser = std::string("runuser -u ") + user + " -- env HOME=" + home + " DISPLAY=" + display + " ";
        launcher = fork();
        if (launcher == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl("/bin/sh", "sh", "-c", (asUser + "xscreensaver -no-splash").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 300 && !answering; ++i) {
            answering = command("-time");
            if (!answering)
                pause(100);
        }
    }
    ~SaverDaemon()
    {
        for (pid_t daemon : processes("xscreensaver"))
            kill(daemon, SIGTERM);
        if (launcher > 0)
            waitpid(launcher, nullptr, 0);
        if (!programDir.empty())
            std::system(("rm -rf " + programDir).c_str());
    }
    SaverDaemon(const SaverDaemon&) = delete;
    SaverDaemon& operator=(const SaverDaemon&) = delete;

    bool ready() const { return answering; }

    // xscreensaver-command with the argument, as the user; true on exit 0.
    bool command(const std::string& argument) const
    {
        return std::system((asUser + "xscreensaver-command " + argument + " >/dev/null 2>&1").c_str()) == 0;
    }

    // The user's processes of that exact name.
    static std::vector<pid_t> processes(const char* name)
    {
        std::vector<pid_t> out;
        const std::string command = std::string("pgrep -u ") + user + " -x " + name;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            int pid;
            while (std::fscanf(pipe, "%d", &pid) == 1)
                out.push_back(pid);
            pclose(pipe);
        }
        return out;
    }

    // Waits up to 30 s for at least count processes of that name.
    static std::vector<pid_t> awaitProcesses(const char* name, size_t count)
    {
        std::vector<pid_t> found;
        for (int i = 0; i < 300 && found.size() < count; ++i) {
            found = processes(name);
            if (found.size() < count)
                pause(100);
        }
        return found;
    }

    // Waits up to 15 s for every process of that name to end.
    static bool awaitNone(const char* name)
    {
        for (int i = 0; i < 300; ++i) {
            if (processes(name).empty())
                return true;
            pause(50);
        }
        return false;
    }

private:
    std::string home;
    std::string programDir;
    std::string asUser;
    pid_t launcher = 0;
    bool answering = false;
};

} // namespace x11test
