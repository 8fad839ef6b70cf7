// The X11 program's command line where it departs from the settings'
// defaults or from "the last option wins": a window id wins over --root in
// either order, sound stays off unless asked for, and the hacks' -fps.
#include <gtest/gtest.h>

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
