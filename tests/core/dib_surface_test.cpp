// Surfaces: pixel addressing, which images a surface takes, the three clipped
// copies and the identity palette.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "render/bitmap_source.h"
#include "render/dib_surface.h"
#include "platforms/stub/stub.h"
#include "tests/core/packed_dib_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Surfaces : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearStubBitmapResources();
        setStubSystemColours(nullptr);
        blocksBefore = liveDibMemoryBlocks();
    }
    void TearDown() override
    {
        setStubSystemColours(nullptr);
        EXPECT_EQ(liveDibMemoryBlocks(), blocksBefore) << "image blocks leaked";
    }
    // Lets surface take bytes as the resource called name.
    static void hold(DibSurface& surface, const char* name, const Bytes& bytes)
    {
        addStubBitmapResource(name, bytes.data(), static_cast<uint32_t>(bytes.size()));
        surface.loadNamed(name);
    }
    // A blank surface with every pixel set to f(x, y).
    static void blank(DibSurface& surface, int32_t width, int32_t height, int32_t (*f)(int32_t, int32_t))
    {
        ASSERT_NE(surface.createBlank(width, height), nullptr);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                *surface.pixelAddress(x, y) = static_cast<uint8_t>(f(x, y));
    }
    int32_t blocksBefore = 0;
};

int32_t pattern(int32_t x, int32_t y) { return (x + 7 * y) % 251; }
int32_t sentinel(int32_t, int32_t) { return 0xEE; }

} // namespace

TEST_F(Surfaces, PixelAddressCountsRowsFromTheTopOfABottomUpImage)
{
    DibSurface surface;
    EXPECT_EQ(surface.pixelAddress(0, 0), nullptr) << "no image";
    ASSERT_NE(surface.createBlank(10, 5), nullptr);
    struct Case {
        int32_t x, y;
        ptrdiff_t offset; // -1: null
    } const cases[] = {
        {0, 0, 48}, {0, 4, 0}, {9, 0, 57}, {3, 2, 27}, {10, 0, -1}, {-1, 0, -1}, {0, 5, -1}, {0, -1, -1},
    };
    for (const Case& c : cases) {
        uint8_t* address = surface.pixelAddress(c.x, c.y);
        if (c.offset < 0)
            EXPECT_EQ(address, nullptr) << "(" << c.x << ", " << c.y << ")";
        else
            EXPECT_EQ(address, surface.bits + c.offset) << "(" << c.x << ", " << c.y << ")";
    }
}

TEST_F(Surfaces, TakesOnlyUncompressedBottomUp8BitImagesWithTheFullTable)
{
    const Bytes good = DibBuilder(9, 4).distinctColours().fill(3).packed();
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        int bytes;
        size_t length; // 0: as built
        bool taken;
    } const cases[] = {
        {"as built", 0, 40, 4, 0, true},
        {"biClrUsed 256", 32, 256, 4, 0, true},
        {"biClrUsed 16: rows would not be at 1064", 32, 16, 4, 0, false},
        {"4 bits per pixel", 14, 4, 2, 0, false},
        {"24 bits per pixel", 14, 24, 2, 0, false},
        {"run-length compressed", 16, 1, 4, 0, false},
        {"top-down", 8, static_cast<uint32_t>(-4), 4, 0, false},
        {"height 0", 8, 0, 4, 0, false},
        {"width 16385", 4, 16385, 4, 0, false},
        {"108-byte header", 0, 108, 4, 0, false},
        {"block one byte short of the rows", 0, 40, 4, 1064 + 48 - 1, false},
        {"block shorter than the header", 0, 40, 4, 20, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = good;
        if (c.bytes == 2)
            DibBuilder::put16(bytes, c.offset, static_cast<uint16_t>(c.value));
        else
            DibBuilder::put32(bytes, c.offset, c.value);
        if (c.length != 0)
            bytes.resize(c.length);
        EXPECT_EQ(isSurfaceImage(reinterpret_cast<const PackedDib*>(bytes.data()), static_cast<uint32_t>(bytes.size())),
                  c.taken);
        DibSurface surface;
        const std::string name = "surface_case_" + std::to_string(n++);
        hold(surface, name.c_str(), bytes);
        uint32_t size = 0;
        const uint8_t* resource = findBitmapResource(name.c_str(), &size);
        if (c.taken) {
            EXPECT_EQ(reinterpret_cast<const uint8_t*>(surface.header), resource) << "resource taken as it stands";
            EXPECT_EQ(surface.bits, resource + 1064);
            EXPECT_EQ(surface.info, surface.header);
            EXPECT_EQ(surface.width, 9);
            EXPECT_EQ(surface.height, 4);
        } else {
            EXPECT_EQ(surface.header, nullptr);
            EXPECT_EQ(surface.bits, nullptr);
            // A surface without an image draws nothing.
            DibSurface target;
            blank(target, 12, 12, sentinel);
            surface.drawTransparent(&target, 0, 0, 9, 4, 0, 0);
            EXPECT_EQ(*target.pixelAddress(0, 0), 0xEE);
        }
    }
}

