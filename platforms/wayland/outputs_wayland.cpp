// The parent of the per-output processes. Each is the program itself with
// the parent's arguments and --output NAME; it dies with the parent
// (PR_SET_PDEATHSIG), and the parent reaps every one before it ends. The
// parent waits in the Linux programs' event loop on one descriptor: an
// epoll set of the display's connection and a pidfd per process, readable
// when the process ends. With sound on, only the first process plays.
#include "platforms/wayland/outputs_wayland.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platforms/loop/event_loop.h"
#include "platforms/wayland/connection_wayland.h"
#include "platforms/wayland/main_wayland.h"
#include "settings/settings.h"

namespace {

struct OutputProcess {
    pid_t pid;       // 0: the slot is free
    int pidfd;       // in the parent's epoll set while the process runs
    uint32_t global; // its output's
    char name[outputNameSize];
    bool letGo; // the parent ended it: how it ends says nothing
};

struct OutputParent {
    const WaylandProgram* program;
    int events; // the epoll set the loop waits on
    // An output that goes and comes back may have two processes for a
    // moment: the one ending and the new one.
    OutputProcess processes[2 * maxWaylandOutputs];
    bool soundGiven;
    int result; // the exit code when the loop stops: input's, or what reap found
};

OutputParent parent;

// How long the processes have to end after SIGTERM before SIGKILL.
constexpr int endMilliseconds = 3000;

bool hasProcess(uint32_t global)
{
    for (const OutputProcess& process : parent.processes)
        if (process.pid != 0 && !process.letGo && process.global == global)
            return true;
    return false;
}

void watch(int fd)
{
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(parent.events, EPOLL_CTL_ADD, fd, &event);
}

void forget(OutputProcess& process)
{
    if (process.pidfd >= 0) {
        epoll_ctl(parent.events, EPOLL_CTL_DEL, process.pidfd, nullptr);
        close(process.pidfd);
    }
    process = OutputProcess{0, -1, 0, {}, false};
}

void start(const WaylandOutput& output)
{
    OutputProcess* slot = nullptr;
    for (OutputProcess& process : parent.processes)
        slot = slot == nullptr && process.pid == 0 ? &process : slot;
    if (slot == nullptr)
        return;
    *slot = OutputProcess{0, -1, output.global, {}, false};
    if (output.name[0] != '\0')
        std::snprintf(slot->name, sizeof slot->name, "%s", output.name);
    else
        std::snprintf(slot->name, sizeof slot->name, "#%u", output.global);
    std::vector<char*> args;
    for (char** arg = parent.program->argv; *arg != nullptr; ++arg)
        args.push_back(*arg);
    for (const char* extra : {"--wayland", "--output", static_cast<const char*>(slot->name), "--output-process"})
        args.push_back(const_cast<char*>(extra));
    if (settings.soundOn != 0 && parent.soundGiven)
        args.push_back(const_cast<char*>("--no-sound"));
    parent.soundGiven = true;
    args.push_back(nullptr);
    // By its path, not /proc/self/exe, so that the process is named as the
    // program is (pgrep, ps).
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return;
    path[length] = '\0';
    const pid_t self = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Ends with the parent, however the parent ends; a parent that
        // ended before this line is caught by the check after it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != self)
            _exit(exitByInput);
        execv(path, args.data());
        std::fprintf(stderr, "vasken: cannot start the saver for output %s\n", slot->name);
        _exit(exitFailed);
    }
    if (pid < 0)
        return;
    slot->pid = pid;
    // By the system call: glibc 2.36's header of it is not usable from C++.
    slot->pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (slot->pidfd >= 0)
        watch(slot->pidfd);
}

void pause(long milliseconds)
{
    const timespec wait = {0, milliseconds * 1000000L};
    nanosleep(&wait, nullptr);
}

// SIGTERM to every process still running, SIGKILL to those that have not
// ended in time, and every one reaped.
void endAll()
{
    for (OutputProcess& process : parent.processes)
        if (process.pid != 0)
            kill(process.pid, SIGTERM);
    for (int waited = 0;; waited += 5) {
        bool running = false;
        for (OutputProcess& process : parent.processes) {
            if (process.pid != 0 && waitpid(process.pid, nullptr, WNOHANG) != 0)
                forget(process);
            running = running || process.pid != 0;
        }
        if (!running)
            return;
        if (waited >= endMilliseconds)
            break;
        pause(5);
    }
    for (OutputProcess& process : parent.processes) {
        if (process.pid == 0)
            continue;
        kill(process.pid, SIGKILL);
        waitpid(process.pid, nullptr, 0);
        forget(process);
    }
}

void letGoOfLostOutputs()
{
    for (OutputProcess& process : parent.processes) {
        if (process.pid == 0 || process.letGo)
            continue;
        bool present = false;
        for (const WaylandOutput& output : wayland.outputs)
            present = present || (output.output != nullptr && output.global == process.global);
        if (!present) {
            kill(process.pid, SIGTERM);
            process.letGo = true;
        }
    }
}

// Reaps the processes that ended; -1 while the others run on, else the
// parent's exit code (after writing the line a failure needs).
int reap()
{
    for (OutputProcess& process : parent.processes) {
        int status = 0;
        if (process.pid == 0 || waitpid(process.pid, &status, WNOHANG) != process.pid)
            continue;
        const bool letGo = process.letGo;
        const std::string name = process.name;
        forget(process);
        if (letGo)
            continue;
        if (WIFSIGNALED(status)) {
            std::fprintf(stderr, "vasken: the saver on output %s ended by signal %d\n", name.c_str(),
                         WTERMSIG(status));
            return exitFailed;
        }
        switch (WEXITSTATUS(status)) {
        case exitByInput:
            return exitByInput;
        case exitOutputGone:
            break;
        case exitCompositorGone:
            std::fprintf(stderr, "vasken: %s\n", waylandLossReason());
            return exitFailed;
        default:
            return exitFailed;
        }
    }
    return -1;
}

// The compositor's news, then the processes': a process for every output
// that is ready and has none, its end for every output that went.
LoopStep takeEvents(void*, WindowSize&, std::string& error)
{
    wl_display* display = wayland.display;
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
        error = waylandLossReason();
        return LoopStep::failed;
    }
    for (const WaylandOutput& output : wayland.outputs)
        if (waylandOutputReady(output) && !hasProcess(output.global))
            start(output);
    letGoOfLostOutputs();
    const int result = reap();
    if (result < 0)
        return LoopStep::run;
    parent.result = result;
    return LoopStep::stop;
}

} // namespace

int runOutputProcesses(const WaylandProgram& program)
{
    parent = OutputParent{};
    parent.program = &program;
    parent.result = exitByInput;
    for (OutputProcess& process : parent.processes)
        process.pidfd = -1;
    parent.events = epoll_create1(EPOLL_CLOEXEC);
    if (parent.events < 0) {
        std::fprintf(stderr, "vasken: cannot wait for the outputs' processes\n");
        return exitFailed;
    }
    watch(wl_display_get_fd(wayland.display));
    // The parent draws nothing: it only waits.
    const EventLoop events = {parent.events,
                              nullptr,
                              takeEvents,
                              [](void*, WindowSize, std::string&) { return LoopStep::run; },
                              [](void*) { return waitForEvents; },
                              [](void*) {},
                              [](void*) { wl_display_flush(wayland.display); }};
    std::string error;
    const LoopStep end = runEventLoop(events, WindowSize{0, 0}, error);
    endAll();
    close(parent.events);
    if (end == LoopStep::failed) {
        std::fprintf(stderr, "vasken: %s\n", error.c_str());
        return exitFailed;
    }
    return parent.result;
}
