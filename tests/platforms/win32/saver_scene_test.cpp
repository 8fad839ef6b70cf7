// The real vasken32.scr in full screen, watched from outside: the screen
// after a second shows the starfield's squares and the ships' colours, and
// it changes from one moment to the next; at a display scale of 200 % it
// shows the scene in blocks of 2 x 2 up to the screen's edges. SceneSoak
// runs it for minutes and watches the process's memory, and SceneTiming
// reports how long the first frame takes; scripts/test leaves both out.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <set>
#include <vector>

#include "render/packed_dib.h"
#include "render/sprite_renderer.h"
#include "tests/platforms/win32/profile_file.h"
#include "tests/platforms/win32/saver_harness.h"
#include "tests/platforms/win32/screen_shot.h"

using namespace screenshot;
using profile::ProfileValue;

namespace {

// Asks the saver's window to close and answers the exit code.
DWORD closeSaver(harness::ImageProcess& saver)
{
    HWND window = harness::findWindowOf(saver.id(), harness::saverClass, "Screen Saver");
    if (window != nullptr)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return saver.waitForExit(5000);
}

// The primary screen as 0x00RRGGBB values, top row first.
std::vector<uint32_t> captureScreen(int32_t& width, int32_t& height)
{
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    return screenshot::capture(RECT{0, 0, width, height});
}

// The longest run of ship-coloured pixels in a row of a pattern image of
// this program's resources (8 bits, 256 colours): the widest a ship shows at
// one device pixel per pixel.
int32_t widestShipRunOfPattern(const char* name, const std::set<uint32_t>& ships)
{
    HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(2));
    const uint8_t* image = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    BITMAPINFOHEADER header;
    std::memcpy(&header, image, sizeof header);
    const uint8_t* bits = image + header.biSize + 4 * 256;
    int32_t widest = 0;
    for (int32_t y = 0, run = 0; y < header.biHeight; ++y, run = 0) {
        for (int32_t x = 0; x < header.biWidth; ++x) {
            const uint8_t* entry = image + header.biSize + 4 * bits[y * dibStride(8, header.biWidth) + x];
            run = ships.count(static_cast<uint32_t>(entry[2]) << 16 | entry[1] << 8 | entry[0]) != 0 ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    }
    return widest;
}

// The display scale that Wine gives processes started from now on: the
// user's LogPixels, which it reads before the machine's. What stood there
// before comes back.
struct LogPixelsForNewProcesses {
    explicit LogPixelsForNewProcesses(DWORD logPixels)
    {
        hadValue = RegGetValueA(HKEY_CURRENT_USER, key, "LogPixels", RRF_RT_REG_DWORD, nullptr, &saved, &size) == 0;
        RegSetKeyValueA(HKEY_CURRENT_USER, key, "LogPixels", REG_DWORD, &logPixels, sizeof logPixels);
    }
    ~LogPixelsForNewProcesses()
    {
        if (hadValue)
            RegSetKeyValueA(HKEY_CURRENT_USER, key, "LogPixels", REG_DWORD, &saved, sizeof saved);
        else
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "LogPixels");
    }
    const char* key = "Control Panel\\Desktop";
    DWORD saved = 0, size = sizeof saved;
    bool hadValue = false;
};

} // namespace

TEST(SaverScene, FullScreenShowsSquaresAndShipsAndAnimates)
{
    ProfileValue interval("ANI_INTERVAL", "20");
    ProfileValue sound("SOUND_SW", "0");
    harness::ImageProcess saver;
    ASSERT_TRUE(saver.start("/s"));
    Sleep(1500);
    int32_t width = 0, height = 0;
    const std::vector<uint32_t> first = captureScreen(width, height);
    Sleep(500);
    const std::vector<uint32_t> second = captureScreen(width, height);

    const std::set<uint32_t> ships = shipColours();
    ASSERT_GE(ships.size(), 5u);
    const std::set<uint32_t> squares = squareColours(ships);
    int32_t squarePixels = 0, shipPixels = 0;
    std::set<uint32_t> squareColoursSeen;
    for (uint32_t p : first) {
        if (squares.count(p) != 0) {
            ++squarePixels;
            squareColoursSeen.insert(p);
        }
        shipPixels += ships.count(p) != 0;
    }
    EXPECT_GT(squarePixels, 200) << "pixels in the squares' own colours";
    EXPECT_GE(squareColoursSeen.size(), 8u) << "distinct square colours";
    EXPECT_GT(shipPixels, 5000) << "pixels in the ships' colours";

    size_t changed = 0;
    for (size_t i = 0; i < first.size(); ++i)
        changed += first[i] != second[i];
    EXPECT_GT(changed, 1000u) << "pixels that changed in half a second";
    EXPECT_EQ(closeSaver(saver), 0u);
}

