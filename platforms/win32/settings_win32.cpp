// The settings store on the platform's profile functions. The section name is
// string resource 1007 of the executable, so a renamed build keeps its own.
#include "settings/settings.h"

#include <windows.h>

#include "platforms/win32/host_win32.h"
#include "support/decimal.h"

namespace {

void loadSectionName(char* section)
{
    section[0] = '\0';
    LoadStringA(hostState.instance, settingsSectionStringId, section, settingsSectionBufferSize);
}

void writeValue(const char* section, const char* key, int32_t value)
{
    char text[12];
    WritePrivateProfileStringA(section, key, formatDecimal(value, text), settingsFileName);
}

} // namespace

void loadSettings()
{
    char section[settingsSectionBufferSize];
    loadSectionName(section);
    settings.soundOn = static_cast<int32_t>(
        GetPrivateProfileIntA(section, soundKey, defaultSoundOn, settingsFileName));
    settings.aniInterval = limitAniInterval(static_cast<int32_t>(
        GetPrivateProfileIntA(section, aniIntervalKey, defaultAniInterval, settingsFileName)));
    settings.refreshMinutes = limitRefreshMinutes(static_cast<int32_t>(
        GetPrivateProfileIntA(section, refreshIntervalKey, defaultRefreshMinutes, settingsFileName)));
}

void saveSettings()
{
    char section[settingsSectionBufferSize];
    loadSectionName(section);
    writeValue(section, soundKey, settings.soundOn);
    writeValue(section, aniIntervalKey, settings.aniInterval);
    writeValue(section, refreshIntervalKey, settings.refreshMinutes);
}
