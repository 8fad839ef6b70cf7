// The X11 program's options. Both -name and --name are accepted, as
// XScreenSaver's hacks accept them.
#include "platforms/x11/options_x11.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/pixel_scale.h"

// name, value, value's name, low, high, unit, default, help, what it sets
const ProgramOption programOptions[] = {
    {"root", OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw on the root window",
     [](ProgramOptions& o, const OptionArgument&) {
         if (o.target != DrawTarget::windowId)
             o.target = DrawTarget::root;
     }},
    {"window", OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw into a window of its own (the default on X11)",
     [](ProgramOptions& o, const OptionArgument&) {
         o.windowAsked = true;
         if (o.target != DrawTarget::windowId)
             o.target = DrawTarget::ownWindow;
     }},
    {"window-id", OptionValue::windowId, "ID", 0, 0, "a window id, decimal or 0x hexadecimal", nullptr,
     "draw into the window ID, decimal or 0x hexadecimal",
     [](ProgramOptions& o, const OptionArgument& a) {
         o.windowId = a.windowId;
         o.target = DrawTarget::windowId;
     }},
    {"delay", OptionValue::number, "MICROSECONDS", minAniInterval * 1000L, maxAniInterval * 1000L, "microseconds",
     "10000", "time between frames",
     [](ProgramOptions& o, const OptionArgument& a) {
         o.settings.aniInterval = static_cast<int32_t>(a.number / 1000);
     }},
    {"duration", OptionValue::number, "SECONDS", minRefreshMinutes * 60L, maxRefreshMinutes * 60L, "seconds", "600",
     "time between new formations, counted in whole minutes",
     [](ProgramOptions& o, const OptionArgument& a) {
         o.settings.refreshMinutes = static_cast<int32_t>(a.number / 60);
     }},
    {"sound", OptionValue::none, nullptr, 0, 0, nullptr, nullptr, "play the sound effects",
     [](ProgramOptions& o, const OptionArgument&) { o.settings.soundOn = 1; }},
    {"no-sound", OptionValue::none, nullptr, 0, 0, nullptr, nullptr, "stay silent (the default)",
     [](ProgramOptions& o, const OptionArgument&) { o.settings.soundOn = 0; }},
    {"fps", OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "show the frame rate and the CPU load in the lower left corner",
     [](ProgramOptions& o, const OptionArgument&) { o.showFps = true; }},
    {"patterns", OptionValue::text, "DIRECTORY", 0, 0, nullptr, nullptr,
     "a directory whose SPPAT_R0 ... SPPAT_R24 replace the built-in pictures",
     [](ProgramOptions& o, const OptionArgument& a) { o.patternDir = a.text; }},
    {"seed", OptionValue::number, "NUMBER", 0, 2147483647L, "a number", "a new seed for every run",
     "the same formations on every run",
     [](ProgramOptions& o, const OptionArgument& a) {
         o.fixedSeed = true;
         o.seed = static_cast<uint32_t>(a.number);
     }},
    {"pixel-size", OptionValue::number, "N", 1, maxPixelSize, "a number", "the desktop's scale (Xft.dpi)",
     "draw each pixel of the scene as an N x N block",
     [](ProgramOptions& o, const OptionArgument& a) { o.pixelSize = static_cast<int32_t>(a.number); }},
    {"display", OptionValue::text, "NAME", 0, 0, nullptr, "$DISPLAY", "the X display to use",
     [](ProgramOptions& o, const OptionArgument& a) { o.displayName = a.text; }},
    {"x11", OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw on the X display even where a Wayland compositor runs",
     [](ProgramOptions& o, const OptionArgument&) { o.display = DisplayChoice::x11; }},
    {"wayland", OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw on the Wayland compositor ($WAYLAND_DISPLAY) even where $DISPLAY is set",
     [](ProgramOptions& o, const OptionArgument&) { o.display = DisplayChoice::wayland; }},
    {"output", OptionValue::text, "NAME", 0, 0, nullptr, "every output",
     "on Wayland, cover only the output NAME (as the compositor names it, e.g. DP-1)",
     [](ProgramOptions& o, const OptionArgument& a) { o.output = a.text; }},
    {"output-process", OptionValue::none, nullptr, 0, 0, nullptr, nullptr, nullptr,
     [](ProgramOptions& o, const OptionArgument&) { o.outputProcess = true; }},
    {"help", OptionValue::none, nullptr, 0, 0, nullptr, nullptr, "print this summary and exit",
     [](ProgramOptions& o, const OptionArgument&) { o.help = true; }},
    {"h", OptionValue::none, nullptr, 0, 0, nullptr, nullptr, nullptr,
     [](ProgramOptions& o, const OptionArgument&) { o.help = true; }},
};
const size_t programOptionCount = sizeof programOptions / sizeof programOptions[0];

