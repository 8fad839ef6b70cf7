// The three sound effects of the scene, synthesised: an engine roar, a
// fly-by and a warp jump. 8-bit unsigned mono at 11025 samples a second.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSoundCount = 3;
constexpr uint32_t kSoundRate = 11025;

struct SoundShape {
    uint32_t sampleCount;
    double attackSeconds;  // rise from silence
    double sustainSeconds; // loud part, the attack included
};

// Lengths and envelope times of the three effects.
SoundShape soundShape(int sound);

// The samples of one effect: 128 is silence; the first and the last sample
// are 128, so the sound starts and ends without a click.
std::vector<uint8_t> synthesizeSound(int sound);
