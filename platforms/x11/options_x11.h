// The X11 program's command line: the Linux programs' common options
// (platforms/options/program_options.h) and X11's own, where to draw
// (--root, --window-id ID, or a window of its own) and on which display.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platforms/options/program_options.h"

enum class DrawTarget { ownWindow, root, windowId };

struct DisplayOptions {
    DrawTarget target; // a window id wins over --root, whatever their order
    unsigned long windowId;
    std::string displayName; // empty: $DISPLAY
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
