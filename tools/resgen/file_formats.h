// Byte images of the files the generator writes: Windows bitmaps, the icon,
// RIFF WAVE sounds and the PNG of the contact sheet.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/resgen/ship_art.h"

using Bytes = std::vector<uint8_t>;

// An 8-bit bitmap file: 14-byte file header, 40-byte info header, the full
// 256-entry colour table, then the rows bottom-up, each padded to 4 bytes.
Bytes makeBitmapFile(const IndexedImage& image, const std::array<RgbEntry, 256>& colours);

// A one-image icon file of a 32 x 32, 16-colour picture: indices 0..15 into
// the colour table, and a mask (true where the picture is see-through).
Bytes makeIconFile(const std::vector<uint8_t>& indices, const std::vector<bool>& transparent,
                   const std::array<RgbEntry, 16>& colours);

// A RIFF WAVE image of 8-bit unsigned mono PCM at the given rate. An odd data
// chunk is followed by the pad byte that RIFF requires.
Bytes makeWaveFile(const std::vector<uint8_t>& samples, uint32_t samplesPerSecond);

// A truecolour PNG (8 bits a channel) from rows of red, green, blue bytes,
// followed by alpha where channels is 4.
// The deflate stream is one block of the fixed codes with back references.
Bytes makePngFile(int width, int height, const std::vector<uint8_t>& pixels, int channels = 3);

bool writeFile(const std::string& path, const Bytes& bytes);

// Little-endian readers shared by the tests.
inline uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t readU32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }
