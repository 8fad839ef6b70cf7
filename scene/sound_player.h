// Wave images built into the program and their playback: what the sound
// effects ask of the platform. Playing starts at once and never blocks.
#pragma once
#include <cstdint>

typedef void* WaveResource; // a loaded resource (HGLOBAL)

// The "WAVE" resource of that name in the running image, loaded; null if
// there is none.
WaveResource loadWaveResource(const char* name);

// The resource's bytes, a complete RIFF image; null for a null resource.
const void* lockWaveResource(WaveResource resource);

// Starts the image playing and returns at once, cutting off any sound still
// playing; a null image only stops what plays.
void playWaveImage(const void* image);
