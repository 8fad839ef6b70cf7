// The web page's sound player: the module only notes what the scene asks to
// play, and the page's script takes the request after the ticks of a frame
// and plays it through Web Audio once the browser allows sound.
#pragma once
#include <cstdint>

enum : int32_t { noWebSoundRequest = -1 };

// What was asked since the last call: noWebSoundRequest, 0 for a stop, or
// the address of a RIFF WAVE image (webWaveSize gives its length). Each
// request replaces the one before, as each play cuts off the last.
int32_t takeWebSoundRequest();
uint32_t webWaveSize(const void* image);
