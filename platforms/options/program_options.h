// Kit: the command line of the Linux programs, in XScreenSaver's manner. One
// table holds the rows every display takes: the three settings in the names
// and units XScreenSaver's hacks use (--delay in microseconds, --sound /
// --no-sound, --duration in seconds), the hacks' --fps, and --patterns,
// --seed, --pixel-size and --help. A display adds its own rows (where to
// draw, which display) and gets the parsing, the range checks and the usage
// text of the combined table. Sound is off unless asked for, as
// XScreenSaver's hacks are silent by convention; the settings' own defaults
// (the Windows saver's) stay as they are.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"

// What the common rows set.
struct CommonOptions {
    Settings settings;
    std::string patternDir; // empty: built-in patterns only
    bool help;
    bool showFps;
    bool fixedSeed; // --seed: the same formation and frames on every run
    uint32_t seed;
    int32_t pixelSize; // --pixel-size; 0: from the display's scale
};

// What a display's own rows set; each display program defines it.
struct DisplayOptions;

// What an option takes after its name.
enum class OptionValue : uint8_t {
    none,
    number, // a decimal number in the row's range
    id,     // a resource id as X prints it: decimal, or hexadecimal after 0x; never 0
    text,
};

// The value an option was given: its text, read as the option's kind asks.
struct OptionArgument {
    const char* text;
    long number;
    unsigned long id;
};

// The usage lists the rows in this order: where to draw, how the scene
// runs, on which display, and the program itself.
enum class OptionSection : uint8_t { target, scene, display, program };

// An option as typed after - or --. A number's value must lie in low ...
// high; an error message says the option wants its unit.
struct ProgramOption {
    const char* name;
    OptionSection section;
    OptionValue value;
    const char* valueName; // the value in the usage
    long low;
    long high;
    const char* unit;
    const char* fallback; // the default the usage names; null: none
    const char* help;     // null: another spelling, left out of the usage
    void (*apply)(CommonOptions& common, DisplayOptions& display, const OptionArgument& argument);
};

// The common rows and a display's, section by section, the common rows
// first within a section. scaleSource names, for the usage, where the pixel
// size comes from without --pixel-size ("the desktop's scale (Xft.dpi)");
// null: the display's scale.
std::vector<ProgramOption> withCommonOptions(const ProgramOption* rows, size_t count, const char* scaleSource);

// The text --help prints: the synopsis and one line or more per row of the
// table, then notes (lines of the display's own).
std::string optionUsage(const char* program, const std::vector<ProgramOption>& table, const char* notes);

// Reads argv through the table into common (defaults first: the settings'
// defaults, sound off) and display (left as the caller set it, for its
// defaults). False with a sentence in error for an unknown option, a
// missing value or a value outside its range.
bool parseOptions(const std::vector<ProgramOption>& table, int argc, char** argv, CommonOptions& common,
                  DisplayOptions& display, std::string& error);

// An id as X prints it: decimal, or hexadecimal after 0x; never 0.
bool parseId(const char* text, unsigned long& id);

// The seed of a run: --seed's, else one of its own. Instances started at
// the same moment (XScreenSaver starts one per monitor at once) each get a
// formation of their own.
uint32_t runSeed(const CommonOptions& options);
