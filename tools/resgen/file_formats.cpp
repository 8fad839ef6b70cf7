// Writers for the few binary formats the generator emits.
#include "tools/resgen/file_formats.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void putU16(Bytes& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void putU32(Bytes& out, uint32_t v)
{
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

void putU32BigEndian(Bytes& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void putTag(Bytes& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(tag[i]));
}

void putInfoHeader(Bytes& out, int width, int height, int bitCount, uint32_t imageSize, uint32_t coloursUsed)
{
    putU32(out, 40);
    putU32(out, uint32_t(width));
    putU32(out, uint32_t(height));
    putU16(out, 1);
    putU16(out, uint32_t(bitCount));
    putU32(out, 0); // BI_RGB
    putU32(out, imageSize);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, coloursUsed);
    putU32(out, 0);
}

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putPngChunk(Bytes& out, const char* type, const Bytes& data)
{
    putU32BigEndian(out, uint32_t(data.size()));
    const size_t start = out.size();
    putTag(out, type);
    out.insert(out.end(), data.begin(), data.end());
    putU32BigEndian(out, crc32(out.data() + start, out.size() - start));
}

// Deflate's bits go out from the least significant end of each byte;
// Huffman codes start with their most significant bit.
class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}

    void put(uint32_t bits, int count)
    {
        pending_ |= bits << held_;
        for (held_ += count; held_ >= 8; held_ -= 8, pending_ >>= 8)
            out_.push_back(uint8_t(pending_));
    }

    void putCode(uint32_t code, int length)
    {
        uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= (code >> i & 1) << (length - 1 - i);
        put(reversed, length);
    }

    void finish()
    {
        if (held_ > 0)
            out_.push_back(uint8_t(pending_));
        pending_ = 0;
        held_ = 0;
    }

private:
    Bytes& out_;
    uint32_t pending_ = 0;
    int held_ = 0;
};

// The fixed Huffman code of a literal/length symbol (0 ... 287).
void putFixedSymbol(BitWriter& bits, int symbol)
{
    if (symbol < 144)
        bits.putCode(0x30 + symbol, 8);
    else if (symbol < 256)
        bits.putCode(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        bits.putCode(symbol - 256, 7);
    else
        bits.putCode(0xC0 + symbol - 280, 8);
}

void putMatch(BitWriter& bits, int length, int distance)
{
    static const uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t distanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                              193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                              6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    int l = 28;
    while (lengthBase[l] > length)
        --l;
    putFixedSymbol(bits, 257 + l);
    bits.put(uint32_t(length - lengthBase[l]), lengthExtra[l]);
    int d = 29;
    while (distanceBase[d] > distance)
        --d;
    bits.putCode(uint32_t(d), 5);
    bits.put(uint32_t(distance - distanceBase[d]), distanceExtra[d]);
}

// One deflate block with the fixed codes, each byte either a literal or the
// start of the longest earlier match found along a short hash chain: an
// icon's flat sky and see-through corners shrink to a few per cent, without
// the tables a block of its own codes would need.
void putFixedBlock(BitWriter& bits, const Bytes& data)
{
    constexpr int kWindow = 32768, kMaxMatch = 258, kChain = 64, kHashBits = 15;
    const size_t size = data.size();
    std::vector<int32_t> head(size_t(1) << kHashBits, -1), previous(size, -1);
    const auto hashAt = [&](size_t i) {
        return (uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2]) * 2654435761u >> (32 - kHashBits);
    };
    const auto remember = [&](size_t i) {
        if (i + 2 < size) {
            const uint32_t h = hashAt(i);
            previous[i] = head[h];
            head[h] = int32_t(i);
        }
    };
    bits.put(1, 1); // the last block
    bits.put(1, 2); // fixed codes
    for (size_t i = 0; i < size;) {
        int best = 0, distance = 0;
        const int longest = int(std::min<size_t>(kMaxMatch, size - i));
        int32_t candidate = i + 2 < size ? head[hashAt(i)] : -1;
        for (int n = 0; candidate >= 0 && i - candidate <= kWindow && n < kChain && best < longest;
             ++n, candidate = previous[candidate]) {
            int length = 0;
            while (length < longest && data[candidate + length] == data[i + length])
                ++length;
            if (length > best) {
                best = length;
                distance = int(i - candidate);
            }
        }
        if (best >= 3) {
            putMatch(bits, best, distance);
            for (int k = 0; k < best; ++k)
                remember(i + k);
            i += best;
        } else {
            putFixedSymbol(bits, data[i]);
            remember(i);
            ++i;
        }
    }
    putFixedSymbol(bits, 256); // end of block
    bits.finish();
}

} // namespace

