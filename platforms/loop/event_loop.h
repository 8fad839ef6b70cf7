// Kit: the event loop of a Linux saver program. It waits at once for the
// display connection, the next frame and SIGTERM / SIGINT; handles every
// event that came in before it draws, and a new window size once after
// them; and counts the frames for --fps (platforms/fps/fps_count.h). A
// display's main fills in an EventLoop with its connection and its calls.
#pragma once
#include <cstdint>
#include <string>

enum class LoopStep : uint8_t { run, stop, failed };

// frameDelay's answer when the loop is to sleep until an event comes.
constexpr uint32_t waitForEvents = UINT32_MAX;

struct WindowSize {
    int32_t width; // device pixels
    int32_t height;
};

// What a display hands the loop; each call is given context.
struct EventLoop {
    int connection; // the display connection's file descriptor
    void* context;
    // Handles every event that has come in, a new size of the window into
    // size. stop: the window went or the user ended the program; failed:
    // with a sentence in error.
    LoopStep (*takeEvents)(void* context, WindowSize& size, std::string& error);
    // The scene takes the window's new size; answers as takeEvents does
    // (failed: the window cannot show it).
    LoopStep (*resize)(void* context, WindowSize size, std::string& error);
    // Microseconds until the next frame is due; 0: now; waitForEvents:
    // only an event can bring it (a compositor that asks for no frame).
    uint32_t (*frameDelay)(void* context);
    void (*drawFrame)(void* context);
    // Sends what a frame or an exposure left held back. Called after each
    // frame and before each wait.
    void (*endBatch)(void* context);
};

// Makes SIGTERM and SIGINT end runEventLoop, however long its wait; false
// when they cannot be watched. Called once, before the loop runs.
bool watchEndSignals();

// Runs until the events say stop, SIGTERM or SIGINT comes (both: stop) or a
// call fails (failed, with the sentence in error). size: the window's size
// that the scene was opened at.
LoopStep runEventLoop(const EventLoop& loop, WindowSize size, std::string& error);
