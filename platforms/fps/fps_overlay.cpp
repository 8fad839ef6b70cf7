// The --fps overlay's font and panel: the text laid out once in dots when it
// changes, and the dots written into the image as blocks through the
// TrueColor kit whenever the display puts the overlay.
#include "platforms/fps/fps_overlay.h"

#include <cstring>

namespace {

// A glyph: seven rows of five dots, the leftmost dot in bit 4.
struct Glyph {
    char character;
    uint8_t rows[7];
};

// The characters the counter's text uses.
const Glyph font[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'o', {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}},
};

// In dots: a glyph's cell with the gap after it, a line with the gap below
// it, the panel's border around the text, and the panel's distance from the
// image's corner.
enum : int32_t {
    glyphWidth = 5,
    glyphHeight = 7,
    advance = 6,
    lineAdvance = 9,
    border = 2,
    margin = 4,
    dotPixels = 2, // of the scene's pixels per side
};

const Glyph* glyphOf(char character)
{
    for (const Glyph& glyph : font)
        if (glyph.character == character)
            return &glyph;
    return nullptr;
}

void drawGlyph(OverlayPanel& panel, const Glyph& glyph, int32_t left, int32_t top)
{
    for (int32_t y = 0; y < glyphHeight; ++y)
        for (int32_t x = 0; x < glyphWidth; ++x)
            panel.dots[top + y][left + x] = (glyph.rows[y] >> (glyphWidth - 1 - x)) & 1;
}

} // namespace

bool setOverlayText(OverlayPanel& panel, const char* text)
{
    if (std::strncmp(panel.text, text, sizeof panel.text - 1) == 0)
        return false;
    std::strncpy(panel.text, text, sizeof panel.text - 1);
    panel.text[sizeof panel.text - 1] = '\0';
    int32_t columns = 0, lines = 0;
    for (const char* line = text; *line != '\0' && lines < OverlayPanel::maxLines; ++lines) {
        const char* end = std::strchr(line, '\n');
        const int32_t length = static_cast<int32_t>(end != nullptr ? end - line : std::strlen(line));
        columns = length > columns ? length : columns;
        line = end != nullptr ? end + 1 : line + length;
    }
    columns = columns < OverlayPanel::maxColumns ? columns : OverlayPanel::maxColumns;
    if (columns > 0) {
        const int32_t width = 2 * border + advance * columns - (advance - glyphWidth);
        const int32_t height = 2 * border + lineAdvance * lines - (lineAdvance - glyphHeight);
        panel.width = width > panel.width ? width : panel.width;
        panel.height = height > panel.height ? height : panel.height;
    }
    std::memset(panel.dots, 0, sizeof panel.dots);
    int32_t column = 0, line = 0;
    for (const char* c = text; *c != '\0' && line < lines; ++c) {
        if (*c == '\n') {
            column = 0;
            ++line;
            continue;
        }
        const Glyph* glyph = glyphOf(*c);
        if (glyph != nullptr && column < columns)
            drawGlyph(panel, *glyph, border + advance * column, border + lineAdvance * line);
        ++column;
    }
    return true;
}

OverlayBox overlayBox(const OverlayPanel& panel, int32_t width, int32_t height, int32_t blocks)
{
    const int32_t dot = dotPixels * blocks;
    const int32_t left = margin * dot;
    const int32_t top = height - (margin + panel.height) * dot;
    if (panel.width == 0 || top < 0 || left >= width)
        return OverlayBox{0, 0, 0, 0};
    const int32_t boxWidth = panel.width * dot < width - left ? panel.width * dot : width - left;
    return OverlayBox{left, top, boxWidth, panel.height * dot};
}

void drawOverlay(const OverlayPanel& panel, const OverlayBox& box, int32_t blocks, const PixelFormat& format,
                 uint8_t* out, int32_t bytesPerLine)
{
    const uint32_t colours[2] = {storedPixelOf(format, 0, 0, 0), storedPixelOf(format, 255, 255, 255)};
    writeBlocks(format, colours, IndexRows{&panel.dots[0][0], OverlayPanel::maxWidth}, dotPixels * blocks, out,
                bytesPerLine, box.width, box.height);
}

bool boxesMeet(const OverlayBox& a, const OverlayBox& b)
{
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}
