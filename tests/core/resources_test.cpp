// The generated resource files: bitmap, icon, wave and PNG formats and sizes, the
// colours and placement of the ship, the sound envelopes, and that every run
// writes the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "tools/resgen/icon_art.h"
#include "tools/resgen/resources.h"
#include "tools/resgen/ship_art.h"
#include "tools/resgen/sounds.h"

namespace {

struct PatternRow {
    int first, last; // pattern range
    int width, height;
} const kPatternTable[] = {
    {0, 0, 384, 512}, {1, 4, 192, 64}, {5, 8, 128, 42}, {9, 12, 96, 32},
    {13, 16, 80, 26}, {17, 20, 64, 22}, {21, 24, 64, 17},
};

struct FrameRow {
    int frame, pattern, centreX, centreY;
} const kFrameTable[] = {
    {0, 0, 192, 64},  {1, 0, 192, 192}, {2, 0, 192, 320}, {3, 0, 192, 448}, {4, 1, 96, 32},
    {7, 4, 96, 32},   {8, 5, 64, 21},   {11, 8, 64, 21},  {12, 9, 48, 16},  {15, 12, 48, 16},
    {16, 13, 40, 13}, {19, 16, 40, 13}, {20, 17, 32, 11}, {23, 20, 32, 11},
};

bool isGreyIndex(uint8_t v) { return (v >= 11 && v <= 17) || v == 20; }

// The area the renderer draws of a frame, in pattern coordinates.
struct Area {
    int left, top, right, bottom; // right and bottom exclusive
};

Area drawnArea(const FrameCut& cut)
{
    return {cut.centreX - cut.halfWidth, cut.centreY - cut.halfHeight, cut.centreX + cut.halfWidth,
            cut.centreY + cut.halfHeight};
}

// The frames (cuts) that show a pattern: four bands of pattern 0, else one.
std::vector<FrameCut> cutsOf(int pattern)
{
    if (pattern == 0)
        return {frameCut(0), frameCut(1), frameCut(2), frameCut(3)};
    return {frameCut(pattern + 3)};
}

double rms(const uint8_t* samples, size_t count)
{
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += (samples[i] - 128.0) * (samples[i] - 128.0);
    return std::sqrt(sum / double(count));
}

} // namespace

TEST(PatternImages, FrameTableMatchesThePatternSizes)
{
    for (const FrameRow& row : kFrameTable) {
        const FrameCut cut = frameCut(row.frame);
        EXPECT_EQ(cut.pattern, row.pattern) << "frame " << row.frame;
        EXPECT_EQ(cut.centreX, row.centreX) << "frame " << row.frame;
        EXPECT_EQ(cut.centreY, row.centreY) << "frame " << row.frame;
    }
    EXPECT_EQ(frameCut(24).pattern, 21);
    EXPECT_EQ(frameCut(24).centreY, 8) << "an odd height rounds down";
}

TEST(PatternImages, BitmapFilesHaveTheExactSizesAndHeaders)
{
    const auto& colours = patternColourTable();
    for (const PatternRow& row : kPatternTable)
        for (int p = row.first; p <= row.last; ++p) {
            SCOPED_TRACE("SPPAT_R" + std::to_string(p));
            const Bytes file = patternBitmapFile(p);
            const uint32_t pixels = uint32_t(row.width * row.height);
            ASSERT_EQ(file.size(), 14u + 40 + 1024 + pixels);
            const uint8_t* f = file.data();
            EXPECT_EQ(readU16(f), 0x4D42);
            EXPECT_EQ(readU32(f + 2), file.size());
            EXPECT_EQ(readU32(f + 10), 14u + 40 + 1024);
            const uint8_t* h = f + 14;
            EXPECT_EQ(readU32(h), 40u);
            EXPECT_EQ(int32_t(readU32(h + 4)), row.width);
            EXPECT_EQ(int32_t(readU32(h + 8)), row.height) << "positive: bottom-up";
            EXPECT_EQ(readU16(h + 12), 1);
            EXPECT_EQ(readU16(h + 14), 8);
            EXPECT_EQ(readU32(h + 16), 0u) << "uncompressed";
            EXPECT_EQ(readU32(h + 20), pixels) << "the loader sizes its block by biSizeImage";
            EXPECT_EQ(readU32(h + 32), 256u);
            for (int i = 0; i < 256; ++i) {
                const uint8_t* q = h + 40 + 4 * i;
                ASSERT_TRUE(q[0] == colours[i].blue && q[1] == colours[i].green && q[2] == colours[i].red && q[3] == 0)
                    << "colour " << i;
            }
            // Rows are stored bottom-up.
            const IndexedImage image = renderPattern(p);
            const uint8_t* rows = f + 14 + 40 + 1024;
            EXPECT_EQ(0, std::memcmp(rows, &image.pixels[size_t(row.height - 1) * row.width], size_t(row.width)))
                << "first stored row is the bottom row";
            EXPECT_EQ(0, std::memcmp(rows + size_t(row.height - 1) * row.width, image.pixels.data(), size_t(row.width)))
                << "last stored row is the top row";
        }
}

