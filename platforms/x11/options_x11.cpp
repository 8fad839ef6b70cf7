// The X11 program's own options, and its table of all of them.
#include "platforms/x11/options_x11.h"

namespace {

// name, section, value, value's name, low, high, unit, default, help, what it sets
const ProgramOption x11Options[] = {
    {"root", OptionSection::target, OptionValue::none, nullptr, 0, 0, nullptr, nullptr, "draw on the root window",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) {
         if (o.target != DrawTarget::windowId)
             o.target = DrawTarget::root;
     }},
    {"window", OptionSection::target, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "draw into a window of its own (the default)",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument&) {
         if (o.target != DrawTarget::windowId)
             o.target = DrawTarget::ownWindow;
     }},
    {"window-id", OptionSection::target, OptionValue::id, "ID", 0, 0, "a window id, decimal or 0x hexadecimal",
     nullptr, "draw into the window ID, decimal or 0x hexadecimal",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument& a) {
         o.windowId = a.id;
         o.target = DrawTarget::windowId;
     }},
    {"display", OptionSection::display, OptionValue::text, "NAME", 0, 0, nullptr, "$DISPLAY", "the X display to use",
     [](CommonOptions&, DisplayOptions& o, const OptionArgument& a) { o.displayName = a.text; }},
};

} // namespace

const std::vector<ProgramOption> programOptions =
    withCommonOptions(x11Options, sizeof x11Options / sizeof x11Options[0], "the desktop's scale (Xft.dpi)");
const size_t programOptionCount = programOptions.size();

std::string programUsage()
{
    return optionUsage("vasken", programOptions,
                       "Without --root or --window-id vasken draws into $XSCREENSAVER_WINDOW if set,\n"
                       "else into a window of its own that a key, a click or closing it ends.\n"
                       "--window-id wins over --root. Every option may be given with one dash or two.\n");
}

bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error)
{
    DisplayOptions& display = options;
    display = DisplayOptions{DrawTarget::ownWindow, 0, ""};
    return parseOptions(programOptions, argc, argv, options, options, error);
}
