// The program's command line: the Linux programs' common options
// (platforms/options/program_options.h) and the program's own, where to
// draw on X11 (--root, --window-id ID, or a window of its own) and on which
// display, and on Wayland (--output, the choice of --x11 or --wayland).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platforms/options/program_options.h"

enum class DrawTarget { ownWindow, root, windowId };

// Where to draw: the X display or the Wayland compositor, chosen from the
// environment and the options unless --x11 or --wayland says.
enum class DisplayChoice : uint8_t { automatic, x11, wayland };

struct DisplayOptions {
    DrawTarget target; // a window id wins over --root, whatever their order
    unsigned long windowId;
    std::string displayName; // empty: $DISPLAY
    DisplayChoice display;
    bool windowAsked;   // --window: on Wayland a window instead of the whole outputs
    std::string output; // --output: on Wayland the one output to cover; empty: every output
    bool outputProcess; // one of the per-output processes of a Wayland parent
};

// Everything the command line sets.
struct ProgramOptions : CommonOptions, DisplayOptions {};

// The combined table, in the order of the usage.
extern const std::vector<ProgramOption> programOptions;
extern const size_t programOptionCount;

// The text --help prints.
std::string programUsage();

// Reads argv into options (defaults first: own window, the settings'
// defaults). False with a sentence in error for an unknown option, a missing
// value or a value outside its range.
bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error);

// Whether to draw on Wayland: asked for with --wayland, or, unless --x11
// says otherwise, where a compositor is named ($WAYLAND_DISPLAY, or the
// socket $WAYLAND_SOCKET a compositor hands its own children) and no X11
// target is (--root, --window-id, --display, the daemon's window in
// xscreensaverWindow). False with a sentence in error when --wayland comes
// with an X11 target.
bool drawsOnWayland(const ProgramOptions& options, const char* waylandDisplay, const char* waylandSocket,
                    const char* xscreensaverWindow, std::string& error);