TEST(PatternImages, ColourTableHoldsTheNamedColours)
{
    const auto& c = patternColourTable();
    EXPECT_TRUE(c[10].red == 0 && c[10].green == 0 && c[10].blue == 0) << "index 10 is black";
    const int greys[] = {11, 12, 13, 14, 15, 16, 17, 20};
    for (int k = 0; k < 8; ++k) {
        const RgbEntry& e = c[greys[k]];
        EXPECT_EQ(e.red, e.green) << "grey " << greys[k];
        EXPECT_LE(std::abs(e.blue - e.red), 8) << "grey " << greys[k];
        if (k > 0) {
            EXPECT_GT(e.red, c[greys[k - 1]].red) << "greys run from dark to light: " << greys[k];
        }
    }
    EXPECT_TRUE(c[18].red > 180 && c[18].green < 80 && c[18].blue < 80) << "index 18 is red";
    for (int i : {19, 21, 23, 24})
        EXPECT_TRUE(c[i].blue > c[i].red + 40 && c[i].blue > c[i].green) << "index " << i << " is blue";
    EXPECT_TRUE(c[22].red >= 230 && c[22].green >= 230 && c[22].blue >= 230) << "index 22 is near-white";
}

TEST(PatternImages, ShipUsesOnlyItsIndicesInsideTheDrawnAreaOnTransparentBlack)
{
    for (int p = 0; p < kPatternCount; ++p) {
        SCOPED_TRACE("SPPAT_R" + std::to_string(p));
        const IndexedImage image = renderPattern(p);
        std::set<int> used;
        for (uint8_t v : image.pixels) {
            ASSERT_GE(v, 10);
            ASSERT_LE(v, 24);
            used.insert(v);
        }
        EXPECT_GE(used.size(), 8u) << "shaded, not flat";
        EXPECT_TRUE(used.count(18)) << "red markings";
        std::vector<bool> inside(image.pixels.size(), false);
        for (const FrameCut& cut : cutsOf(p)) {
            const Area a = drawnArea(cut);
            int shipPixels = 0;
            for (int y = a.top; y < a.bottom; ++y)
                for (int x = a.left; x < a.right; ++x) {
                    inside[size_t(y) * image.width + x] = true;
                    shipPixels += image.at(x, y) != kTransparentIndex;
                }
            const int area = (a.right - a.left) * (a.bottom - a.top);
            EXPECT_GT(shipPixels, area / 5) << "the ship fills its frame";
            EXPECT_LT(shipPixels, area * 3 / 4) << "with black around it";
            // The edges of the drawn area are open space: nothing of the ship
            // is cut off there.
            for (int x = a.left; x < a.right; ++x) {
                EXPECT_EQ(image.at(x, a.top), kTransparentIndex) << "top edge at x " << x;
                EXPECT_EQ(image.at(x, a.bottom - 1), kTransparentIndex) << "bottom edge at x " << x;
            }
            for (int y = a.top; y < a.bottom; ++y) {
                EXPECT_EQ(image.at(a.left, y), kTransparentIndex) << "left edge at y " << y;
                EXPECT_EQ(image.at(a.right - 1, y), kTransparentIndex) << "right edge at y " << y;
            }
        }
        for (size_t i = 0; i < image.pixels.size(); ++i)
            ASSERT_TRUE(inside[i] || image.pixels[i] == kTransparentIndex)
                << "pixel " << i % image.width << "," << i / image.width << " lies outside every drawn area";
    }
}

