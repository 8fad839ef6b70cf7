// The renderer through real GDI on a true-colour display: the bitmap file
// calls, the DIB section and its colour table, presents and squares, checked
// by reading the window's pixels back. The palette display has its own suite
// (Palette8Display), run on an 8-bit X server.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "render/bitmap_source.h"
#include "render/packed_dib.h"
#include "render/sprite_renderer.h"
#include "tests/core/packed_dib_builder.h"
#include "tests/platforms/win32/render_window.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The first pattern image: distinct colours, two 20 x 10 frames one above the
// other (index 60 + column, and index 90), transparent edges.
DibBuilder framesImage()
{
    DibBuilder image(20, 20);
    image.distinctColours().colour(10, 0, 0, 0).colour(33, 255, 0, 0);
    image.paint([](int32_t x, int32_t y) {
        if (x == 0 || x == 19)
            return 10;
        return y < 10 ? 60 + x : 90;
    });
    return image;
}

COLORREF colourOf(const Bytes& packed, uint8_t index)
{
    const uint8_t* entry = &packed[40 + 4 * index];
    return RGB(entry[2], entry[1], entry[0]);
}

} // namespace

TEST(RenderFiles, PlatformFileCallsReadTheImageAndZeroWhatIsMissing)
{
    const DibBuilder image = framesImage();
    const Bytes full = image.file(9);
    Bytes truncated = full;
    truncated.resize(full.size() - 150);
    writeTestFile("render_files_full.bmp", full);
    writeTestFile("render_files_truncated.bmp", truncated);
    writeTestFile("render_files_text", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'i', 't', 'm', 'a', 'p', '!', '!', '!'});
    const Bytes rows = image.rows();
    for (const char* name : {"render_files_full.bmp", "render_files_truncated.bmp"}) {
        SCOPED_TRACE(name);
        uint32_t size = 0;
        int32_t fromResource = -1;
        const PackedDib* dib = loadPackedDib(name, &size, &fromResource);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(fromResource, 0);
        EXPECT_EQ(size, 1064u + rows.size());
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(dib);
        const size_t present = std::string(name).find("truncated") != std::string::npos ? rows.size() - 150 : rows.size();
        EXPECT_EQ(Bytes(bytes + 1064, bytes + 1064 + present), Bytes(rows.begin(), rows.begin() + present));
        EXPECT_EQ(Bytes(bytes + 1064 + present, bytes + size), Bytes(rows.size() - present, 0));
        freeDibMemory(const_cast<uint8_t*>(bytes));
    }
    uint32_t size = 0;
    int32_t fromResource = -1;
    EXPECT_EQ(loadPackedDib("render_files_text", &size, &fromResource), nullptr);
    EXPECT_EQ(loadPackedDib("render_files_no_such_name", &size, &fromResource), nullptr);
    DeleteFileA("render_files_full.bmp");
    DeleteFileA("render_files_truncated.bmp");
    DeleteFileA("render_files_text");
}

// Needs a bitmap resource built into the test program; skips until there is one.
TEST(RenderFiles, ResourceDataIsReturnedAsItStandsUnlessAFileHidesIt)
{
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(module, "SPPAT_R0", RT_BITMAP);
    if (resource == nullptr)
        GTEST_SKIP() << "no SPPAT_R0 bitmap resource in this build";
    const void* data = LockResource(LoadResource(module, resource));
    DeleteFileA("SPPAT_R0");
    uint32_t size = 0;
    int32_t fromResource = 0;
    EXPECT_EQ(loadPackedDib("SPPAT_R0", &size, &fromResource), data);
    EXPECT_EQ(fromResource, 1);
    EXPECT_EQ(size, SizeofResource(module, resource));
    writeTestFile("SPPAT_R0", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'i', 't', 'm', 'a', 'p', '!', '!', '!'});
    EXPECT_EQ(loadPackedDib("SPPAT_R0", &size, &fromResource), nullptr) << "the file hides the resource";
    DeleteFileA("SPPAT_R0");
}

