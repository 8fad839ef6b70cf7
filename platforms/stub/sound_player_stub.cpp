// The test stand-in's sound player: a table of named wave images that
// tests fill, and a record of every play and stop.
#include "scene/sound_player.h"
#include "platforms/stub/stub.h"

#include <deque>
#include <string>
#include <vector>

namespace {

struct NamedWave {
    std::string name;
    std::vector<uint8_t> bytes;
};

// A deque, so that resources already handed out stay where they are.
std::deque<NamedWave>& waves()
{
    static std::deque<NamedWave> table;
    return table;
}

// A fixed record, so that a play, which the scene makes, never allocates.
const void* plays[stubPlayCapacity];
int32_t playCount = 0;

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

void playWaveImage(const void* image)
{
    if (playCount < stubPlayCapacity)
        plays[playCount] = image;
    ++playCount;
}

void addStubWaveResource(const char* name, const uint8_t* bytes, uint32_t size)
{
    waves().push_back(NamedWave{name, std::vector<uint8_t>(bytes, bytes + size)});
}

void clearStubWaveResources() { waves().clear(); }
int32_t stubPlayCount() { return playCount; }
const void* stubPlayed(int32_t index) { return index >= 0 && index < stubPlayCapacity ? plays[index] : nullptr; }
void clearStubPlays() { playCount = 0; }
