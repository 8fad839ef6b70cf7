// The ALSA sound player on a file device: the scene's 401st tick plays its
// wave whole into the default device, and with sound off nothing opens it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platforms/alsa/sound_player_alsa.h"
#include "scene/sound.h"
#include "settings/settings.h"
#include "support/random.h"
#include "tests/platforms/alsa/alsa_recording.h"

using x11test::eventually;

namespace {

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

// Whether the player opens the device, or writes to it, shows within this
// bound: it does either as soon as its thread is asked.
const int silenceBound = 200;

} // namespace

TEST(SoundOnAlsa, The401stTickPlaysAWaveIntoTheDefaultDeviceAndNothingPlaysWithSoundOff)
{
    const std::string played = recordingPath();
    unlink(played.c_str());
    loadSoundBank();

    settings = Settings{0, 10, 10};
    resetSoundTrigger();
    for (int tick = 0; tick < 2000; ++tick)
        soundTick();
    EXPECT_FALSE(eventually("the device to open", [&] { return fileSize(played) != -1; }, silenceBound))
        << "sound off opened the device";

    // A seed whose draw on the chance picks sound 2, the shortest (u = 5 ... 7).
    uint32_t seed = 0;
    for (int32_t u = -1; u < 5 || u > 7; u = randomUpTo(15))
        seedRandom(++seed);
    settings = Settings{1, 10, 10};
    seedRandom(seed);
    resetSoundTrigger();
    for (int tick = 0; tick < ticksBetweenSoundChances; ++tick)
        soundTick();
    EXPECT_FALSE(eventually("samples in the device", [&] { return fileSize(played) > 0; }, silenceBound))
        << "something played before the 401st tick";
    soundTick();

    const std::string expected = waveSamples(static_cast<const uint8_t*>(soundBank.images[2]));
    EXPECT_TRUE(eventually("the wave's samples", [&] { return fileSize(played) >= long(expected.size()); }, 5000));
    std::ifstream in(played, std::ios::binary);
    const std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(recorded.size(), expected.size());
    EXPECT_TRUE(recorded == expected) << "the recording is not the samples of WAVDAT2";
    releaseSoundBank();
    closeSoundPlayer();
}