TEST(PatternImages, HullIsCentredOnTheFrameCentre)
{
    for (int p = 0; p < kPatternCount; ++p) {
        const IndexedImage image = renderPattern(p);
        for (const FrameCut& cut : cutsOf(p)) {
            SCOPED_TRACE("SPPAT_R" + std::to_string(p) + " centre " + std::to_string(cut.centreX) + "," +
                         std::to_string(cut.centreY));
            const Area a = drawnArea(cut);
            // The hull is everything grey: nose to nozzles, wing tip to wing tip.
            int left = a.right, right = a.left, top = a.bottom, bottom = a.top;
            for (int y = a.top; y < a.bottom; ++y)
                for (int x = a.left; x < a.right; ++x)
                    if (isGreyIndex(image.at(x, y))) {
                        left = std::min(left, x);
                        right = std::max(right, x + 1);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y + 1);
                    }
            ASSERT_LT(left, right);
            EXPECT_LE(std::abs((left + right) - 2 * cut.centreX), 2) << "hull from x " << left << " to " << right;
            EXPECT_LE(std::abs((top + bottom) - 2 * cut.centreY), 2) << "hull from y " << top << " to " << bottom;
            EXPECT_GE(bottom - top, (a.bottom - a.top) * 4 / 5) << "wing span fills the height";
        }
    }
}

TEST(PatternImages, PhasesShareTheShipAndFlickerOnlyInTheFlame)
{
    for (int size = 0; size < 7; ++size) {
        std::vector<IndexedImage> images;
        std::vector<FrameCut> cuts;
        if (size == 0) {
            const IndexedImage whole = renderPattern(0);
            for (int band = 0; band < 4; ++band) {
                IndexedImage part;
                part.width = 384;
                part.height = 128;
                part.pixels.assign(whole.pixels.begin() + band * 128 * 384, whole.pixels.begin() + (band + 1) * 128 * 384);
                images.push_back(part);
            }
        } else {
            for (int phase = 0; phase < 4; ++phase)
                images.push_back(renderPattern(1 + (size - 1) * 4 + phase));
        }
        const int width = images[0].width;
        SCOPED_TRACE("size " + std::to_string(width) + "x" + std::to_string(images[0].height));
        for (int phase = 1; phase < 4; ++phase) {
            int differing = 0;
            for (int y = 0; y < images[0].height; ++y)
                for (int x = 0; x < width; ++x)
                    if (images[phase].at(x, y) != images[0].at(x, y)) {
                        ++differing;
                        ASSERT_GE(x, width * 3 / 4) << "phase " << phase << " differs in the hull at " << x << "," << y;
                    }
            EXPECT_GT(differing, 0) << "phase " << phase << " looks like phase 0";
        }
        // The flame is blue and white, at the right end.
        int flame = 0;
        for (int y = 0; y < images[0].height; ++y)
            for (int x = width * 4 / 5; x < width; ++x)
                flame += images[0].at(x, y) == 21 || images[0].at(x, y) == 23 || images[0].at(x, y) == 24 ||
                         images[0].at(x, y) == 22;
        EXPECT_GT(flame, 2);
    }
}

