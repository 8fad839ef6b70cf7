// The X11 program's back end below the program: the fixed-seed scene run
// through the X11 window (the checksum every build gives, and a window that
// shows the back buffer through the colour table), and every kind of
// TrueColor window and image format the window takes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platforms/alsa/sound_player_alsa.h"
#include "platforms/memory/display_memory.h"
#include "platforms/x11/display_x11.h"
#include "tests/platforms/alsa/alsa_recording.h"
#include "tests/platforms/x11/x11_test_support.h"
#include "tests/scene_scenario.h"

// Last: the Display's fields, and macros that would spoil the headers above.
#include <X11/Xlibint.h>
#undef min
#undef max

using namespace x11test;

namespace {

struct VisualCase {
    const char* name;
    const char* depth;  // the screen's
    bool alphaVisual;   // a window of the depth-32 visual with alpha
    int bitsPerPixel;   // of the client's image; 0: the server's
    int byteOrder;      // of the client's image; -1: the server's
};

const VisualCase visualCases[] = {
    {"Depth15", "15", false, 0, -1},
    {"Depth16", "16", false, 0, -1},
    {"Depth24", "24", false, 0, -1},
    {"Depth30", "30", false, 0, -1},
    {"Depth32WithAlpha", "24", true, 0, -1},
    {"Depth24At24Bits", "24", false, 24, -1},
    {"Depth16MsbFirst", "16", false, 0, MSBFirst},
    {"Depth24At24BitsMsbFirst", "24", false, 24, MSBFirst},
    {"Depth24At32BitsMsbFirst", "24", false, 0, MSBFirst},
};
void PrintTo(const VisualCase& c, std::ostream* out) { *out << c.name; }

// The pixel of an 8-bit colour under a visual's masks, worked out apart from
// the back end's own code: each channel the high bits of X's 16-bit value
// (v * 257), every other bit of the depth set (alpha: opaque).
unsigned long expectedPixel(const XVisualInfo& visual, const PaletteEntry& e)
{
    auto channel = [](uint8_t v, unsigned long mask) {
        return (static_cast<unsigned long>(v) * 257 >> (16 - __builtin_popcountl(mask))) << __builtin_ctzl(mask);
    };
    const unsigned long depthBits = visual.depth >= 32 ? 0xFFFFFFFFul : (1ul << visual.depth) - 1;
    const unsigned long colourBits = visual.red_mask | visual.green_mask | visual.blue_mask;
    return channel(e.peRed, visual.red_mask) | channel(e.peGreen, visual.green_mask) |
           channel(e.peBlue, visual.blue_mask) | (depthBits & ~colourBits);
}

} // namespace

// The back end on a window of the test's server. Whatever way the test ends,
// the back end and the sound player a scene starts are closed before the
// fixture closes the connection.
class X11Window : public X11Test {
protected:
    // An X error the back end causes ends the run, as Xlib's own handler
    // does; the fixture's would pass over it.
    X11Window() { XSetErrorHandler(nullptr); }
    void TearDown() override
    {
        closeSoundPlayer();
        closeX11Window();
    }
};
using SceneOnX11 = X11Window;

// A 16 x 16 image of all 256 palette indices, presented in two pieces into
// a window of each kind: every pixel read back must be its palette colour. Xlib converts
// an image whose format is not the server's when it sends it without
// MIT-SHM, by the image's own description; the formats Xvfb does not offer
// (24 bits per pixel, MSB first) come from letting the client believe in
// them while the back end makes its image.
class TrueColorWindow : public X11Window, public ::testing::WithParamInterface<VisualCase> {};
INSTANTIATE_TEST_SUITE_P(X11Window, TrueColorWindow, ::testing::ValuesIn(visualCases),
                         [](const ::testing::TestParamInfo<VisualCase>& c) { return c.param.name; });

TEST_P(TrueColorWindow, ShowsEachPaletteColour)
{
    const VisualCase& c = GetParam();
    const bool clientFormat = c.bitsPerPixel != 0 || c.byteOrder >= 0;
    ASSERT_NO_FATAL_FAILURE(startServer(std::string("64x64x") + c.depth,
                                        clientFormat ? std::vector<std::string>{"-extension", "MIT-SHM"}
                                                     : std::vector<std::string>{}));
    const int screen = DefaultScreen(display);
    XVisualInfo visual = {};
    if (c.alphaVisual) {
        ASSERT_TRUE(XMatchVisualInfo(display, screen, 32, TrueColor, &visual));
        XSetWindowAttributes attributes = {};
        attributes.colormap = XCreateColormap(display, RootWindow(display, screen), visual.visual, AllocNone);
        window = XCreateWindow(display, RootWindow(display, screen), 0, 0, 16, 16, 0, 32, InputOutput, visual.visual,
                               CWColormap | CWBorderPixel | CWBackPixel, &attributes);
        XMapWindow(display, window);
    } else {
        ASSERT_TRUE(XMatchVisualInfo(display, screen, DefaultDepth(display, screen), TrueColor, &visual));
        window = createWindow(display, 16, 16);
    }
    ScreenFormat* format = display->pixmap_format;
    while (format->depth != visual.depth)
        ++format;
    const int serverOrder = display->byte_order;
    const int serverBits = format->bits_per_pixel;
    if (c.byteOrder >= 0)
        display->byte_order = c.byteOrder;
    if (c.bitsPerPixel != 0)
        format->bits_per_pixel = c.bitsPerPixel;
    const char* error = "";
    const bool opened = openX11Window(display, window, 16, 16, 1, &error);
    display->byte_order = serverOrder;
    format->bits_per_pixel = serverBits;
    ASSERT_TRUE(opened) << error;

    PaletteEntry entries[256];
    uint8_t bits[16 * 16];
    for (int i = 0; i < 256; ++i) {
        entries[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                  static_cast<uint8_t>(i * 37 + 11), 0};
        bits[i] = static_cast<uint8_t>(i);
    }
    const BitmapInfoHeader info = {40, 16, 16, 1, 8, 0, 0, 0, 0, 0, 0};
    int handle = 0;
    PaletteHandle palette = createDisplayPalette(entries);
    DeviceContext dc = getWindowDc(&handle);
    selectDisplayPalette(dc, palette);
    // Two pieces of odd widths: rows of 5 and 11 pixels are padded.
    presentDisplayRect(dc, 0, 0, 5, 16, bits, &info);
    presentDisplayRect(dc, 5, 0, 11, 16, bits, &info);
    releaseWindowDc(&handle, dc);
    endX11Batch();
    XSync(display, False);
    const Shot shot = capture(display, window);
    ASSERT_EQ(shot.width, 16);
    int wrong = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int index = bits[(15 - y) * 16 + x];
            const unsigned long expected = expectedPixel(visual, entries[index]);
            if (shot.at(x, y) != expected && wrong++ == 0)
                ADD_FAILURE() << std::hex << "index " << std::dec << index << ": pixel 0x" << std::hex
                              << shot.at(x, y) << ", expected 0x" << expected;
        }
    EXPECT_EQ(wrong, 0) << "pixels of the wrong colour";
    deleteDisplayObject(palette);
}