namespace {

enum : size_t { usageWidth = 80, synopsisIndent = 14, helpIndent = 26 };

// Appends word to text after a space, or on a new line that starts with
// indent spaces where the line would reach past usageWidth.
void appendWord(std::string& text, const std::string& word, size_t indent)
{
    const size_t lineLength = text.size() - (text.rfind('\n') + 1);
    if (lineLength + 1 + word.size() > usageWidth && lineLength > indent)
        text += "\n" + std::string(indent, ' ');
    else if (text.back() != ' ')
        text += ' ';
    text += word;
}

std::string withValue(const ProgramOption& option)
{
    return std::string("--") + option.name + (option.valueName != nullptr ? std::string(" ") + option.valueName : "");
}

const ProgramOption* findOption(const char* name)
{
    for (const ProgramOption& option : programOptions)
        if (std::strcmp(option.name, name) == 0)
            return &option;
    return nullptr;
}

bool parseDecimal(const char* text, long& value)
{
    if (*text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0';
}

// Reads the option's value as its kind asks; false with a sentence in error
// when it is not one the option takes.
bool readArgument(const ProgramOption& option, OptionArgument& argument, std::string& error)
{
    bool valid = true;
    std::string wanted = option.unit != nullptr ? option.unit : "";
    if (option.value == OptionValue::number) {
        valid = parseDecimal(argument.text, argument.number) && argument.number >= option.low &&
                argument.number <= option.high;
        wanted += " from " + std::to_string(option.low) + " to " + std::to_string(option.high);
    } else if (option.value == OptionValue::windowId) {
        valid = parseWindowId(argument.text, argument.windowId);
    }
    if (!valid)
        error = std::string("--") + option.name + " wants " + wanted + ", not '" + argument.text + "'";
    return valid;
}

} // namespace

std::string programUsage()
{
    std::string usage = "usage: vasken";
    for (const ProgramOption& option : programOptions)
        if (option.help != nullptr)
            appendWord(usage, "[" + withValue(option) + "]", synopsisIndent);
    for (const ProgramOption& option : programOptions) {
        if (option.help == nullptr)
            continue;
        usage += "\n  " + withValue(option);
        usage.resize(std::max(usage.size(), usage.rfind('\n') + 1 + helpIndent), ' ');
        std::string help = option.help;
        if (option.value == OptionValue::number)
            help += ", " + std::to_string(option.low) + " ... " + std::to_string(option.high);
        if (option.fallback != nullptr)
            help += std::string(" (default: ") + option.fallback + ")";
        for (size_t at = 0; at < help.size();) {
            const size_t end = std::min(help.find(' ', at), help.size());
            appendWord(usage, help.substr(at, end - at), helpIndent);
            at = end + 1;
        }
    }
    return usage + "\nWithout --root or --window-id vasken draws into $XSCREENSAVER_WINDOW if set,\n"
                   "else into a window of its own that a key, a click or closing it ends.\n"
                   "--window-id wins over --root. Where a Wayland compositor runs ($WAYLAND_DISPLAY)\n"
                   "and no X11 target is given, vasken covers every output until a key, a button\n"
                   "or the pointer's travel ends it; --window asks for a window there instead.\n"
                   "Every option may be given with one dash or two.\n";
}

bool parseWindowId(const char* text, unsigned long& id)
{
    if (text == nullptr || *text == '\0' || *text == '-' || *text == '+')
        return false;
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    id = std::strtoul(hex ? text + 2 : text, &end, hex ? 16 : 10);
    return errno == 0 && *end == '\0' && end != (hex ? text + 2 : text) && id != 0;
}

bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error)
{
    options = ProgramOptions{DrawTarget::ownWindow, 0, Settings{0, defaultAniInterval, defaultRefreshMinutes},
                             "", "", false, false, false, 0, 0, DisplayChoice::automatic, false, "", false};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg[0] == '-' ? (arg[1] == '-' ? arg + 2 : arg + 1) : nullptr;
        if (name == nullptr || *name == '\0') {
            error = std::string("unexpected argument '") + arg + "' (see --help)";
            return false;
        }
        const ProgramOption* option = findOption(name);
        if (option == nullptr) {
            error = "unknown option '" + std::string(arg) + "' (see --help)";
            return false;
        }
        OptionArgument argument = {nullptr, 0, 0};
        if (option->value != OptionValue::none) {
            if (i + 1 >= argc) {
                error = std::string("--") + name + " needs a value";
                return false;
            }
            argument.text = argv[++i];
        }
        if (!readArgument(*option, argument, error))
            return false;
        option->apply(options, argument);
    }
    return true;
}

bool drawsOnWayland(const ProgramOptions& options, const char* waylandDisplay, const char* waylandSocket,
                    const char* xscreensaverWindow, std::string& error)
{
    unsigned long daemonWindow = 0;
    const bool x11Target = options.target != DrawTarget::ownWindow || !options.displayName.empty() ||
                           parseWindowId(xscreensaverWindow, daemonWindow);
    if (options.display == DisplayChoice::wayland && x11Target) {
        error = "--wayland does not go with an X11 window (--root, --window-id, --display, $XSCREENSAVER_WINDOW)";
        return false;
    }
    const bool named = (waylandDisplay != nullptr && *waylandDisplay != '\0') ||
                       (waylandSocket != nullptr && *waylandSocket != '\0');
    return options.display == DisplayChoice::wayland || (options.display == DisplayChoice::automatic && named && !x11Target);
}
