// The real vasken32.scr on a desktop of two monitors, watched from outside:
// one window over both, the scene on each, mouse travel on the one that is
// not the primary, and a change of the desktop while the saver runs.
// scripts/test runs these on Xorg's dummy driver, whose outputs DUMMY0 (the
// primary) and DUMMY1 it arranges side by side, once with the primary on
// the left and once on the right; the single-monitor suites leave them out.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/platforms/win32/profile_file.h"
#include "tests/platforms/win32/saver_harness.h"
#include "tests/platforms/win32/screen_shot.h"

using namespace harness;

namespace {

const DWORD closeTimeoutMs = 1000;

RECT virtualScreen()
{
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::string describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

struct Monitor {
    RECT area;
    bool primary;
};

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoA(monitor, &info);
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
        Monitor{info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    return TRUE;
}

std::vector<Monitor> monitors()
{
    std::vector<Monitor> out;
    EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&out));
    return out;
}

RECT secondMonitor()
{
    for (const Monitor& m : monitors())
        if (!m.primary)
            return m.area;
    return RECT{0, 0, 0, 0};
}

// What one screen area shows of the scene, and how much of it changed
// between two looks half a second apart.
struct SceneSeen {
    int squarePixels = 0;
    size_t squareColours = 0;
    int shipPixels = 0;
    int changed = 0;
};

SceneSeen lookAt(const RECT& area)
{
    const std::vector<uint32_t> first = screenshot::capture(area);
    Sleep(500);
    const std::vector<uint32_t> second = screenshot::capture(area);
    const std::set<uint32_t> ships = screenshot::shipColours();
    const std::set<uint32_t> squares = screenshot::squareColours(ships);
    SceneSeen seen;
    std::set<uint32_t> squareColoursSeen;
    for (size_t i = 0; i < first.size(); ++i) {
        if (squares.count(first[i]) != 0) {
            ++seen.squarePixels;
            squareColoursSeen.insert(first[i]);
        }
        seen.shipPixels += ships.count(first[i]) != 0;
        seen.changed += first[i] != second[i];
    }
    seen.squareColours = squareColoursSeen.size();
    return seen;
}

void expectSceneOn(const RECT& area, const char* which)
{
    const SceneSeen seen = lookAt(area);
    EXPECT_GT(seen.squarePixels, 150) << which << " " << describe(area) << ": pixels in the squares' colours";
    EXPECT_GE(seen.squareColours, 8u) << which << " " << describe(area) << ": distinct square colours";
    EXPECT_GT(seen.shipPixels, 3000) << which << " " << describe(area) << ": pixels in the ships' colours";
    EXPECT_GT(seen.changed, 3000) << which << " " << describe(area) << ": pixels changed in half a second";
}

// Changes the X server's monitors and waits until this process sees a
// virtual screen of the expected width. Wine starts a program of this
// machine (not a Windows one) given by its path, but its handle cannot be
// waited for; and Wine reads the outputs again only when a process starts
// (after a full query of the outputs), and tells no running window: the
// broadcast of WM_DISPLAYCHANGE that Windows makes is the test's to send.
bool changeMonitors(const std::string& xrandrArguments, int expectedWidth)
{
    std::string line = "Z:\\bin\\sh -c \"/usr/bin/xrandr " + xrandrArguments + " && /usr/bin/xrandr -q >/dev/null\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return waitUntil(
        [&] {
            ImageProcess reader;
            reader.start("/x");
            reader.waitForExit(10000);
            return GetSystemMetrics(SM_CXVIRTUALSCREEN) == expectedWidth;
        },
        10000);
}

class MultiMonitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        endLeftoverSavers();
        ASSERT_GE(GetSystemMetrics(SM_CMONITORS), 2) << "this suite needs an X server with two monitors";
    }
    void TearDown() override
    {
        saver.stop();
        endLeftoverSavers();
    }

    profile::ProfileValue interval{"ANI_INTERVAL", "20"};
    profile::ProfileValue sound{"SOUND_SW", "0"};
    ImageProcess saver;
};

void expectWindowCovers(HWND window, const RECT& expected)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_TRUE(EqualRect(&rect, &expected)) << "window " << describe(rect) << ", expected " << describe(expected);
}

DWORD closeSaver(ImageProcess& saver, HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    return saver.waitForExit(5000);
}

} // namespace

TEST_F(MultiMonitor, OneWindowOverTheVirtualScreenShowsTheSceneOnEveryMonitor)
{
    HWND window = startFullScreen(saver);
    ASSERT_NE(window, nullptr);
    expectWindowCovers(window, virtualScreen());
    Sleep(1500);
    for (const Monitor& m : monitors())
        expectSceneOn(m.area, m.primary ? "primary monitor" : "second monitor");
    EXPECT_EQ(closeSaver(saver, window), 0u);
}

TEST_F(MultiMonitor, MouseTravelOfFiveOnTheSecondMonitorEndsIt)
{
    const RECT second = secondMonitor();
    const int x = (second.left + second.right) / 2;
    const int y = (second.top + second.bottom) / 2;
    ASSERT_TRUE(placeCursor(x, y)) << "pointer to " << x << "," << y;
    ASSERT_NE(startFullScreen(saver), nullptr);
    moveCursorTo(x + 2, y + 2);
    EXPECT_EQ(saver.waitForExit(400), stillRunning) << "4 pixels of travel closed it";
    moveCursorTo(x + 2, y + 3);
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u) << "5 pixels of travel at " << x << "," << y;
}

// The primary on the left: the saver starts on the primary monitor alone,
// the second one is plugged in and then out again. The pointer stays on the
// primary, put there for Wine (SetCursorPos) and for the X server alike:
// where no Wine window lies under it, Wine's own idea of its place lags
// behind the X server's, and the saver would take the difference for mouse
// travel; so would it a move of the X server's off a monitor that goes away.
TEST_F(MultiMonitor, ADesktopChangeIsFollowedAndTheSceneBuiltAnew)
{
    const RECT both = virtualScreen();
    const RECT second = secondMonitor();
    ASSERT_EQ(both.left, 0) << "this case needs the primary monitor on the left";
    const std::string plugIn = "--output DUMMY1 --mode 800x600 --pos " + std::to_string(second.left) + "x0";
    ASSERT_TRUE(changeMonitors("--output DUMMY1 --off", 1024));
    SetCursorPos(300, 300);
    ASSERT_TRUE(placeCursor(300, 300));
    HWND window = startFullScreen(saver);
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(changeMonitors(plugIn, both.right));
    SendMessageTimeoutA(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768), SMTO_ABORTIFHUNG, 5000, nullptr);
    expectWindowCovers(window, both);
    Sleep(1500);
    expectSceneOn(second, "second monitor, plugged in while the saver ran");

    ASSERT_TRUE(changeMonitors("--output DUMMY1 --off", 1024));
    SendMessageTimeoutA(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768), SMTO_ABORTIFHUNG, 5000, nullptr);
    expectWindowCovers(window, RECT{0, 0, 1024, 768});
    pumpFor(300);
    EXPECT_TRUE(saver.running());
    EXPECT_EQ(closeSaver(saver, window), 0u);
    EXPECT_TRUE(changeMonitors(plugIn, both.right));
}
