// The saver procedure as a window's own procedure under Wine: what creation
// builds, which timer runs a frame, and what destruction takes down; and the
// order in which the host asks the platform's DPI calls for the awareness
// that the scene's pixel size rests on (Wine has only some of them).
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <string>

#include "platforms/win32/host_win32.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "platforms/win32/scene_win32.h"
#include "scene/sound.h"

TEST(SaverProc, CreationTimerAndDestruction)
{
    spriteRenderer.~SpriteRenderer();
    new (&spriteRenderer) SpriteRenderer();
    hostState.instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = saverProc;
    windowClass.hInstance = hostState.instance;
    windowClass.lpszClassName = "VaskenSaverProcTest";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "VaskenSaverProcTest", "saver proc", WS_POPUP | WS_VISIBLE, 0, 0, 320, 200,
                                  nullptr, nullptr, hostState.instance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(scene.screenWidth, 320);
    EXPECT_EQ(scene.screenHeight, 200);
    EXPECT_EQ(scene.timerId, animationTimerId);
    for (int32_t k = 0; k < soundCount; ++k)
        EXPECT_NE(soundBank.images[k], nullptr) << "WAVDAT" << k << " from this program's resources";
    EXPECT_EQ(spriteRenderer.back().width, 320);

    const int32_t cursor = starfield.starIndex;
    EXPECT_EQ(SendMessageA(window, WM_TIMER, 2, 0), 0);
    EXPECT_EQ(starfield.starIndex, cursor) << "timer 2 runs no frame";
    EXPECT_EQ(SendMessageA(window, WM_TIMER, animationTimerId, 0), 0);
    EXPECT_EQ(starfield.starIndex, (cursor + 1) % starCount) << "timer 1 runs one frame";

    DestroyWindow(window);
    EXPECT_EQ(scene.timerId, 0);
    for (int32_t k = 0; k < soundCount; ++k)
        EXPECT_EQ(soundBank.images[k], nullptr);
    MSG message;
    bool quit = false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        quit = quit || message.message == WM_QUIT;
    EXPECT_TRUE(quit) << "destruction posts the quit message";
    UnregisterClassA("VaskenSaverProcTest", hostState.instance);
}

namespace {

// Stand-ins for the platform's DPI calls: each answers as the case says and
// logs the call.
struct DpiAnswers {
    BOOL v2, v1;
    HRESULT shellCore;
    BOOL vista;
} dpiAnswers;
std::string dpiCalls;

BOOL WINAPI standInContext(HANDLE context)
{
    const intptr_t value = reinterpret_cast<intptr_t>(context);
    dpiCalls += "context " + std::to_string(value) + "; ";
    return value == -4 ? dpiAnswers.v2 : value == -3 && dpiAnswers.v1;
}

HRESULT WINAPI standInShellCore(int32_t value)
{
    dpiCalls += "shcore " + std::to_string(value) + "; ";
    return dpiAnswers.shellCore;
}

BOOL WINAPI standInVista()
{
    dpiCalls += "vista; ";
    return dpiAnswers.vista;
}

} // namespace

TEST(DpiAwareness, EachCallInTurnUntilOneGrants)
{
    const HRESULT denied = static_cast<HRESULT>(0x80070005); // E_ACCESSDENIED: set already
    struct Case {
        const char* what;
        bool context, shellCore, vista;
        DpiAnswers answers;
        int32_t level;
        const char* calls;
    } const cases[] = {
        {"Windows 10 1703 on", true, false, true, {TRUE, TRUE, denied, TRUE}, dpiPerMonitorAwareV2, "context -4; "},
        {"context refused (Wine 8)", true, false, true, {FALSE, FALSE, denied, TRUE}, dpiSystemAware,
         "context -4; context -3; vista; "},
        {"Windows 8.1", false, true, true, {FALSE, FALSE, S_OK, TRUE}, dpiPerMonitorAware, "shcore 2; "},
        {"every call refused", true, true, true, {FALSE, FALSE, denied, FALSE}, dpiUnaware,
         "context -4; context -3; shcore 2; vista; "},
        {"Windows 95 ... XP", false, false, false, {TRUE, TRUE, S_OK, TRUE}, dpiUnaware, ""},
    };
    for (const Case& c : cases) {
        dpiAnswers = c.answers;
        dpiCalls.clear();
        const DpiAwarenessCalls calls = {c.context ? standInContext : nullptr, c.shellCore ? standInShellCore : nullptr,
                                         c.vista ? standInVista : nullptr};
        EXPECT_EQ(obtainDpiAwareness(calls), c.level) << c.what;
        EXPECT_EQ(dpiCalls, c.calls) << c.what;
    }
}
