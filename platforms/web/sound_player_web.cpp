// Web back end of the sound player: play requests kept for the page's
// script (platforms/web/sound_player_web.h). The waves are the ones built in
// (platforms/posix/wave_resources_embedded.cpp).
#include "scene/sound_player.h"

#include "resources/embedded_resources.h"
#include "platforms/web/sound_player_web.h"

namespace {

struct WebSound {
    bool pending;
    const void* image; // null: a stop
};

WebSound sound = {false, nullptr};

} // namespace

void playWaveImage(const void* image)
{
    sound.pending = true;
    sound.image = image;
}

int32_t takeWebSoundRequest()
{
    if (!sound.pending)
        return noWebSoundRequest;
    sound.pending = false;
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(sound.image));
}

uint32_t webWaveSize(const void* image)
{
    for (const EmbeddedResource* r = embeddedWaves; r->name != nullptr; ++r) {
        if (r->bytes == image)
            return r->size;
    }
    return 0;
}
