// The parent of the per-output processes. Each is the program itself
// with the parent's arguments and --output NAME; it dies
// with the parent (PR_SET_PDEATHSIG), and the parent reaps every one before
// it ends. With sound on, only the first process plays.
#include "platforms/wayland/outputs_wayland.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platforms/wayland/connection_wayland.h"
#include "platforms/wayland/main_wayland.h"
#include "platforms/wayland/signals_wayland.h"
#include "settings/settings.h"

namespace {

struct OutputProcess {
    pid_t pid; // 0: the slot is free
    uint32_t global; // its output's
    char name[outputNameSize];
    bool letGo; // the parent ended it: how it ends says nothing
};

struct OutputParent {
    // An output that goes and comes back may have two processes for a
    // moment: the one ending and the new one.
    OutputProcess processes[2 * maxWaylandOutputs];
    bool soundGiven;
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

void start(const WaylandProgram& program, const WaylandOutput& output)
{
    OutputProcess* slot = nullptr;
    for (OutputProcess& process : parent.processes)
        slot = slot == nullptr && process.pid == 0 ? &process : slot;
    if (slot == nullptr)
        return;
    *slot = OutputProcess{0, output.global, {}, false};
    if (output.name[0] != '\0')
        std::snprintf(slot->name, sizeof slot->name, "%s", output.name);
    else
        std::snprintf(slot->name, sizeof slot->name, "#%u", output.global);
    std::vector<char*> args;
    for (char** arg = program.argv; *arg != nullptr; ++arg)
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
    slot->pid = pid > 0 ? pid : 0;
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
                process.pid = 0;
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
        process.pid = 0;
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
    int status = 0;
    pid_t pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
        OutputProcess* ended = nullptr;
        for (OutputProcess& process : parent.processes)
            ended = process.pid == pid ? &process : ended;
        if (ended == nullptr)
            continue;
        ended->pid = 0;
        if (ended->letGo)
            continue;
        if (WIFSIGNALED(status)) {
            std::fprintf(stderr, "vasken: the saver on output %s ended by signal %d\n", ended->name,
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

int run(const WaylandProgram& program, int signals)
{
    for (;;) {
        for (const WaylandOutput& output : wayland.outputs)
            if (waylandOutputReady(output) && !hasProcess(output.global))
                start(program, output);
        letGoOfLostOutputs();
        const int result = reap();
        if (result >= 0)
            return result;
        bool signalled = false;
        if (!waitWayland(-1, signals, signalled)) {
            std::fprintf(stderr, "vasken: %s\n", waylandLossReason());
            return exitFailed;
        }
        for (char signal; signalled && (signal = takeSignal()) != 0;)
            if (signal == signalEnd)
                return exitByInput;
    }
}

} // namespace

int runOutputProcesses(const WaylandProgram& program, int signals)
{
    parent = OutputParent{};
    const int result = run(program, signals);
    endAll();
    return result;
}
