// The wave images of the X11 program and the web page: the ones generated
// at build time and built in (resgen --embed), found by resource name as
// the Windows image finds its "WAVE" resources.
#include <cstring>

#include "resources/embedded_resources.h"
#include "scene/sound_player.h"

WaveResource loadWaveResource(const char* name)
{
    for (const EmbeddedResource* r = embeddedWaves; r->name != nullptr; ++r) {
        if (std::strcmp(r->name, name) == 0)
            return const_cast<EmbeddedResource*>(r);
    }
    return nullptr;
}

const void* lockWaveResource(WaveResource resource)
{
    return resource != nullptr ? static_cast<const EmbeddedResource*>(resource)->bytes : nullptr;
}
