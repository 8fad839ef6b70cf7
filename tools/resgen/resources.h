// Every binary resource of the saver image, as the files the resource script
// names: SPPAT_R0.bmp .. SPPAT_R24.bmp, WAVDAT0.wav .. WAVDAT2.wav and
// vasken32.ico; and the web page's icons.
#pragma once

#include <string>
#include <vector>

#include "tools/resgen/file_formats.h"

struct GeneratedFile {
    std::string name;
    Bytes bytes;
};

Bytes patternBitmapFile(int pattern);
Bytes soundWaveFile(int sound);
Bytes iconFile();

std::vector<GeneratedFile> generateResourceFiles();

// The web page's app icons: icon-192.png and icon-512.png, and
// icon-maskable.png (512 pixels) for launchers that cut icons to a shape.
std::vector<GeneratedFile> generateAppIconFiles();

// A C++ source defining embeddedBitmaps ("SPPAT_R0" ...) and embeddedWaves
// ("WAVDAT0" ...) of resources/embedded_resources.h.
Bytes makeEmbeddedSource();
