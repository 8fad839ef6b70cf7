// The X11 program's command line, in XScreenSaver's manner: where to draw
// (--root, --window-id ID, or a window of its own) and the three settings in
// the names and units XScreenSaver's hacks use (--delay in microseconds,
// --sound / --no-sound, --duration in seconds), plus the hacks' --fps.
// Sound is off unless asked for, as XScreenSaver's hacks are silent by
// convention; the settings' own defaults (the Windows saver's) stay as they
// are. One table of the options drives the parsing, the range checks and
// the usage text.
#pragma once
#include <cstddef>
#include <string>

#include "settings/settings.h"

enum class DrawTarget { ownWindow, root, windowId };

// Where to draw: the X display or the Wayland compositor, chosen from the
// environment and the options unless --x11 or --wayland says.
enum class DisplayChoice : uint8_t { automatic, x11, wayland };

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
    int32_t pixelSize; // --pixel-size; 0: from the desktop's scale
    DisplayChoice display;
    bool windowAsked;   // --window: on Wayland a window instead of the whole outputs
    std::string output; // --output: on Wayland the one output to cover; empty: every output
    bool outputProcess; // one of the per-output processes of a Wayland parent
};

// What an option takes after its name.
enum class OptionValue : uint8_t { none, number, windowId, text };

// The value an option was given: its text, read as the option's kind asks.
struct OptionArgument {
    const char* text;
    long number;
    unsigned long windowId;
};

// An option as typed after - or --. A number's value must lie in low ...
// high; an error message says the option wants its unit.
struct ProgramOption {
    const char* name;
    OptionValue value;
    const char* valueName; // the value in the usage
    long low;
    long high;
    const char* unit;
    const char* fallback; // the default the usage names; null: none
    const char* help;     // null: another spelling, left out of the usage
    void (*apply)(ProgramOptions& options, const OptionArgument& argument);
};

extern const ProgramOption programOptions[];
extern const size_t programOptionCount;

// The text --help prints.
std::string programUsage();

// Reads argv into options (defaults first: own window, the settings'
// defaults). False with a sentence in error for an unknown option, a missing
// value or a value outside its range.
bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error);

// A window id as X prints it: decimal, or hexadecimal after 0x.
bool parseWindowId(const char* text, unsigned long& id);

// Whether to draw on Wayland: asked for with --wayland, or, unless --x11
// says otherwise, where a compositor is named ($WAYLAND_DISPLAY, or the
// socket $WAYLAND_SOCKET a compositor hands its own children) and no X11
// target is (--root, --window-id, --display, the daemon's window in
// xscreensaverWindow). False with a sentence in error when --wayland comes
// with an X11 target.
bool drawsOnWayland(const ProgramOptions& options, const char* waylandDisplay, const char* waylandSocket,
                    const char* xscreensaverWindow, std::string& error);