TEST(IconImage, IsA32By32SixteenColourIconWithMask)
{
    const Bytes file = iconFile();
    ASSERT_EQ(file.size(), 6u + 16 + 40 + 64 + 512 + 128);
    const uint8_t* f = file.data();
    EXPECT_EQ(readU16(f), 0);
    EXPECT_EQ(readU16(f + 2), 1) << "icon";
    EXPECT_EQ(readU16(f + 4), 1) << "one image";
    EXPECT_EQ(f[6], 32);
    EXPECT_EQ(f[7], 32);
    EXPECT_EQ(f[8], 16);
    EXPECT_EQ(readU16(f + 10), 1);
    EXPECT_EQ(readU16(f + 12), 4);
    EXPECT_EQ(readU32(f + 14), 744u);
    EXPECT_EQ(readU32(f + 18), 22u);
    const uint8_t* h = f + 22;
    EXPECT_EQ(readU32(h), 40u);
    EXPECT_EQ(readU32(h + 4), 32u);
    EXPECT_EQ(readU32(h + 8), 64u) << "picture and mask";
    EXPECT_EQ(readU16(h + 14), 4);

    const IconPicture icon = renderIcon();
    const uint8_t* xorBits = h + 40 + 64;
    const uint8_t* andBits = xorBits + 512;
    int opaque = 0;
    std::set<int> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int row = 31 - y; // bottom-up
            const bool masked = andBits[row * 4 + x / 8] & (0x80 >> (x % 8));
            const uint8_t index = (xorBits[row * 16 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
            ASSERT_EQ(masked, bool(icon.transparent[y * 32 + x])) << x << "," << y;
            if (masked) {
                EXPECT_EQ(index, 0) << "see-through pixels are black in the picture, at " << x << "," << y;
            } else {
                ++opaque;
                colours.insert(index);
            }
        }
    EXPECT_GT(opaque, 400);
    EXPECT_LT(opaque, 1000) << "round, not square";
    EXPECT_TRUE(colours.count(7) || colours.count(15)) << "a light hull";
    EXPECT_TRUE(colours.count(9)) << "red markings";
    EXPECT_GE(colours.size(), 6u);
}

TEST(SoundImages, WaveFilesHaveTheFormatAndExactSizes)
{
    const struct {
        uint32_t fileSize, dataSize;
    } expected[kSoundCount] = {{38294, 38249}, {33144, 33100}, {17452, 17408}};
    for (int s = 0; s < kSoundCount; ++s) {
        SCOPED_TRACE("WAVDAT" + std::to_string(s));
        const Bytes file = soundWaveFile(s);
        ASSERT_EQ(file.size(), expected[s].fileSize);
        const uint8_t* f = file.data();
        EXPECT_EQ(0, std::memcmp(f, "RIFF", 4));
        EXPECT_EQ(readU32(f + 4), expected[s].fileSize - 8);
        EXPECT_EQ(0, std::memcmp(f + 8, "WAVEfmt ", 8));
        EXPECT_EQ(readU32(f + 16), 16u);
        EXPECT_EQ(readU16(f + 20), 1) << "PCM";
        EXPECT_EQ(readU16(f + 22), 1) << "mono";
        EXPECT_EQ(readU32(f + 24), 11025u);
        EXPECT_EQ(readU32(f + 28), 11025u);
        EXPECT_EQ(readU16(f + 32), 1);
        EXPECT_EQ(readU16(f + 34), 8);
        EXPECT_EQ(0, std::memcmp(f + 36, "data", 4));
        EXPECT_EQ(readU32(f + 40), expected[s].dataSize);
        if (expected[s].dataSize & 1) {
            EXPECT_EQ(f[44 + expected[s].dataSize], 0x80) << "pad byte after the odd data chunk";
        }
    }
}

TEST(SoundImages, LoudSustainedPartThenFadeToNearSilence)
{
    for (int s = 0; s < kSoundCount; ++s) {
        SCOPED_TRACE("WAVDAT" + std::to_string(s));
        const std::vector<uint8_t> x = synthesizeSound(s);
        const SoundShape shape = soundShape(s);
        ASSERT_EQ(x.size(), shape.sampleCount);
        const size_t tenth = x.size() / 10;
        const double first = rms(x.data(), tenth);
        const double last = rms(x.data() + x.size() - tenth, tenth);
        EXPECT_GT(first, 25.0) << "first tenth";
        EXPECT_LT(last, 3.0) << "last tenth";
        // The sustained part, after the rise: every 0.1 s stays loud.
        const size_t from = size_t((shape.attackSeconds + 0.05) * kSoundRate);
        const size_t to = size_t((shape.sustainSeconds - 0.05) * kSoundRate);
        const size_t window = kSoundRate / 10;
        for (size_t at = from; at + window <= to; at += window)
            EXPECT_GT(rms(x.data() + at, window), 30.0) << "sustain at " << at / double(kSoundRate) << " s";
        EXPECT_GE(*std::max_element(x.begin(), x.end()), 250) << "uses the full 8-bit range";
        // No click: silence at both ends, and only a gentle step next to them.
        EXPECT_EQ(x.front(), 128);
        EXPECT_EQ(x.back(), 128);
        for (int i = 1; i < 8; ++i) {
            EXPECT_LE(std::abs(x[i] - x[i - 1]), 12) << "at the start, sample " << i;
            EXPECT_LE(std::abs(x[x.size() - i] - 128), 1) << "at the end, sample " << x.size() - i;
        }
    }
    // The engine roar reaches full scale and holds it for about 1.75 s.
    const std::vector<uint8_t> roar = synthesizeSound(0);
    int extremes = 0;
    for (size_t i = 0; i < roar.size(); ++i)
        if (roar[i] <= 8 || roar[i] >= 248) {
            ++extremes;
            EXPECT_LT(i / double(kSoundRate), 1.9) << "full scale only in the loud part";
        }
    EXPECT_GT(extremes, 20);
}

TEST(GeneratedFiles, TwoRunsWriteTheSameBytes)
{
    const std::vector<GeneratedFile> a = generateResourceFiles();
    const std::vector<GeneratedFile> b = generateResourceFiles();
    ASSERT_EQ(a.size(), 29u);
    ASSERT_EQ(a.size(), b.size());
    std::set<std::string> names;
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_TRUE(a[i].bytes == b[i].bytes) << a[i].name << " differs between runs";
        names.insert(a[i].name);
    }
    for (int p = 0; p < kPatternCount; ++p)
        EXPECT_TRUE(names.count("SPPAT_R" + std::to_string(p) + ".bmp")) << p;
    for (int s = 0; s < kSoundCount; ++s)
        EXPECT_TRUE(names.count("WAVDAT" + std::to_string(s) + ".wav")) << s;
    EXPECT_TRUE(names.count("vasken32.ico"));
}

