// A long, fixed run of the formation folded into one number. The native tests,
// the x87 build of the core and the Win32 shell tests replay the same run, and
// all must arrive at formationScenarioChecksum.
#pragma once
#include <cstdint>
#include <cstring>

#include "formation/formation.h"
#include "support/random.h"

const uint64_t formationScenarioChecksum = 0x59059CEB9F3B40D6ull;

namespace formation_scenario {

inline uint64_t mix(uint64_t hash, uint64_t word)
{
    // FNV-1a over whole words: cheap enough for millions of ship states even
    // in the unoptimised sanitizer build.
    return (hash ^ word) * 0x100000001B3ull;
}

inline uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every ship's centre and frame through the accessors, and the exact bits of
// its track position, so that a difference in the last place shows at once
// instead of thousands of steps later.
inline uint64_t mixShips(uint64_t hash)
{
    const int32_t count = shipCount();
    for (int32_t i = 0; i < count; ++i) {
        const uint64_t centre = static_cast<uint32_t>(shipX(i)) | static_cast<uint64_t>(static_cast<uint32_t>(shipY(i))) << 32;
        hash = mix(hash, centre);
        hash = mix(hash, static_cast<uint32_t>(shipFrame(i)));
        hash = mix(hash, bitsOf(formation.ships[i].posX));
        hash = mix(hash, bitsOf(formation.ships[i].posY));
    }
    return hash;
}

struct Run {
    int32_t layers;
    int32_t width;
    int32_t height;
    int32_t refreshMinutes;
    uint32_t startTick;
    uint32_t millisecondsPerStep;
    int32_t steps;
};

} // namespace formation_scenario

// setTicks is how the build under test sets its millisecond counter. The
// first run starts 200 s before the counter wraps and re-lays out every 6001
// steps (one step after elapsed equals the period); the second uses an odd
// size whose column spacings are not exact binary fractions.
inline uint64_t runFormationScenario(void (*setTicks)(uint32_t))
{
    using namespace formation_scenario;
    const Run runs[] = {
        {6, 640, 480, 1, 0xFFFFFFFFu - 200000u, 10, 100000},
        {6, 1366, 768, 1, 123456789u, 37, 50000},
    };
    uint64_t hash = 0xCBF29CE484222325ull;
    seedRandom(20240601u);
    for (const Run& run : runs) {
        uint32_t now = run.startTick;
        setTicks(now);
        formationInit(run.layers, run.width, run.height, run.refreshMinutes);
        hash = mixShips(hash);
        for (int32_t step = 0; step < run.steps; ++step) {
            now += run.millisecondsPerStep;
            setTicks(now);
            formationStep();
            hash = mix(hash, static_cast<uint32_t>(formation.drift) | static_cast<uint64_t>(static_cast<uint32_t>(formation.driftCountdown)) << 32);
            hash = mixShips(hash);
        }
        hash = mix(hash, randomState());
    }
    return hash;
}
