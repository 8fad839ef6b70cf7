// The identity palette on a palette display (an 8-bit X server): the static
// colours come from the system palette, the pattern image's colours are
// realized into entries 10-245 one to one, and presented indices show those
// colours without translation. scripts/test runs this suite alone on its own
// 640x480x8 display; elsewhere it skips.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "render/sprite_renderer.h"
#include "tests/core/packed_dib_builder.h"
#include "tests/platforms/win32/render_window.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool onPaletteDisplay()
{
    HDC screen = GetDC(nullptr);
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette;
}

// Colours that no static colour has: k -> (k, 255 - k, (k * 37) & 0xFF),
// index 10 black for transparency.
DibBuilder paletteImage()
{
    DibBuilder image(32, 16);
    for (int k = 0; k < 256; ++k)
        image.colour(k, static_cast<uint8_t>(k), static_cast<uint8_t>(255 - k), static_cast<uint8_t>((k * 37) & 0xFF));
    image.colour(10, 0, 0, 0);
    image.paint([](int32_t x, int32_t y) { return x == 0 ? 10 : 11 + x + 31 * y % 200; });
    return image;
}

COLORREF tableColour(const Bytes& packed, int index)
{
    return RGB(packed[40 + 4 * index + 2], packed[40 + 4 * index + 1], packed[40 + 4 * index]);
}

} // namespace

TEST(Palette8Display, StaticColoursComeFromTheSystemPalette)
{
    if (!onPaletteDisplay())
        GTEST_SKIP() << "needs an 8-bit display";
    RenderWindow window(64, 48);
    PatternFiles files({paletteImage().file()});
    SpriteRenderer renderer;
    renderer.initialize(window.handle, 0, 0, 1, 64, 48);
    PALETTEENTRY system[256] = {};
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetSystemPaletteEntries(screen, 0, 256, system), 256u);
    ReleaseDC(nullptr, screen);
    const RgbQuad* table =
        reinterpret_cast<const RgbQuad*>(reinterpret_cast<const uint8_t*>(renderer.back().header) + 40);
    for (int k : {0, 1, 7, 8, 9, 246, 247, 248, 255}) {
        EXPECT_EQ(RGB(table[k].rgbRed, table[k].rgbGreen, table[k].rgbBlue),
                  RGB(system[k].peRed, system[k].peGreen, system[k].peBlue))
            << "entry " << k;
    }
    EXPECT_EQ(RGB(system[255].peRed, system[255].peGreen, system[255].peBlue), RGB(255, 255, 255))
        << "the last static colour is white";
}

TEST(Palette8Display, IdentityPaletteIsRealizedOneToOne)
{
    if (!onPaletteDisplay())
        GTEST_SKIP() << "needs an 8-bit display";
    RenderWindow window(64, 48);
    const Bytes packed = paletteImage().packed();
    PatternFiles files({paletteImage().file()});
    SpriteRenderer renderer;
    renderer.initialize(window.handle, 0, 0, 1, 64, 48);
    PALETTEENTRY system[256] = {};
    HDC screen = GetDC(nullptr);
    GetSystemPaletteEntries(screen, 0, 256, system);
    ReleaseDC(nullptr, screen);
    int mismatches = 0;
    for (int k = 11; k < 246; ++k) {
        if (RGB(system[k].peRed, system[k].peGreen, system[k].peBlue) != tableColour(packed, k) && ++mismatches < 5)
            ADD_FAILURE() << "system entry " << k << ": expected " << std::hex << tableColour(packed, k) << ", got "
                          << RGB(system[k].peRed, system[k].peGreen, system[k].peBlue);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Palette8Display, PresentedIndicesShowTheirPaletteColours)
{
    if (!onPaletteDisplay())
        GTEST_SKIP() << "needs an 8-bit display";
    const DibBuilder image = paletteImage();
    const Bytes packed = image.packed();
    PatternFiles files({image.file()});
    RenderWindow window(160, 120);
    SpriteRenderer renderer;
    renderer.initialize(window.handle, 1, 1, 1, 160, 120);
    renderer.setFrameEntry(0, 0, 16, 8);
    renderer.setSpriteSize(0, 32, 16);
    renderer.setSpriteFrame(0, 0);
    renderer.setSpriteVisible(0, true);
    renderer.setSpritePosition(0, 50, 40); // rectangle 34..65 x 32..47
    renderer.fillSquare(window.handle, 100, 80, 1, 4);
    renderer.renderPass(window.handle);
    // Wine keeps a window's pixels in its own 8-bit surface, whose colours are
    // close to, not equal to, the realized palette: each pixel must show what
    // the device makes of its index's colour.
    for (int32_t y = 32; y < 48; y += 3) {
        for (int32_t x = 35; x < 66; x += 5) {
            const uint8_t index = image.at(x - 34, y - 32);
            EXPECT_EQ(GetPixel(window.dc(), x, y), GetNearestColor(window.dc(), tableColour(packed, index)))
                << "(" << x << ", " << y << ") index " << int(index);
        }
    }
    EXPECT_EQ(GetPixel(window.dc(), 34, 40), RGB(0, 0, 0)) << "transparent column";
    EXPECT_EQ(GetPixel(window.dc(), 101, 81), RGB(255, 255, 255)) << "white square";
}