namespace {

uint32_t readU32BigEndian(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

uint32_t bitwiseCrc(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// Deflate's bits, least significant first; false once the data runs out.
struct BitReader {
    const Bytes& data;
    size_t at;
    int bit = 0;

    bool get(int count, uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < count; ++i, bit = (bit + 1) % 8, at += bit == 0) {
            if (at >= data.size())
                return false;
            value |= uint32_t(data[at] >> bit & 1) << i;
        }
        return true;
    }
};

// A literal/length symbol of deflate's fixed code, read most significant
// bit first; -1 for no symbol.
int readFixedSymbol(BitReader& in)
{
    uint32_t code = 0, bit = 0;
    for (int length = 1; length <= 9 && in.get(1, bit); ++length) {
        code = code << 1 | bit;
        if (length == 7 && code <= 23)
            return int(256 + code);
        if (length == 8 && code >= 0x30 && code <= 0xBF)
            return int(code - 0x30);
        if (length == 8 && code >= 0xC0 && code <= 0xC7)
            return int(280 + code - 0xC0);
        if (length == 9 && code >= 0x190)
            return int(144 + code - 0x190);
    }
    return -1;
}

// Inflates one final block of the fixed codes from zlib[at], the way
// RFC 1951 derives the codes' bases from their extra bits; leaves at after it.
bool inflateFixedBlock(const Bytes& zlib, size_t& at, Bytes& raw)
{
    int lengthBase[29], lengthExtra[29], distanceBase[30], distanceExtra[30];
    for (int i = 0, base = 3; i < 29; base += 1 << lengthExtra[i], ++i) {
        lengthExtra[i] = i < 8 || i == 28 ? 0 : (i - 4) / 4;
        lengthBase[i] = i == 28 ? 258 : base;
    }
    for (int i = 0, base = 1; i < 30; base += 1 << distanceExtra[i], ++i) {
        distanceExtra[i] = i < 4 ? 0 : (i - 2) / 2;
        distanceBase[i] = base;
    }
    BitReader in{zlib, at};
    uint32_t last = 0, type = 0;
    if (!in.get(1, last) || !in.get(2, type) || last != 1 || type != 1)
        return false;
    for (;;) {
        const int symbol = readFixedSymbol(in);
        if (symbol < 0 || symbol > 285)
            return false;
        if (symbol < 256) {
            raw.push_back(uint8_t(symbol));
            continue;
        }
        if (symbol == 256)
            break;
        uint32_t extra = 0, code = 0, reversed = 0, distanceBits = 0;
        if (!in.get(lengthExtra[symbol - 257], extra) || !in.get(5, reversed))
            return false;
        for (int i = 0; i < 5; ++i)
            code |= (reversed >> i & 1) << (4 - i);
        if (code > 29 || !in.get(distanceExtra[code], distanceBits))
            return false;
        const size_t length = lengthBase[symbol - 257] + extra, distance = distanceBase[code] + distanceBits;
        if (distance > raw.size() || distance > 32768)
            return false;
        for (size_t k = 0; k < length; ++k)
            raw.push_back(raw[raw.size() - distance]);
    }
    at = in.at + (in.bit > 0);
    return true;
}

} // namespace

TEST(PngFile, HoldsTheRowsInADeflateBlockWithBackReferencesAndValidChecksums)
{
    // Rows of noise, of zeros (runs), a repeat of the first row from far
    // back in the window, and noise again.
    const int width = 3000, height = 4, channels = 4;
    const size_t rowBytes = size_t(width) * channels;
    std::vector<uint8_t> rgba(rowBytes * height, 0);
    uint32_t noise = 12345;
    for (int y : {0, 3})
        for (size_t i = 0; i < rowBytes; ++i) {
            noise = noise * 1103515245 + 12345;
            rgba[y * rowBytes + i] = uint8_t(noise >> 16);
        }
    std::copy(rgba.begin(), rgba.begin() + rowBytes, rgba.begin() + 2 * rowBytes);
    const Bytes png = makePngFile(width, height, rgba, channels);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u);
    ASSERT_EQ(0, std::memcmp(png.data(), signature, 8));

