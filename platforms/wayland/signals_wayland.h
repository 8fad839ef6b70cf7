// The signals the Wayland program waits for beside the compositor: SIGTERM
// and SIGINT end it, SIGCHLD tells the parent of the per-output processes
// that one ended. Each arrives as a byte on a pipe that the loops
// (platforms/wayland/main_wayland.cpp, outputs_wayland.cpp) poll with the
// display's descriptor.
#pragma once

enum : char { signalEnd = 'e', signalChild = 'c' };

// The pipe's reading end, or -1 when it cannot be made. SIGCHLD only when
// children is true.
int watchSignals(bool children);
// The next signal noted (signalEnd, signalChild), 0 when none is waiting.
char takeSignal();
