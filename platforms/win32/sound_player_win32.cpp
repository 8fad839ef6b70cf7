// Win32 back end of the sound player: wave resources of the running image
// and PlaySoundA from memory.
#include "scene/sound_player.h"

#include <windows.h>

#include <mmsystem.h>

WaveResource loadWaveResource(const char* name)
{
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, name, "WAVE");
    return found != nullptr ? LoadResource(module, found) : nullptr;
}

const void* lockWaveResource(WaveResource resource)
{
    return resource != nullptr ? LockResource(static_cast<HGLOBAL>(resource)) : nullptr;
}

void playWaveImage(const void* image)
{
    PlaySoundA(static_cast<const char*>(image), nullptr, SND_ASYNC | SND_MEMORY);
}