// The image holds 2^19 pixels, a quarter of this window: a present of the
// whole window goes in bands, and a batch of more pieces than the image holds
// reuses its memory, so the earlier pieces must have reached the server
// first. Each row has a colour of its own, so that a band off by a row shows.
TEST_F(X11Window, PresentsLargerThanTheImageShowEveryRowAsPresented)
{
    const int width = 512, height = 4096;
    ASSERT_NO_FATAL_FAILURE(startServer("512x4096x24"));
    window = createWindow(display, width, height);
    const char* error = "";
    ASSERT_TRUE(openX11Window(display, window, width, height, 1, &error)) << error;
    PaletteEntry entries[256];
    for (int i = 0; i < 256; ++i)
        entries[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 128, 0};
    // Rows from the bottom up, as in the back buffer.
    std::vector<uint8_t> first(width * height), second(width * height);
    auto firstIndex = [](int y) { return static_cast<uint8_t>(y); };
    auto secondIndex = [](int y) { return static_cast<uint8_t>(y * 7 + 3); };
    for (int y = 0; y < height; ++y) {
        std::memset(&first[(height - 1 - y) * width], firstIndex(y), width);
        std::memset(&second[(height - 1 - y) * width], secondIndex(y), width);
    }
    const BitmapInfoHeader info = {40, width, height, 1, 8, 0, 0, 0, 0, 0, 0};
    int handle = 0;
    PaletteHandle palette = createDisplayPalette(entries);
    DeviceContext dc = getWindowDc(&handle);
    selectDisplayPalette(dc, palette);
    presentDisplayRect(dc, 0, 0, width, height, first.data(), &info);
    presentDisplayRect(dc, 0, height / 2, width, height / 2, second.data(), &info);
    releaseWindowDc(&handle, dc);
    endX11Batch();
    XSync(display, False);
    const Shot shot = capture(display, window);
    ASSERT_EQ(shot.width, width);
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        const PaletteEntry& e = entries[y < height / 2 ? firstIndex(y) : secondIndex(y)];
        const unsigned long expected = pixelOf(display, e.peRed, e.peGreen, e.peBlue);
        for (int x = 0; x < width; ++x)
            if (shot.at(x, y) != expected && wrong++ == 0)
                ADD_FAILURE() << "first wrong pixel at row " << y;
    }
    EXPECT_EQ(wrong, 0) << "pixels of the wrong colour";
    deleteDisplayObject(palette);
}

TEST_F(SceneOnX11, FixedSeedRunGivesTheChecksumOfTheOtherBuildsAndTheWindowShowsTheBackBuffer)
{
    recordingPath();
    ASSERT_NO_FATAL_FAILURE(startServer("800x600x24"));
    window = createWindow(display, scene_scenario::width, scene_scenario::height);
    const char* error = "";
    ASSERT_TRUE(openX11Window(display, window, scene_scenario::width, scene_scenario::height, 1, &error)) << error;

    int handle = 0;
    const uint64_t checksum = scene_scenario::run(&handle);
    EXPECT_EQ(checksum, sceneScenarioChecksum) << std::hex << "got 0x" << checksum;

    // Off the sprites of the last frame the window shows the back buffer,
    // each index as its palette colour.
    XSync(display, False);
    const Shot shot = capture(display, window);
    ASSERT_EQ(shot.width, scene_scenario::width);
    const DibSurface& back = spriteRenderer.back();
    const PaletteEntry* palette = memoryPaletteEntries(back.palette);
    ASSERT_NE(palette, nullptr);
    int compared = 0, differing = 0;
    for (int32_t y = 0; y < shot.height; ++y)
        for (int32_t x = 0; x < shot.width; ++x) {
            bool covered = false;
            for (int32_t i = 0; i < shipCount() && !covered; ++i) {
                const Sprite* s = spriteRenderer.sprite(i);
                covered = x >= s->x && x < s->x + s->width && y >= s->y && y < s->y + s->height;
            }
            if (covered)
                continue;
            const PaletteEntry& e = palette[*back.pixelAddress(x, y)];
            ++compared;
            differing += shot.at(x, y) != pixelOf(display, e.peRed, e.peGreen, e.peBlue);
        }
    EXPECT_GT(compared, 10000);
    EXPECT_EQ(differing, 0) << "window pixels off the sprites that differ from the back buffer";
}
