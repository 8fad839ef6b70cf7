// The scene through the Windows build of the core and real GDI: the fixed
// run of tests/scene_scenario.h, with the pattern images from this
// program's own resources, must give the native build's checksum.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>

#include "render/sprite_renderer.h"
#include "platforms/win32/clock_win32.h"
#include "support/clock.h"
#include "tests/scene_scenario.h"
#include "tests/platforms/win32/render_window.h"

TEST(SceneRun, FixedSeedRunGivesTheNativeChecksum)
{
    spriteRenderer.~SpriteRenderer();
    new (&spriteRenderer) SpriteRenderer();
    overrideTickCount(0);
    RenderWindow window(scene_scenario::width, scene_scenario::height);
    const uint64_t checksum = scene_scenario::run(window.handle);
    clearTickCountOverride();
    EXPECT_EQ(checksum, sceneScenarioChecksum) << std::hex << "got 0x" << checksum;
}
