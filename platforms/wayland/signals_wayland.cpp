// Signals as bytes on a non-blocking pipe, written by the handlers and read
// by the program's loop.
#include "platforms/wayland/signals_wayland.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void noteSignal(int number)
{
    const char byte = number == SIGCHLD ? signalChild : signalEnd;
    // A full pipe already holds a wake-up.
    ssize_t ignored = write(signalPipe[1], &byte, 1);
    (void)ignored;
}

} // namespace

int watchSignals(bool children)
{
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return -1;
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    if (children)
        sigaction(SIGCHLD, &action, nullptr);
    return signalPipe[0];
}

char takeSignal()
{
    char byte = 0;
    return read(signalPipe[0], &byte, 1) == 1 ? byte : 0;
}
