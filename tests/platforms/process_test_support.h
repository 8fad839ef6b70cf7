// Shared by the tests that run programs as a user would (the X11 program's,
// the Wayland ones): a test's own directory under the build folder, waits
// on a condition with a bound, child processes with their stderr kept, and
// the unprivileged user that the daemons and compositors which refuse root
// run as.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace processtest {

inline void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// A fresh, empty directory of that name for a test's files, under the build
// folder (VASKEN_TEST_FILES): nothing lands in /tmp.
inline std::string testDirectory(const std::string& name)
{
    const std::string path = std::string(VASKEN_TEST_FILES) + "/" + name;
    std::system(("rm -rf '" + path + "' && mkdir -p '" + path + "'").c_str());
    return path;
}

// Polls done() every few milliseconds until it holds or the time is up; the
// failure names what was awaited. The bounds leave room for a loaded machine.
template <class Done>
::testing::AssertionResult eventually(const std::string& what, Done done, int milliseconds = 10000, int every = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return ::testing::AssertionFailure() << "waited " << milliseconds << " ms for " << what;
        pause(every);
    }
    return ::testing::AssertionSuccess();
}

// Forks and execs args (found on the PATH) with the environment entries
// added and stderr, and stdout unless out is -1, sent to those descriptors;
// stdin too unless in is -1. The child's pid.
inline pid_t spawn(std::vector<std::string> args, int out, int err, const std::vector<std::string>& environment = {},
                   int in = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (in >= 0)
            dup2(in, 0);
        if (out >= 0)
            dup2(out, 1);
        dup2(err, 2);
        for (const std::string& e : environment)
            putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// A child process: its arguments (the program first), extra environment
// (later entries win), stderr kept in a file. Killed on destruction if it
// still runs.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {})
    {
        std::system(("mkdir -p '" + std::string(VASKEN_TEST_FILES) + "'").c_str());
        errorPath = std::string(VASKEN_TEST_FILES) + "/stderr-XXXXXX";
        const int err = mkstemp(&errorPath[0]);
        // Readable by a user the process may become.
        fchmod(err, 0666);
        pid = spawn(args, -1, err, environment);
        close(err);
    }
    ~ChildProcess()
    {
        if (running()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        unlink(errorPath.c_str());
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // False once it has ended; the wait status is kept.
    bool running()
    {
        ended = ended || pid <= 0 || waitpid(pid, &status, WNOHANG) == pid;
        return !ended;
    }
    // The exit code once it ends within the time, -1 if it does not, -2 if a
    // signal ended it.
    int waitExit(int milliseconds)
    {
        if (!eventually("the program to end", [&] { return !running(); }, milliseconds, 5))
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    }
    std::string errors() const
    {
        std::ifstream in(errorPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    pid_t pid = -1;
    std::string errorPath;
    bool ended = false;
    int status = 0;
};

// An unprivileged user of that name for programs that refuse to run as root,
// created the first time (the test says so) and kept. Tests that need it
// skip unless they run as root.
struct TestUser {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::string home;
};

inline ::testing::AssertionResult ensureTestUser(const std::string& name, TestUser& user)
{
    if (getpwnam(name.c_str()) == nullptr) {
        std::printf("creating the user %s for the tests (kept for later runs)\n", name.c_str());
        if (std::system(("useradd --create-home " + name).c_str()) != 0)
            return ::testing::AssertionFailure() << "useradd " << name << " failed";
    }
    const passwd* account = getpwnam(name.c_str());
    if (account == nullptr)
        return ::testing::AssertionFailure() << "no user " << name;
    user = TestUser{name, account->pw_uid, account->pw_gid, account->pw_dir};
    return ::testing::AssertionSuccess();
}

// The user's processes of that exact name.
inline std::vector<pid_t> processesOf(const std::string& user, const std::string& name)
{
    std::vector<pid_t> out;
    const std::string command = "pgrep -u " + user + " -x " + name;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        int pid;
        while (std::fscanf(pipe, "%d", &pid) == 1)
            out.push_back(pid);
        pclose(pipe);
    }
    return out;
}

} // namespace processtest
