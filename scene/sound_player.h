// Wave images from the image's own resources and their playback. The Win32
// shell uses the resource calls and PlaySoundA (asynchronous, from memory);
// the test stand-in keeps named images that tests add and records what
// was asked to play.
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
