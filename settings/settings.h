// The saver's three persisted settings. loadSettings and saveSettings move
// them between these variables and the "CONTROL.INI" profile (Win32 shell);
// the scene reads them, the configuration dialog changes them.
#pragma once
#include <cstdint>

struct Settings {
    int32_t soundOn;        // sound effects play when greater than 0
    int32_t aniInterval;    // animation timer period, 10 ... 200 ms
    int32_t refreshMinutes; // formation re-layout period, 1 ... 100 minutes
};

extern Settings settings;

extern const char settingsFileName[];   // "CONTROL.INI"
extern const char soundKey[];           // "SOUND_SW"
extern const char aniIntervalKey[];     // "ANI_INTERVAL"
extern const char refreshIntervalKey[]; // "REFRESH_INTERVAL"
enum : int32_t {
    settingsSectionStringId = 1007,
    settingsSectionBufferSize = 60,
    defaultSoundOn = 1,
    defaultAniInterval = 10,
    defaultRefreshMinutes = 10,
    minAniInterval = 10,
    maxAniInterval = 200,
    minRefreshMinutes = 1,
    maxRefreshMinutes = 100,
};

// The replacement rule of the store: a value out of range becomes 10, on
// either side of the range.
int32_t limitAniInterval(int32_t value);
int32_t limitRefreshMinutes(int32_t value);

// Read from and write to the profile (Win32 shell).
void loadSettings();
void saveSettings();