// 20,000 ticks at 10 ms take at least 200 s. Playing a sound makes the
// platform's sound service take and give back buffers, so single readings of
// the private bytes swing by a megabyte; a leak shows as a floor that rises.
// The lowest reading of the last minute may not lie above the lowest of the
// first minute after start-up by more than a few pages.
TEST(SceneSoak, MemoryStaysFlatAtTenMilliseconds)
{
    ProfileValue interval("ANI_INTERVAL", "10");
    ProfileValue sound("SOUND_SW", "1");
    harness::ImageProcess saver;
    ASSERT_TRUE(saver.start("/s"));
    auto privateBytes = [&saver]() {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(saver.handle(), &counters, sizeof counters);
        return counters.PagefileUsage;
    };
    Sleep(10000);
    std::vector<SIZE_T> readings;
    for (int32_t second = 10; second < 250; second += 5) {
        Sleep(5000);
        readings.push_back(privateBytes());
        std::printf("after %d s: %lu bytes\n", second + 5, static_cast<unsigned long>(readings.back()));
    }
    const SIZE_T firstFloor = *std::min_element(readings.begin(), readings.begin() + 12);
    const SIZE_T lastFloor = *std::min_element(readings.end() - 12, readings.end());
    std::printf("floor of the first minute %lu, of the last %lu\n", static_cast<unsigned long>(firstFloor),
                static_cast<unsigned long>(lastFloor));
    EXPECT_LE(lastFloor, firstFloor + 64 * 1024) << "the floor of the private bytes rose";
    EXPECT_EQ(WaitForSingleObject(saver.handle(), 0), WAIT_TIMEOUT) << "the saver ended by itself";
    EXPECT_EQ(closeSaver(saver), 0u);
}

// Not a timed test: it reports the time from CreateProcess to the first
// screen with the ships on it, polled by screen captures.
TEST(SceneTiming, LaunchToFirstShipsOnScreen)
{
    ProfileValue sound("SOUND_SW", "0");
    const std::set<uint32_t> ships = shipColours();
    const DWORD start = GetTickCount();
    harness::ImageProcess saver;
    ASSERT_TRUE(saver.start("/s"));
    DWORD shown = 0;
    while (GetTickCount() - start < 10000) {
        int32_t width = 0, height = 0;
        int32_t shipPixels = 0;
        for (uint32_t p : captureScreen(width, height))
            shipPixels += ships.count(p) != 0;
        if (shipPixels > 1000) {
            shown = GetTickCount() - start;
            break;
        }
    }
    std::printf("launch to first ships on screen: %lu ms\n", static_cast<unsigned long>(shown));
    EXPECT_NE(shown, 0u) << "no ships within 10 s";
    EXPECT_EQ(closeSaver(saver), 0u);
}

