// The Linux programs' event loop: one poll on the connection and a pipe
// that the signal handler writes to, with the time to the next frame as its
// timeout.
#include "platforms/loop/event_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include "platforms/fps/fps_count.h"

namespace {

// A handler may do little more than write to a pipe; the loop's poll wakes
// on the byte.
struct EndSignals {
    int pipe[2];
};

EndSignals endSignals = {{-1, -1}};

void noteSignal(int)
{
    const char byte = 1;
    // Nothing to do if the pipe is full: a wake-up is already waiting.
    ssize_t ignored = write(endSignals.pipe[1], &byte, 1);
    (void)ignored;
}

} // namespace

bool watchEndSignals()
{
    if (pipe(endSignals.pipe) != 0)
        return false;
    for (int fd : endSignals.pipe) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

LoopStep runEventLoop(const EventLoop& loop, WindowSize size, std::string& error)
{
    for (;;) {
        WindowSize next = size;
        LoopStep step = loop.takeEvents(loop.context, next, error);
        if (step == LoopStep::run && (next.width != size.width || next.height != size.height)) {
            step = loop.resize(loop.context, next, error);
            size = next;
        }
        if (step != LoopStep::run)
            return step;
        const uint32_t wait = loop.frameDelay(loop.context);
        if (wait == 0) {
            loop.drawFrame(loop.context);
            // The next frame waits until the display has taken this one's
            // pixels, so a slow server does not fall behind.
            loop.endBatch(loop.context);
            countFpsFrame();
            continue;
        }
        loop.endBatch(loop.context); // what an exposure presented
        pollfd waits[2] = {{loop.connection, POLLIN, 0}, {endSignals.pipe[0], POLLIN, 0}};
        const int timeout = wait == waitForEvents ? -1 : static_cast<int>((wait + 999) / 1000);
        if (poll(waits, 2, timeout) > 0 && (waits[1].revents & POLLIN) != 0)
            return LoopStep::stop;
    }
}
