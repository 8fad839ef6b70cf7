// Native back end of the sound player: a table of named wave images that
// tests fill, and a record of every play and stop.
#include "scene/sound_player.h"

#include <string>
#include <vector>

namespace {

struct NamedWave {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<NamedWave>& waves()
{
    static std::vector<NamedWave> table;
    return table;
}

std::vector<const void*>& plays()
{
    static std::vector<const void*> record;
    return record;
}

} // namespace

WaveResource loadWaveResource(const char* name)
{
    for (NamedWave& wave : waves()) {
        if (wave.name == name)
            return &wave;
    }
    return nullptr;
}

const void* lockWaveResource(WaveResource resource)
{
    return resource != nullptr ? static_cast<NamedWave*>(resource)->bytes.data() : nullptr;
}

void playWaveImage(const void* image) { plays().push_back(image); }

void addNativeWaveResource(const char* name, const uint8_t* bytes, uint32_t size)
{
    // Reserved up front so that resources already handed out never move.
    waves().reserve(16);
    waves().push_back(NamedWave{name, std::vector<uint8_t>(bytes, bytes + size)});
}

void clearNativeWaveResources() { waves().clear(); }
int32_t nativePlayCount() { return static_cast<int32_t>(plays().size()); }
const void* nativePlayed(int32_t index) { return plays()[index]; }
void clearNativePlays() { plays().clear(); }
