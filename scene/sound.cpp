// The sound bank and the trigger of the sound effects. The bank's two tables
// are fixed arrays of three: nothing to allocate, so nothing can fail here.
#include "scene/sound.h"

#include "settings/settings.h"
#include "support/decimal.h"
#include "support/random.h"

SoundBank soundBank;
int32_t soundTicks = 0;

namespace {

// The sound that u = randomUpTo(15) chooses; -1 for none (u = 8 ... 15).
int32_t soundFor(int32_t u)
{
    if (u <= 1)
        return 0;
    if (u <= 4)
        return 1;
    if (u <= 7)
        return 2;
    return -1;
}

} // namespace

void loadSoundBank()
{
    for (int32_t k = 0; k < soundCount; ++k) {
        char name[20] = "WAVDAT";
        formatDecimal(k, name + 6);
        soundBank.handles[k] = loadWaveResource(name);
        soundBank.images[k] = lockWaveResource(soundBank.handles[k]);
    }
}

void releaseSoundBank()
{
    // Playback reads the image in place, so it has to stop first.
    playWaveImage(nullptr);
    for (int32_t k = 0; k < soundCount; ++k) {
        soundBank.handles[k] = nullptr;
        soundBank.images[k] = nullptr;
    }
}

void resetSoundTrigger() { soundTicks = 0; }

void soundTick()
{
    if (settings.soundOn <= 0)
        return;
    if (++soundTicks <= ticksBetweenSoundChances)
        return;
    soundTicks = 0;
    const int32_t sound = soundFor(randomUpTo(15));
    if (sound < 0)
        return;
    // A missing image makes this a stop, which is all it can do.
    playWaveImage(soundBank.images[sound]);
}