TEST_F(Surfaces, FileImageTheSurfaceCannotHoldIsReleased)
{
    // Readable as a bitmap (16-colour table), but not the layout a surface needs.
    Bytes bytes = DibBuilder(4, 4).packed();
    DibBuilder::put32(bytes, 32, 16);
    bytes.erase(bytes.begin() + 40 + 64, bytes.begin() + 1064);
    const char* name = "dib_surface_test_sixteen_colours.bmp";
    FILE* out = std::fopen(name, "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    DibSurface surface;
    surface.loadNamed(name);
    std::remove(name);
    EXPECT_EQ(surface.header, nullptr);
    EXPECT_EQ(liveDibMemoryBlocks(), blocksBefore);
}

TEST_F(Surfaces, CopyFromAndCopyToClipToTheSourceAndLandAtTheOrigin)
{
    DibSurface source;
    blank(source, 100, 100, pattern);
    struct Case {
        int32_t x, y;
        int32_t firstColumn, columns, firstRow, rows; // of the source
    } const cases[] = {
        {-3, -2, 0, 7, 0, 8},  {95, 98, 95, 5, 98, 2}, {45, 45, 45, 10, 45, 10}, {90, 90, 90, 10, 90, 10},
        {100, 0, 0, 0, 0, 0},  {-10, 0, 0, 0, 0, 0},   {0, 100, 0, 0, 0, 0},     {0, -10, 0, 0, 0, 0},
        {-9, -9, 0, 1, 0, 1},  {99, 99, 99, 1, 99, 1}, {-2147483647, 0, 0, 0, 0, 0}, {2147483647, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "at (" << c.x << ", " << c.y << ")");
        DibSurface saved;
        blank(saved, 10, 10, sentinel);
        saved.copyFrom(&source, c.x, c.y);
        for (int32_t j = 0; j < 10; ++j) {
            for (int32_t k = 0; k < 10; ++k) {
                const int32_t expected =
                    j < c.rows && k < c.columns ? pattern(c.firstColumn + k, c.firstRow + j) : 0xEE;
                ASSERT_EQ(*saved.pixelAddress(k, j), expected) << "saved pixel (" << k << ", " << j << ")";
            }
        }
        DibSurface target;
        blank(target, 100, 100, sentinel);
        saved.copyTo(&target, c.x, c.y);
        for (int32_t y = 0; y < 100; ++y) {
            for (int32_t x = 0; x < 100; ++x) {
                const bool inside = x >= c.firstColumn && x < c.firstColumn + c.columns && y >= c.firstRow &&
                                    y < c.firstRow + c.rows;
                ASSERT_EQ(*target.pixelAddress(x, y), inside ? pattern(x, y) : 0xEE)
                    << "target pixel (" << x << ", " << y << ")";
            }
        }
    }
}

TEST_F(Surfaces, DrawTransparentLeavesOutIndex10AndMovesTheSourceWithTheClipping)
{
    DibSurface source;
    blank(source, 8, 6, [](int32_t x, int32_t y) { return x == 2 ? 10 : (y == 1 ? 0 : 20 + x + 10 * y); });
    DibSurface target;
    blank(target, 20, 20, sentinel);
    source.drawTransparent(&target, -3, 4, 8, 6, 0, 0);
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 20; ++x) {
            int32_t expected = 0xEE;
            const int32_t sx = x + 3;
            const int32_t sy = y - 4;
            if (sx < 8 && sy >= 0 && sy < 6 && sx != 2)
                expected = sy == 1 ? 0 : 20 + sx + 10 * sy;
            ASSERT_EQ(*target.pixelAddress(x, y), expected) << "(" << x << ", " << y << ")";
        }
    }
    DibSurface clear;
    blank(clear, 4, 4, [](int32_t, int32_t) { return 10; });
    const Bytes before(target.bits, target.bits + 20 * 20);
    clear.drawTransparent(&target, 0, 2, 4, 4, 0, 0);
    EXPECT_EQ(Bytes(target.bits, target.bits + 20 * 20), before) << "index 10 only: unchanged";
}

TEST_F(Surfaces, DrawTransparentNeverReadsOutsideTheSourceImage)
{
    DibSurface source;
    blank(source, 8, 6, [](int32_t x, int32_t y) { return 100 + x + 10 * y; });
    struct Case {
        int32_t x, y, width, height, sx, sy;
        int32_t firstColumn, columns, firstRow, rows; // drawn source part
    } const cases[] = {
        {5, 5, 16, 16, 4, 3, 4, 4, 3, 3},        // beyond the right and bottom edge
        {5, 5, 4, 4, -2, -1, 0, 2, 0, 3},        // before the left and top edge
        {0, 0, 30, 30, -10, -10, 0, 8, 0, 6},    // larger on every side
        {0, 0, 4, 4, 8, 0, 0, 0, 0, 0},          // entirely right of the image
        {0, 0, 4, 4, 0, -4, 0, 0, 0, 0},         // entirely above it
        {0, 0, 4, 4, 0, 2147483647, 0, 0, 0, 0}, // far away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "source rectangle (" << c.sx << ", " << c.sy << ", " << c.width << ", "
                                          << c.height << ")");
        DibSurface target;
        blank(target, 40, 40, sentinel);
        source.drawTransparent(&target, c.x, c.y, c.width, c.height, c.sx, c.sy);
        for (int32_t y = 0; y < 40; ++y) {
            for (int32_t x = 0; x < 40; ++x) {
                const int64_t sx = int64_t{c.sx} + (x - c.x);
                const int64_t sy = int64_t{c.sy} + (y - c.y);
                const bool drawn = sx >= c.firstColumn && sx < c.firstColumn + c.columns && sy >= c.firstRow &&
                                   sy < c.firstRow + c.rows && x >= c.x && y >= c.y;
                ASSERT_EQ(*target.pixelAddress(x, y), drawn ? 100 + sx + 10 * sy : int64_t{0xEE})
                    << "(" << x << ", " << y << ")";
            }
        }
    }
}

