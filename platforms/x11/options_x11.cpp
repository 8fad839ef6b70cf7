// The program's own options, and its table of all of them.
#include "platforms/x11/options_x11.h"

namespace {

// name, section, value, value's name, low, high, unit, default, help, what it sets
const ProgramOption displayRows[] = {
    {"root", OptionSection::target, OptionValue::none, nullptr, 0, 0, nullptr, nullptr, "draw on the root window",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) {
         if (o.target != DrawTarget::windowId)
             o.target = DrawTarget::root;
     }},
    {"window", OptionSection::target, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw into a window of its own (the default on X11)",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) {
         o.windowAsked = true;
         if (o.target != DrawTarget::windowId)
             o.target = DrawTarget::ownWindow;
     }},
    {"window-id", OptionSection::target, OptionValue::id, "ID", 0, 0, "a window id, decimal or 0x hexadecimal",
     nullptr, "draw into the window ID, decimal or 0x hexadecimal",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument& a) {
         o.windowId = a.id;
         o.target = DrawTarget::windowId;
     }},
    {"output", OptionSection::target, OptionValue::text, "NAME", 0, 0, nullptr, "every output",
     "on Wayland, cover only the output NAME (as the compositor names it, e.g. DP-1)",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument& a) { o.output = a.text; }},
    // Set by the Wayland parent for the process it runs for each output.
    {"output-process", OptionSection::target, OptionValue::none, nullptr, 0, 0, nullptr, nullptr, nullptr,
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) { o.outputProcess = true; }},
    {"display", OptionSection::display, OptionValue::text, "NAME", 0, 0, nullptr, "$DISPLAY", "the X display to use",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument& a) { o.displayName = a.text; }},
    {"x11", OptionSection::display, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw on the X display even where a Wayland compositor runs",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) { o.display = DisplayChoice::x11; }},
    {"wayland", OptionSection::display, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw on the Wayland compositor ($WAYLAND_DISPLAY) even where $DISPLAY is set",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) { o.display = DisplayChoice::wayland; }},
};

} // namespace

const std::vector<ProgramOption> programOptions = withCommonOptions(
    displayRows, sizeof displayRows / sizeof displayRows[0], "the desktop's scale (Xft.dpi; on Wayland the output's)");
const size_t programOptionCount = programOptions.size();

std::string programUsage()
{
    return optionUsage("vasken", programOptions,
                       "Without --root or --window-id vasken draws into $XSCREENSAVER_WINDOW if set,\n"
                       "else into a window of its own that a key, a click or closing it ends.\n"
                       "--window-id wins over --root. Where a Wayland compositor runs ($WAYLAND_DISPLAY)\n"
                       "and no X11 target is given, vasken covers every output until a key, a button\n"
                       "or the pointer's travel ends it; --window asks for a window there instead.\n"
                       "Every option may be given with one dash or two.\n");
}

bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error)
{
    DisplayOptions& display = options;
    display = DisplayOptions{DrawTarget::ownWindow, 0, "", DisplayChoice::automatic, false, "", false};
    return parseOptions(programOptions, argc, argv, options, options, error);
}

bool drawsOnWayland(const ProgramOptions& options, const char* waylandDisplay, const char* waylandSocket,
                    const char* xscreensaverWindow, std::string& error)
{
    unsigned long daemonWindow = 0;
    const bool x11Target = options.target != DrawTarget::ownWindow || !options.displayName.empty() ||
                           parseId(xscreensaverWindow, daemonWindow);
    if (options.display == DisplayChoice::wayland && x11Target) {
        error = "--wayland does not go with an X11 window (--root, --window-id, --display, $XSCREENSAVER_WINDOW)";
        return false;
    }
    const bool named = (waylandDisplay != nullptr && *waylandDisplay != '\0') ||
                       (waylandSocket != nullptr && *waylandSocket != '\0');
    return options.display == DisplayChoice::wayland ||
           (options.display == DisplayChoice::automatic && named && !x11Target);
}
