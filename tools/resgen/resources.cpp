// Puts the art and the sounds into their file formats under their names.
#include "tools/resgen/resources.h"

#include "tools/resgen/icon_art.h"
#include "tools/resgen/ship_art.h"
#include "tools/resgen/sounds.h"

Bytes patternBitmapFile(int pattern) { return makeBitmapFile(renderPattern(pattern), patternColourTable()); }

Bytes soundWaveFile(int sound) { return makeWaveFile(synthesizeSound(sound), kSoundRate); }

Bytes iconFile()
{
    const IconPicture icon = renderIcon();
    return makeIconFile(icon.indices, icon.transparent, iconColourTable());
}

std::vector<GeneratedFile> generateResourceFiles()
{
    std::vector<GeneratedFile> files;
    for (int p = 0; p < kPatternCount; ++p)
        files.push_back({"SPPAT_R" + std::to_string(p) + ".bmp", patternBitmapFile(p)});
    for (int s = 0; s < kSoundCount; ++s)
        files.push_back({"WAVDAT" + std::to_string(s) + ".wav", soundWaveFile(s)});
    files.push_back({"vasken32.ico", iconFile()});
    return files;
}
