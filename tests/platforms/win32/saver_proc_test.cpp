// The saver procedure as a window's own procedure under Wine: what creation
// builds, which timer runs a frame, and what destruction takes down.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>

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
