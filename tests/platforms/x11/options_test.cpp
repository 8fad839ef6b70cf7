// The X11 program's command line where it departs from the settings'
// defaults or from "the last option wins": a window id wins over --root in
// either order, sound stays off unless asked for, and the hacks' -fps; and
// the settings page and the manual page held against the table of options.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <cstring>
#include <string>
#include <vector>

#include "platforms/x11/options_x11.h"

namespace {

struct OptionsCase {
    std::vector<std::string> args;
    DrawTarget target;
    int32_t soundOn;
    bool showFps;
};

} // namespace

TEST(ProgramOptions, WindowIdWinsOverRootSoundIsOffUnlessAskedForAndFpsIsTaken)
{
    const OptionsCase cases[] = {
        {{}, DrawTarget::ownWindow, 0, false},
        {{"--root"}, DrawTarget::root, 0, false},
        {{"--root", "--window-id", "0x2a"}, DrawTarget::windowId, 0, false},
        {{"-window-id", "42", "-root"}, DrawTarget::windowId, 0, false},
        {{"--sound", "-fps"}, DrawTarget::ownWindow, 1, true},
        {{"--sound", "--no-sound", "--fps"}, DrawTarget::ownWindow, 0, true},
    };
    for (const OptionsCase& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("vasken")};
        std::string shown;
        for (const std::string& a : c.args) {
            argv.push_back(const_cast<char*>(a.c_str()));
            shown += a + " ";
        }
        ProgramOptions options;
        std::string error;
        ASSERT_TRUE(parseProgramOptions(static_cast<int>(argv.size()), argv.data(), options, error)) << shown << error;
        EXPECT_EQ(options.target, c.target) << shown;
        if (c.target == DrawTarget::windowId) {
            EXPECT_EQ(options.windowId, 42u) << shown;
        }
        EXPECT_EQ(options.settings.soundOn, c.soundOn) << shown;
        EXPECT_EQ(options.showFps, c.showFps) << shown;
    }
}

// Wayland where a compositor is named and no X11 window is: the daemon's
// window, --root, --window-id and --display keep vasken on X11 (under
// XScreenSaver nothing changes), --x11 and --wayland force either.
TEST(ProgramOptions, WaylandIsChosenWhereACompositorIsNamedAndNoX11WindowIsAskedFor)
{
    struct ChoiceCase {
        std::vector<std::string> args;
        const char* waylandDisplay;
        const char* waylandSocket;
        const char* daemonWindow;
        const char* expected; // "wayland", "x11" or the start of an error
    };
    const ChoiceCase cases[] = {
        {{}, "wayland-1", nullptr, nullptr, "wayland"},
        {{}, nullptr, "5", nullptr, "wayland"},
        {{"--window"}, "wayland-1", nullptr, nullptr, "wayland"},
        {{}, nullptr, nullptr, nullptr, "x11"},
        {{}, "", nullptr, nullptr, "x11"},
        {{}, "wayland-1", nullptr, "0x400001", "x11"},
        {{"--root"}, "wayland-1", nullptr, nullptr, "x11"},
        {{"--window-id", "0x2a"}, "wayland-1", nullptr, nullptr, "x11"},
        {{"--display", ":1"}, "wayland-1", nullptr, nullptr, "x11"},
        {{"--x11"}, "wayland-1", nullptr, nullptr, "x11"},
        {{"--wayland"}, nullptr, nullptr, nullptr, "wayland"},
        {{"--wayland", "--root"}, "wayland-1", nullptr, nullptr, "--wayland does not go"},
    };
    for (const ChoiceCase& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("vasken")};
        std::string shown;
        for (const std::string& a : c.args) {
            argv.push_back(const_cast<char*>(a.c_str()));
            shown += a + " ";
        }
        shown += std::string("WAYLAND_DISPLAY=") + (c.waylandDisplay ? c.waylandDisplay : "(unset)") +
                 " WAYLAND_SOCKET=" + (c.waylandSocket ? c.waylandSocket : "(unset)") +
                 " XSCREENSAVER_WINDOW=" + (c.daemonWindow ? c.daemonWindow : "(unset)");
        ProgramOptions options;
        std::string error;
        ASSERT_TRUE(parseProgramOptions(static_cast<int>(argv.size()), argv.data(), options, error)) << shown << error;
        const bool wayland = drawsOnWayland(options, c.waylandDisplay, c.waylandSocket, c.daemonWindow, error);
        EXPECT_EQ(error.empty() ? (wayland ? "wayland" : "x11") : error.substr(0, std::strlen(c.expected)), c.expected)
            << shown;
    }
}

// vasken.xml offers only options the table takes, each number with the
// table's range and default; vasken.6 describes every option of the usage.
TEST(ProgramOptions, TheSettingsPageAndTheManualPageAgreeWithTheTable)
{
    auto read = [](const char* name) {
        std::ifstream in(std::string(VASKEN_X11_SOURCE_DIR) + "/" + name);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    auto optionNamed = [](const std::string& name) -> const ProgramOption* {
        for (size_t i = 0; i < programOptionCount; ++i)
            if (name == programOptions[i].name)
                return &programOptions[i];
        return nullptr;
    };
    // Each element's attributes; an option is the first word of an arg.
    const std::string page = read("vasken.xml");
    const std::regex element("<([a-z]+)([^>]*)>"), attribute("([a-z_-]+)=\"([^\"]*)\"");
    int offered = 0;
    for (std::sregex_iterator e(page.begin(), page.end(), element), end; e != end; ++e) {
        std::map<std::string, std::string> at;
        const std::string attributes = (*e)[2];
        for (std::sregex_iterator a(attributes.begin(), attributes.end(), attribute); a != end; ++a)
            at[(*a)[1]] = (*a)[2];
        for (const char* key : {"arg", "arg-set", "arg-unset"}) {
            const std::string& given = at[key];
            if (given.empty())
                continue;
            ++offered;
            const bool dashes = given.rfind("--", 0) == 0;
            const ProgramOption* option = dashes ? optionNamed(given.substr(2, given.find(' ') - 2)) : nullptr;
            ASSERT_NE(option, nullptr) << "vasken.xml offers " << given;
            if (given.find('%') == std::string::npos) {
                std::istringstream words(given);
                std::vector<std::string> args{"vasken"};
                for (std::string word; words >> word;)
                    args.push_back(word);
                std::vector<char*> argv;
                for (std::string& arg : args)
                    argv.push_back(&arg[0]);
                ProgramOptions options;
                std::string error;
                EXPECT_TRUE(parseProgramOptions(static_cast<int>(argv.size()), argv.data(), options, error))
                    << "vasken.xml offers " << given << ": " << error;
            }
            if ((*e)[1] == "number") {
                ASSERT_EQ(option->value, OptionValue::number) << given;
                ASSERT_NE(option->fallback, nullptr) << given;
                EXPECT_EQ(std::to_string(option->low) + " ... " + std::to_string(option->high) + ", " + option->fallback,
                          at["low"] + " ... " + at["high"] + ", " + at["default"])
                    << "range and default of " << given;
            }
        }
    }
    EXPECT_EQ(offered, 9);
    const std::string manual = read("vasken.6");
    for (size_t i = 0; i < programOptionCount; ++i) {
        if (programOptions[i].help == nullptr)
            continue;
        const std::string name = std::regex_replace(programOptions[i].name, std::regex("-"), "\\-");
        const std::string item = "\n.B \\-\\-" + name;
        EXPECT_TRUE(manual.find(item + "\n") != std::string::npos || manual.find(item + " ") != std::string::npos)
            << "vasken.6 has no item for --" << programOptions[i].name;
    }
}