// Runs only on the 8-bit display stage of scripts/test. Wine keeps window
// pixels in a surface of its own and answers reads of a palette screen with
// the display's nearest colours, so the ships must show in the nearest
// colours of the pattern images' ship entries.
TEST(Palette8Saver, ShipColoursReachAnEightBitScreen)
{
    HDC screen = GetDC(nullptr);
    const bool paletteDevice = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    std::set<uint32_t> expected;
    for (uint32_t colour : shipColours()) {
        const COLORREF wanted = RGB(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF);
        expected.insert(fromColorref(GetNearestColor(screen, wanted)));
    }
    ReleaseDC(nullptr, screen);
    if (!paletteDevice)
        GTEST_SKIP() << "not a palette display";
    ASSERT_GE(expected.size(), 5u);

    ProfileValue interval("ANI_INTERVAL", "20");
    ProfileValue sound("SOUND_SW", "0");
    harness::ImageProcess saver;
    ASSERT_TRUE(saver.start("/s"));
    Sleep(1500);
    int32_t width = 0, height = 0;
    std::set<uint32_t> seen;
    int32_t shipPixels = 0;
    for (uint32_t p : captureScreen(width, height)) {
        if (expected.count(p) != 0) {
            ++shipPixels;
            seen.insert(p);
        }
    }
    EXPECT_GT(shipPixels, 3000) << "pixels in the ships' colours on the 8-bit screen";
    EXPECT_GE(seen.size(), expected.size() * 2 / 3) << "distinct ship colours seen of " << expected.size();
    EXPECT_EQ(closeSaver(saver), 0u);
}

// Runs only on the scaled display stage of scripts/test, a screen of
// 1281 x 721: at 200 % the scene is 641 x 361 pixels of 2 x 2, and its last
// column and row of blocks stick out by one device pixel. Ships are cut to
// the scene (squares are not), and they cross the right edge as they wrap
// and lie on the bottom one as laid out, so within a few seconds both edges
// show ship colours unless the scene stops short of them.
TEST(Scale2Saver, TwoByTwoBlocksTwiceAsWideShipsUpToTheEdges)
{
    int32_t width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    if (width < 1280 || height < 720)
        GTEST_SKIP() << "a screen of " << width << "x" << height << " keeps the scene at N = 1";
    const std::set<uint32_t> ships = shipColours();
    const int32_t widestAtOne = widestShipRunOfPattern("SPPAT_R0", ships);
    ASSERT_GT(widestAtOne, 100) << "ship-coloured run of the nearest ship's pattern";

    ProfileValue interval("ANI_INTERVAL", "10");
    ProfileValue sound("SOUND_SW", "0");
    LogPixelsForNewProcesses scale(192);
    harness::ImageProcess saver;
    ASSERT_TRUE(saver.start("/s"));
    ASSERT_NE(harness::waitForWindow(saver, harness::saverClass, "Screen Saver"), nullptr);
    Sleep(1000);

    int32_t mixedBlocks = 0, widestRun = 0, rightEdgePixels = 0, bottomEdgePixels = 0;
    for (int32_t look = 0; look < 40; ++look) {
        const std::vector<uint32_t> screen = captureScreen(width, height);
        auto at = [&](int32_t x, int32_t y) { return screen[static_cast<size_t>(y) * width + x]; };
        for (int32_t y = 0; y < height; ++y) {
            int32_t run = 0;
            for (int32_t x = 0; x < width; ++x) {
                mixedBlocks += at(x, y) != at(x & ~1, y & ~1);
                run = ships.count(at(x, y)) != 0 ? run + 1 : 0;
                widestRun = std::max(widestRun, run);
            }
            rightEdgePixels += ships.count(at(width - 1, y)) != 0;
        }
        for (int32_t x = 0; x < width; ++x)
            bottomEdgePixels += ships.count(at(x, height - 1)) != 0;
        if (look >= 2 && widestRun >= 2 * widestAtOne && rightEdgePixels != 0 && bottomEdgePixels != 0)
            break;
        Sleep(150);
    }
    EXPECT_EQ(mixedBlocks, 0) << "pixels unlike the top left pixel of their 2 x 2 block";
    EXPECT_GE(widestRun, 2 * widestAtOne) << "widest ship-coloured run; one device pixel per pixel: "
                                          << widestAtOne;
    EXPECT_GT(rightEdgePixels, 0) << "ship-coloured pixels in the right-most column of " << width;
    EXPECT_GT(bottomEdgePixels, 0) << "ship-coloured pixels in the bottom row of " << height;
    EXPECT_EQ(closeSaver(saver), 0u);
}
