// Settings variables, key names and range rules.
#include "settings/settings.h"

Settings settings = {0, 0, 0};

const char settingsFileName[] = "CONTROL.INI";
const char soundKey[] = "SOUND_SW";
const char aniIntervalKey[] = "ANI_INTERVAL";
const char refreshIntervalKey[] = "REFRESH_INTERVAL";

int32_t limitAniInterval(int32_t value)
{
    return (value < minAniInterval || value > maxAniInterval) ? defaultAniInterval : value;
}

int32_t limitRefreshMinutes(int32_t value)
{
    return (value < minRefreshMinutes || value > maxRefreshMinutes) ? defaultRefreshMinutes : value;
}