// Random rectangles, anywhere, against a plain per-pixel reference.
TEST_F(Surfaces, DrawTransparentMatchesAPerPixelReferenceForRandomRectangles)
{
    std::mt19937 random(20240607);
    for (int round = 0; round < 400; ++round) {
        const int32_t sw = 1 + random() % 30, sh = 1 + random() % 30;
        const int32_t tw = 1 + random() % 40, th = 1 + random() % 40;
        DibSurface source;
        ASSERT_NE(source.createBlank(sw, sh), nullptr);
        for (int32_t y = 0; y < sh; ++y)
            for (int32_t x = 0; x < sw; ++x)
                *source.pixelAddress(x, y) = static_cast<uint8_t>(random() % 4 == 0 ? 10 : random() % 256);
        DibSurface target;
        ASSERT_NE(target.createBlank(tw, th), nullptr);
        std::vector<uint8_t> reference(static_cast<size_t>(tw) * th);
        for (int32_t y = 0; y < th; ++y)
            for (int32_t x = 0; x < tw; ++x)
                reference[y * tw + x] = *target.pixelAddress(x, y) = static_cast<uint8_t>(random());
        auto coordinate = [&random]() { return static_cast<int32_t>(random() % 100) - 50; };
        const int32_t x = coordinate(), y = coordinate(), w = coordinate() + 20, h = coordinate() + 20;
        const int32_t sx = coordinate(), sy = coordinate();
        source.drawTransparent(&target, x, y, w, h, sx, sy);
        for (int32_t j = 0; j < h; ++j)
            for (int32_t k = 0; k < w; ++k) {
                const uint8_t* from = source.pixelAddress(sx + k, sy + j);
                if (x + k >= 0 && x + k < tw && y + j >= 0 && y + j < th && from != nullptr && *from != 10)
                    reference[(y + j) * tw + x + k] = *from;
            }
        for (int32_t ty = 0; ty < th; ++ty)
            for (int32_t tx = 0; tx < tw; ++tx)
                ASSERT_EQ(*target.pixelAddress(tx, ty), reference[ty * tw + tx])
                    << "round " << round << ", pixel (" << tx << ", " << ty << ")";
    }
}

TEST_F(Surfaces, IdentityPaletteMatchesTheColourTableEntryForEntry)
{
    DibSurface first;
    hold(first, "SPPAT_R0", DibBuilder(4, 4).distinctColours().packed());
    ASSERT_NE(first.header, nullptr);
    const RgbQuad* firstTable = reinterpret_cast<const RgbQuad*>(reinterpret_cast<const uint8_t*>(first.header) + 40);

    PaletteEntry system[256] = {};
    for (int i = 0; i < 256; ++i)
        system[i] = PaletteEntry{static_cast<uint8_t>(200 - i / 2), static_cast<uint8_t>(i), 77, 0};
    for (bool paletteDisplay : {true, false}) {
        SCOPED_TRACE(paletteDisplay ? "display with a system palette" : "display without one");
        setStubSystemColours(paletteDisplay ? system : nullptr);
        DibSurface back;
        back.adoptColours(first);
        back.buildPalette();
        ASSERT_NE(back.palette, nullptr);
        const PaletteEntry* entries = stubPaletteEntries(back.palette);
        const RgbQuad* table = reinterpret_cast<const RgbQuad*>(reinterpret_cast<const uint8_t*>(back.header) + 40);
        for (int k = 0; k < 256; ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(entries[k].peRed, table[k].rgbRed);
            EXPECT_EQ(entries[k].peGreen, table[k].rgbGreen);
            EXPECT_EQ(entries[k].peBlue, table[k].rgbBlue);
            const bool fromImage = k >= 10 && k < 246;
            EXPECT_EQ(entries[k].peFlags, fromImage ? paletteNoCollapse : 0);
            const uint8_t red = fromImage ? firstTable[k].rgbRed : (paletteDisplay ? system[k].peRed : 0);
            const uint8_t green = fromImage ? firstTable[k].rgbGreen : (paletteDisplay ? system[k].peGreen : 0);
            EXPECT_EQ(table[k].rgbRed, red);
            EXPECT_EQ(table[k].rgbGreen, green);
        }
    }
}
