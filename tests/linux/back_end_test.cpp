// The X11 program's back ends below the program: the fixed-seed scene run
// through the X11 window (the checksum every build gives, and a window that
// shows the back buffer through the colour table), and the ALSA player
// recorded by a file device.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "render/display_memory.h"
#include "render/display_x11.h"
#include "scene/sound_player_alsa.h"
#include "tests/linux/x11_test_support.h"
#include "tests/scene_scenario.h"

using namespace x11test;

namespace {

// ALSA's default device becomes a file device that writes what it is given
// to played.raw; set up once per process, before the first open, because
// ALSA reads its configuration once.
std::string recordingPath()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/vasken-alsa-XXXXXX";
        const std::string dir = mkdtemp(pattern);
        std::ofstream(dir + "/.asoundrc") << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << dir
                                          << "/played.raw\"\n  format \"raw\"\n}\n";
        setenv("HOME", dir.c_str(), 1);
        return dir + "/played.raw";
    }();
    return path;
}

long fileSize(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

// The sample bytes of a RIFF WAVE image.
std::string waveSamples(const uint8_t* wave)
{
    for (uint32_t at = 12;; ) {
        uint32_t size;
        std::memcpy(&size, wave + at + 4, 4);
        if (std::memcmp(wave + at, "data", 4) == 0)
            return std::string(reinterpret_cast<const char*>(wave + at + 8), size);
        at += 8 + size + (size & 1);
    }
}

} // namespace

TEST(SceneOnX11, FixedSeedRunGivesTheChecksumOfTheOtherBuildsAndTheWindowShowsTheBackBuffer)
{
    recordingPath();
    Xvfb server("800x600x24");
    ASSERT_FALSE(server.name.empty());
    Display* display = XOpenDisplay(server.name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = createWindow(display, scene_scenario::width, scene_scenario::height);
    const char* error = nullptr;
    ASSERT_TRUE(openX11Window(display, window, scene_scenario::width, scene_scenario::height, &error)) << error;

    int handle = 0;
    const uint64_t checksum = scene_scenario::run(&handle);
    EXPECT_EQ(checksum, sceneScenarioChecksum) << std::hex << "got 0x" << checksum;

    // Off the sprites of the last frame the window shows the back buffer,
    // each index as its palette colour.
    XSync(display, False);
    const Shot shot = capture(display, window);
    ASSERT_EQ(shot.width, scene_scenario::width);
    const DibSurface& back = spriteRenderer.back();
    const PaletteEntry* palette = memoryPaletteEntries(back.palette);
    ASSERT_NE(palette, nullptr);
    int compared = 0;
    int differing = 0;
    for (int32_t y = 0; y < shot.height; ++y)
        for (int32_t x = 0; x < shot.width; ++x) {
            bool covered = false;
            for (int32_t i = 0; i < shipCount() && !covered; ++i) {
                const Sprite* s = spriteRenderer.sprite(i);
                covered = x >= s->x && x < s->x + s->width && y >= s->y && y < s->y + s->height;
            }
            if (covered)
                continue;
            const PaletteEntry& e = palette[*back.pixelAddress(x, y)];
            ++compared;
            differing += shot.at(x, y) != pixelOf(display, e.peRed, e.peGreen, e.peBlue);
        }
    EXPECT_GT(compared, 10000);
    EXPECT_EQ(differing, 0) << "window pixels off the sprites that differ from the back buffer";

    closeSoundPlayer();
    closeX11Window();
    XCloseDisplay(display);
}

TEST(SoundOnAlsa, The401stTickPlaysAWaveIntoTheDefaultDeviceAndNothingPlaysWithSoundOff)
{
    const std::string played = recordingPath();
    unlink(played.c_str());
    loadSoundBank();

    settings = Settings{0, 10, 10};
    resetSoundTrigger();
    for (int tick = 0; tick < 2000; ++tick)
        soundTick();
    pause(200);
    EXPECT_EQ(fileSize(played), -1) << "sound off opened the device";

    // A seed whose draw on the chance picks sound 2, the shortest (u = 5 ... 7).
    uint32_t seed = 1;
    for (;; ++seed) {
        seedRandom(seed);
        const int32_t u = randomUpTo(15);
        if (u >= 5 && u <= 7)
            break;
    }
    settings = Settings{1, 10, 10};
    seedRandom(seed);
    resetSoundTrigger();
    for (int tick = 0; tick < ticksBetweenSoundChances; ++tick)
        soundTick();
    pause(200);
    EXPECT_LE(fileSize(played), 0) << "something played before the 401st tick";
    soundTick();

    const std::string expected = waveSamples(static_cast<const uint8_t*>(soundBank.images[2]));
    for (int waited = 0; waited < 5000 && fileSize(played) < static_cast<long>(expected.size()); waited += 20)
        pause(20);
    std::ifstream in(played, std::ios::binary);
    const std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(recorded.size(), expected.size());
    EXPECT_TRUE(recorded == expected) << "the recording is not the samples of WAVDAT2";
    releaseSoundBank();
    closeSoundPlayer();
}
