// The X11 program's command line, in XScreenSaver's manner: where to draw
// (--root, --window-id ID, or a window of its own) and the three settings in
// the names and units XScreenSaver's hacks use (--delay in microseconds,
// --sound / --no-sound, --duration in seconds), plus the hacks' --fps.
// Sound is off unless asked for, as XScreenSaver's hacks are silent by
// convention; the settings' own defaults (the Windows saver's) stay as they
// are.
#pragma once
#include <string>

#include "settings/settings.h"

enum class DrawTarget { ownWindow, root, windowId };

struct ProgramOptions {
    DrawTarget target; // a window id wins over --root, whatever their order
    unsigned long windowId;
    Settings settings;
    std::string displayName; // empty: $DISPLAY
    std::string patternDir;  // empty: built-in patterns only
    bool help;
    bool showFps;
    bool fixedSeed; // --seed: the same formation and frames on every run
    uint32_t seed;
};

enum : int {
    minDelayMicroseconds = 10000, // the settings' 10 ... 200 ms
    maxDelayMicroseconds = 200000,
    minDurationSeconds = 60, // the settings' 1 ... 100 minutes
    maxDurationSeconds = 6000,
};

extern const char programUsage[];

// Reads argv into options (defaults first: own window, the settings'
// defaults). False with a sentence in error for an unknown option, a missing
// value or a value outside its range.
bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error);

// A window id as X prints it: decimal, or hexadecimal after 0x.
bool parseWindowId(const char* text, unsigned long& id);
