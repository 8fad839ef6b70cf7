// The pattern bitmaps and wave images built into the X11 program, as the
// Windows image holds them as resources: a bitmap without its 14-byte file
// header, a wave as the whole RIFF file. resgen writes the tables at build
// time (resgen --embed); each ends with an entry whose name is null.
#pragma once
#include <cstdint>

struct EmbeddedResource {
    const char* name;
    const uint8_t* bytes;
    uint32_t size;
};

extern const EmbeddedResource embeddedBitmaps[];
extern const EmbeddedResource embeddedWaves[];
