// The saver on every output: the core keeps one scene per process, so a
// parent watches the compositor's outputs and runs the program once more
// for each (--output NAME), ends the process of an output that goes, and
// ends them all when one of them is ended by input. The Wayland loop
// (platforms/wayland/main_wayland.cpp) hands over here.
#pragma once

struct WaylandProgram;

// How a per-output process tells the parent why it ended.
enum : int {
    exitByInput = 0,        // input (or a signal) ended it: the parent ends them all
    exitFailed = 1,         // it wrote why on stderr: the parent ends them all
    exitOutputGone = 2,     // its output went away
    exitCompositorGone = 3, // the parent writes the one line about it
};

// Runs until input ends one of the processes (0), a signal ends the parent
// (0) or the compositor or a process fails (1, one line on stderr). No
// process of its own outlives it. The end signals must be watched
// (platforms/loop/event_loop.h).
int runOutputProcesses(const WaylandProgram& program);