TEST(RenderDisplay, PresentsShowTheCompositeAndSquaresTheBrushColours)
{
    RenderWindow window(160, 120);
    const DibBuilder image = framesImage();
    const Bytes packed = image.packed();
    PatternFiles files({image.file(), DibBuilder(8, 8).fill(10).file()});

    SpriteRenderer renderer;
    renderer.initialize(window.handle, 2, 2, 2, 160, 120);
    ASSERT_NE(renderer.pattern(0)->header, nullptr) << "SPPAT_R0 from the working directory";
    ASSERT_NE(renderer.back().bits, nullptr) << "the DIB section";
    EXPECT_EQ(*renderer.back().pixelAddress(80, 60), 0) << "back buffer cleared to black";

    renderer.fillSquare(window.handle, 100, 70, 3, 6); // brush 3: red
    EXPECT_EQ(GetPixel(window.dc(), 102, 72), RGB(255, 0, 0)) << "square on the window";
    EXPECT_EQ(*renderer.back().pixelAddress(102, 72), 33) << "square in the back buffer: the palette's red";
    EXPECT_EQ(GetPixel(window.dc(), 106, 72), RGB(0, 0, 0)) << "right edge excluded";

    renderer.setFrameEntry(0, 0, 10, 5);
    renderer.setFrameEntry(1, 0, 10, 15);
    for (int i = 0; i < 2; ++i) {
        renderer.setSpriteSize(i, 20, 10);
        renderer.setSpriteFrame(i, i);
        renderer.setSpriteVisible(i, true);
    }
    renderer.setSpritePosition(0, 30, 30);  // rectangle 20..39 x 25..34
    renderer.setSpritePosition(1, 100, 70); // over the square
    renderer.renderPass(window.handle);

    EXPECT_EQ(GetPixel(window.dc(), 25, 28), colourOf(packed, 60 + 5)) << "frame 0, column 5";
    EXPECT_EQ(GetPixel(window.dc(), 38, 34), colourOf(packed, 60 + 18)) << "frame 0, column 18";
    EXPECT_EQ(GetPixel(window.dc(), 20, 28), RGB(0, 0, 0)) << "transparent column shows the background";
    EXPECT_EQ(GetPixel(window.dc(), 102, 72), colourOf(packed, 90)) << "frame 1 over the square";
    EXPECT_EQ(GetPixel(window.dc(), 90, 66), RGB(0, 0, 0)) << "transparent column of frame 1";
    EXPECT_EQ(*renderer.back().pixelAddress(102, 72), 33) << "the square is back in the back buffer";

    renderer.setSpriteVisible(1, false);
    renderer.renderPass(window.handle);
    EXPECT_EQ(GetPixel(window.dc(), 102, 72), RGB(255, 0, 0)) << "hiding the sprite uncovers the square";
    EXPECT_EQ(GetPixel(window.dc(), 25, 28), colourOf(packed, 65)) << "the other sprite stays";
}

TEST(RenderDisplay, StaticColoursAreWhatTheDisplayReports)
{
    RenderWindow window(64, 48);
    PALETTEENTRY system[256] = {};
    HDC screen = GetDC(nullptr);
    GetSystemPaletteEntries(screen, 0, 10, system);
    GetSystemPaletteEntries(screen, 246, 10, system + 246);
    ReleaseDC(nullptr, screen);
    PatternFiles files({framesImage().file()});
    SpriteRenderer renderer;
    renderer.initialize(window.handle, 0, 0, 1, 64, 48);
    const RgbQuad* table =
        reinterpret_cast<const RgbQuad*>(reinterpret_cast<const uint8_t*>(renderer.back().header) + 40);
    for (int k = 0; k < 256; ++k) {
        if (k >= 10 && k < 246)
            continue;
        EXPECT_EQ(RGB(table[k].rgbRed, table[k].rgbGreen, table[k].rgbBlue),
                  RGB(system[k].peRed, system[k].peGreen, system[k].peBlue))
            << "entry " << k;
    }
    EXPECT_EQ(table[33].rgbRed, 255) << "image colours at 10 ... 245";
    EXPECT_EQ(table[33].rgbGreen, 0);
}