    std::vector<std::string> types;
    Bytes zlib;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = readU32BigEndian(&png[at]);
        ASSERT_LE(at + 12 + length, png.size());
        const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
        EXPECT_EQ(readU32BigEndian(&png[at + 8 + length]), bitwiseCrc(&png[at + 4], length + 4)) << type;
        if (type == "IHDR") {
            EXPECT_EQ(readU32BigEndian(&png[at + 8]), uint32_t(width));
            EXPECT_EQ(readU32BigEndian(&png[at + 12]), uint32_t(height));
            EXPECT_EQ(png[at + 16], 8);
            EXPECT_EQ(png[at + 17], 6) << "truecolour with alpha";
        }
        if (type == "IDAT")
            zlib.insert(zlib.end(), &png[at + 8], &png[at + 8 + length]);
        types.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    ASSERT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

    ASSERT_GE(zlib.size(), 6u);
    EXPECT_EQ((zlib[0] << 8 | zlib[1]) % 31, 0) << "zlib header check bits";
    Bytes raw;
    size_t p = 2;
    ASSERT_TRUE(inflateFixedBlock(zlib, p, raw));
    ASSERT_EQ(p + 4, zlib.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(readU32BigEndian(&zlib[p]), b << 16 | a) << "Adler-32";
    ASSERT_EQ(raw.size(), height * (1 + rowBytes));
    for (int y = 0; y < height; ++y) {
        EXPECT_EQ(raw[y * (1 + rowBytes)], 0) << "filter type of row " << y;
        EXPECT_EQ(0, std::memcmp(&raw[y * (1 + rowBytes) + 1], &rgba[y * rowBytes], rowBytes)) << "row " << y;
    }
    EXPECT_LT(zlib.size(), raw.size() * 6 / 10) << "the zeros and the repeated row as back references";
}
