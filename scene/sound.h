// The three sound effects: the bank of wave images held from window creation
// to destruction, and the trigger that gives them a chance to play on every
// 401st frame tick while sound is on.
#pragma once
#include <cstdint>

#include "scene/sound_player.h"

enum : int32_t {
    soundCount = 3,
    ticksBetweenSoundChances = 400, // the chance comes on the tick after these
};

struct SoundBank {
    WaveResource handles[soundCount]; // as the resource loader answered
    const void* images[soundCount];   // the locked images; entry k is sound k
};

extern SoundBank soundBank;
extern int32_t soundTicks; // ticks with sound on since the last chance

// Finds and locks "WAVDAT0" ... "WAVDAT2"; a missing one stays null.
void loadSoundBank();
// Stops any sound still playing and forgets the images.
void releaseSoundBank();
void resetSoundTrigger();
// Counts a tick while sound is on; on a chance, draws once and may play.
void soundTick();
