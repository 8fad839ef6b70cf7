// The X11 program's options. Both -name and --name are accepted, as
// XScreenSaver's hacks accept them.
#include "platforms/x11/options_x11.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char programUsage[] =
    "usage: vasken [--root | --window-id ID] [--delay MICROSECONDS] [--sound | --no-sound]\n"
    "              [--duration SECONDS] [--fps] [--display NAME] [--patterns DIRECTORY]\n"
    "              [--seed NUMBER]\n"
    "  --delay     time between frames, 10000 ... 200000 microseconds (default 10000)\n"
    "  --sound     play the sound effects (default: silent)\n"
    "  --duration  time between new formations, 60 ... 6000 seconds, counted in whole\n"
    "              minutes (default 600)\n"
    "  --fps       show the frame rate and the CPU load in the lower left corner\n"
    "  --patterns  a directory whose SPPAT_R0 ... SPPAT_R24 replace the built-in pictures\n"
    "  --seed      0 ... 2147483647: the same formations on every run (default: a new\n"
    "              seed for every run)\n"
    "Without --root or --window-id vasken draws into $XSCREENSAVER_WINDOW if set, else\n"
    "into a window of its own that a key, a click or closing it ends. --window-id wins\n"
    "over --root.\n";

namespace {

bool parseDecimal(const char* text, long& value)
{
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0';
}

bool parseRanged(const char* option, const char* text, long low, long high, const char* unit, long& value,
                 std::string& error)
{
    if (!parseDecimal(text, value) || value < low || value > high) {
        error = std::string("--") + option + " wants " + unit + " from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + (text != nullptr ? text : "") + "'";
        return false;
    }
    return true;
}

} // namespace

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
                             "", "", false, false, false, 0};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg[0] == '-' ? (arg[1] == '-' ? arg + 2 : arg + 1) : nullptr;
        if (name == nullptr || *name == '\0') {
            error = std::string("unexpected argument '") + arg + "' (see --help)";
            return false;
        }
        const std::string option = name;
        const bool takesValue = option == "window-id" || option == "delay" || option == "duration" ||
                                option == "display" || option == "patterns" || option == "seed";
        const char* value = takesValue && i + 1 < argc ? argv[i + 1] : nullptr;
        if (takesValue) {
            if (value == nullptr) {
                error = "--" + option + " needs a value";
                return false;
            }
            ++i;
        }
        long number = 0;
        if (option == "root") {
            if (options.target != DrawTarget::windowId)
                options.target = DrawTarget::root;
        } else if (option == "window") {
            if (options.target != DrawTarget::windowId)
                options.target = DrawTarget::ownWindow;
        } else if (option == "window-id") {
            if (!parseWindowId(value, options.windowId)) {
                error = std::string("--window-id wants a window id, decimal or 0x hexadecimal, not '") + value + "'";
                return false;
            }
            options.target = DrawTarget::windowId;
        } else if (option == "delay") {
            if (!parseRanged("delay", value, minDelayMicroseconds, maxDelayMicroseconds, "microseconds", number, error))
                return false;
            options.settings.aniInterval = static_cast<int32_t>(number / 1000);
        } else if (option == "duration") {
            if (!parseRanged("duration", value, minDurationSeconds, maxDurationSeconds, "seconds", number, error))
                return false;
            options.settings.refreshMinutes = static_cast<int32_t>(number / 60);
        } else if (option == "sound") {
            options.settings.soundOn = 1;
        } else if (option == "no-sound") {
            options.settings.soundOn = 0;
        } else if (option == "fps") {
            options.showFps = true;
        } else if (option == "seed") {
            if (!parseRanged("seed", value, 0, 2147483647L, "a number", number, error))
                return false;
            options.fixedSeed = true;
            options.seed = static_cast<uint32_t>(number);
        } else if (option == "display") {
            options.displayName = value;
        } else if (option == "patterns") {
            options.patternDir = value;
        } else if (option == "help" || option == "h") {
            options.help = true;
        } else {
            error = "unknown option '" + std::string(arg) + "' (see --help)";
            return false;
        }
    }
    return true;
}