Bytes makeBitmapFile(const IndexedImage& image, const std::array<RgbEntry, 256>& colours)
{
    const uint32_t stride = (uint32_t(image.width) + 3) & ~3u;
    const uint32_t imageSize = stride * uint32_t(image.height);
    const uint32_t offBits = 14 + 40 + 1024;
    Bytes out;
    out.reserve(offBits + imageSize);
    out.push_back('B');
    out.push_back('M');
    putU32(out, offBits + imageSize);
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, offBits);
    putInfoHeader(out, image.width, image.height, 8, imageSize, 256);
    for (const RgbEntry& c : colours) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = image.pixels.data() + size_t(y) * image.width;
        out.insert(out.end(), row, row + image.width);
        out.insert(out.end(), stride - uint32_t(image.width), uint8_t(0));
    }
    return out;
}

Bytes makeIconFile(const std::vector<uint8_t>& indices, const std::vector<bool>& transparent,
                   const std::array<RgbEntry, 16>& colours)
{
    const int side = 32;
    const uint32_t xorSize = side * side / 2;
    const uint32_t andSize = side * 4; // 32 bits a row, already a multiple of 4 bytes
    const uint32_t imageSize = 40 + 16 * 4 + xorSize + andSize;
    Bytes out;
    // Icon directory with one entry.
    putU16(out, 0);
    putU16(out, 1);
    putU16(out, 1);
    out.push_back(side);
    out.push_back(side);
    out.push_back(16);
    out.push_back(0);
    putU16(out, 1);
    putU16(out, 4);
    putU32(out, imageSize);
    putU32(out, 6 + 16);
    // The image: the info header counts the colour picture and the mask, one
    // above the other, hence the doubled height.
    putInfoHeader(out, side, side * 2, 4, xorSize + andSize, 0);
    for (const RgbEntry& c : colours) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        out.push_back(0);
    }
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; x += 2) {
            const size_t at = size_t(y) * side + x;
            // A see-through pixel must be black in the picture, so that the
            // mask's AND followed by the picture's XOR leaves the desktop.
            uint8_t a = transparent[at] ? 0 : indices[at];
            uint8_t b = transparent[at + 1] ? 0 : indices[at + 1];
            out.push_back(uint8_t(a << 4 | b));
        }
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; x += 8) {
            uint8_t bits = 0;
            for (int k = 0; k < 8; ++k)
                if (transparent[size_t(y) * side + x + k])
                    bits |= uint8_t(0x80 >> k);
            out.push_back(bits);
        }
    return out;
}

Bytes makeWaveFile(const std::vector<uint8_t>& samples, uint32_t samplesPerSecond)
{
    const uint32_t dataSize = uint32_t(samples.size());
    const uint32_t pad = dataSize & 1;
    Bytes out;
    putTag(out, "RIFF");
    putU32(out, 4 + 8 + 16 + 8 + dataSize + pad);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putU32(out, 16);
    putU16(out, 1); // PCM
    putU16(out, 1); // mono
    putU32(out, samplesPerSecond);
    putU32(out, samplesPerSecond); // one byte a sample
    putU16(out, 1);
    putU16(out, 8);
    putTag(out, "data");
    putU32(out, dataSize);
    out.insert(out.end(), samples.begin(), samples.end());
    // The pad byte is not part of the sound; a careless player that plays it
    // anyway hears the silent level 128 rather than a click.
    if (pad)
        out.push_back(0x80);
    return out;
}

Bytes makePngFile(int width, int height, const std::vector<uint8_t>& pixels, int channels)
{
    Bytes header;
    putU32BigEndian(header, uint32_t(width));
    putU32BigEndian(header, uint32_t(height));
    header.push_back(8);                      // bit depth
    header.push_back(channels == 4 ? 6 : 2); // truecolour, with alpha or without
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);

    // Filtered scanlines: filter type 0 before every row.
    Bytes raw;
    const size_t rowBytes = size_t(width) * channels;
    raw.reserve((rowBytes + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + y * rowBytes, pixels.begin() + (y + 1) * rowBytes);
    }
    Bytes zlib = {0x78, 0x01};
    uint32_t adlerA = 1, adlerB = 0;
    for (uint8_t v : raw) {
        adlerA = (adlerA + v) % 65521;
        adlerB = (adlerB + adlerA) % 65521;
    }
    BitWriter bits(zlib);
    putFixedBlock(bits, raw);
    putU32BigEndian(zlib, adlerB << 16 | adlerA);

    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putPngChunk(out, "IHDR", header);
    putPngChunk(out, "IDAT", zlib);
    putPngChunk(out, "IEND", {});
    return out;
}

bool writeFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
