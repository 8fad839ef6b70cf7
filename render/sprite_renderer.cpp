// Composition and the present rules of the sprite renderer. A pass saves the
// back-buffer pixels under each visible sprite and draws it, presents every
// sprite's new and old rectangle from the complete composite, and puts the
// saved pixels back in the reverse order, so the background comes back
// byte for byte without being redrawn. Nothing here allocates per frame.
#include "render/sprite_renderer.h"

#include <new>

#include "support/decimal.h"

const uint32_t brushColours[brushCount] = {
    0x000000, 0xFFFFFF, 0xC8C8C8, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF,
    0xFFFF00, 0x80FF00, 0x0080FF, 0x8000FF, 0x0000A0, 0x00A000, 0xA00000, 0x00C8C8,
    0xC800C8, 0xC8C800, 0x64C800, 0x0064C8, 0x6400C8, 0xFFFFFF, 0xC8C8C8, 0x6464FF,
};

SpriteRenderer spriteRenderer;

namespace {

int32_t clampToInt32(int64_t value)
{
    if (value > 0x7FFFFFFF)
        return 0x7FFFFFFF;
    if (value < -0x7FFFFFFF - 1)
        return -0x7FFFFFFF - 1;
    return static_cast<int32_t>(value);
}

int64_t distance(int32_t a, int32_t b) { return a > b ? static_cast<int64_t>(a) - b : static_cast<int64_t>(b) - a; }

// Copies a rectangle of the back buffer to the same place in the window. The
// rectangle is first cut to the back buffer, so the platform is never asked
// to read outside the DIB.
void copyToWindow(DeviceContext dc, const DibSurface& backBuffer, int64_t left, int64_t top, int64_t width,
                  int64_t height)
{
    int64_t right = left + width;
    int64_t bottom = top + height;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right > backBuffer.width)
        right = backBuffer.width;
    if (bottom > backBuffer.height)
        bottom = backBuffer.height;
    if (right <= left || bottom <= top)
        return;
    presentDisplayRect(dc, static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                       static_cast<int32_t>(bottom - top), backBuffer.bits, backBuffer.info);
}

} // namespace

void Sprite::saveAndDraw(DibSurface& backBuffer)
{
    if (!visible)
        return;
    saveUnder.copyFrom(&backBuffer, x, y);
    // Without a save-under image the sprite could never be taken off again.
    if (saveUnder.header == nullptr || frame == nullptr || frame->pattern == nullptr)
        return;
    frame->pattern->drawTransparent(&backBuffer, x, y, 2 * halfWidth, 2 * halfHeight,
                                    clampToInt32(static_cast<int64_t>(frame->centreX) - halfWidth),
                                    clampToInt32(static_cast<int64_t>(frame->centreY) - halfHeight));
}

void Sprite::present(DeviceContext dc, const DibSurface& backBuffer)
{
    if (visible && wasVisible) {
        const int64_t unionWidth = width + distance(x, previousX);
        const int64_t unionHeight = height + distance(y, previousY);
        if (unionWidth * unionHeight < unionLimit) {
            copyToWindow(dc, backBuffer, x < previousX ? x : previousX, y < previousY ? y : previousY, unionWidth,
                         unionHeight);
        } else {
            copyToWindow(dc, backBuffer, x, y, width, height);
            copyToWindow(dc, backBuffer, previousX, previousY, width, height);
        }
    } else if (visible) {
        copyToWindow(dc, backBuffer, x, y, width, height);
    } else if (wasVisible) {
        // The back buffer no longer holds the sprite there: this takes its
        // last image off the window.
        copyToWindow(dc, backBuffer, previousX, previousY, width, height);
    }
    previousX = x;
    previousY = y;
    wasVisible = visible;
}

void Sprite::restore(DibSurface& backBuffer)
{
    if (visible)
        saveUnder.copyTo(&backBuffer, x, y);
}

SpriteRenderer::~SpriteRenderer()
{
    for (BrushHandle brush : brushes)
        deleteDisplayObject(brush);
    if (memoryDc != nullptr)
        selectDisplayBitmap(memoryDc, previousBitmap);
    deleteDisplayObject(dibSection);
    deleteMemoryDc(memoryDc);
    delete[] sprites;
    delete[] frames;
    delete[] patterns;
    // backBuffer, destroyed after this body, deletes the palette last.
}

void SpriteRenderer::initialize(WindowHandle window, int32_t newSpriteCount, int32_t newFrameCount,
                                int32_t newPatternCount, int32_t width, int32_t height)
{
    if (sprites != nullptr || frames != nullptr || patterns != nullptr)
        return;
    patternCount = newPatternCount > 0 ? newPatternCount : 0;
    patterns = new (std::nothrow) DibSurface[patternCount];
    if (patterns == nullptr)
        patternCount = 0;
    for (int32_t i = 0; i < patternCount; ++i) {
        char name[24] = "SPPAT_R";
        formatDecimal(i, name + 7);
        patterns[i].loadNamed(name);
    }

    DeviceContext windowDc = getWindowDc(window);
    const DibSurface noImage;
    backBuffer.adoptColours(patternCount > 0 ? patterns[0] : noImage);
    backBuffer.buildPalette();
    backBuffer.selectPalette(windowDc);
    realizeDisplayPalette(windowDc);
    memoryDc = createMemoryDc(windowDc);
    backBuffer.selectPalette(memoryDc);
    realizeDisplayPalette(memoryDc);
    dibSection = backBuffer.createDibSection(windowDc, width, height);
    if (dibSection != nullptr)
        previousBitmap = selectDisplayBitmap(memoryDc, dibSection);
    releaseWindowDc(window, windowDc);

    for (int32_t i = 0; i < brushCount; ++i)
        brushes[i] = createSolidBrush(brushColours[i]);
    blackenDisplayRect(memoryDc, 0, 0, backBuffer.width, backBuffer.height);

    spriteCount = newSpriteCount > 0 ? newSpriteCount : 0;
    sprites = new (std::nothrow) Sprite[spriteCount];
    if (sprites == nullptr)
        spriteCount = 0;
    frameCount = newFrameCount > 0 ? newFrameCount : 0;
    frames = new (std::nothrow) SpriteFrame[frameCount]();
    if (frames == nullptr)
        frameCount = 0;
}

void SpriteRenderer::setSpriteSize(int32_t index, int32_t width, int32_t height)
{
    if (index < 0 || index >= spriteCount)
        return;
    Sprite& sprite = sprites[index];
    sprite.width = width;
    sprite.height = height;
    sprite.halfWidth = width / 2;
    sprite.halfHeight = height / 2;
    sprite.saveUnder.createBlank(width, height);
    sprite.unionLimit = clampToInt32(2 * static_cast<int64_t>(width) * height);
}

void SpriteRenderer::setFrameEntry(int32_t frameIndex, int32_t patternIndex, int32_t centreX, int32_t centreY)
{
    if (frameIndex < 0 || frameIndex >= frameCount || patternIndex < 0 || patternIndex >= patternCount)
        return;
    frames[frameIndex] = SpriteFrame{&patterns[patternIndex], centreX, centreY};
}

void SpriteRenderer::setSpriteFrame(int32_t index, int32_t frameIndex)
{
    if (index < 0 || index >= spriteCount)
        return;
    if (frameCount == 0)
        sprites[index].frame = nullptr;
    else
        sprites[index].frame = &frames[frameIndex >= 0 && frameIndex < frameCount ? frameIndex : 0];
}

void SpriteRenderer::setSpritePosition(int32_t index, int32_t centreX, int32_t centreY)
{
    if (index < 0 || index >= spriteCount)
        return;
    Sprite& sprite = sprites[index];
    sprite.x = clampToInt32(static_cast<int64_t>(centreX) - sprite.halfWidth);
    sprite.y = clampToInt32(static_cast<int64_t>(centreY) - sprite.halfHeight);
}

void SpriteRenderer::setSpriteVisible(int32_t index, bool visible)
{
    if (index < 0 || index >= spriteCount)
        return;
    sprites[index].visible = visible;
}

void SpriteRenderer::renderPass(WindowHandle window)
{
    if (sprites == nullptr)
        return;
    for (int32_t i = spriteCount - 1; i >= 0; --i)
        sprites[i].saveAndDraw(backBuffer);
    DeviceContext dc = getWindowDc(window);
    backBuffer.selectPalette(dc);
    realizeDisplayPalette(dc);
    // Every present copies from the complete composite, so overlapping
    // sprites come out right whatever the order here.
    for (int32_t i = 0; i < spriteCount; ++i)
        sprites[i].present(dc, backBuffer);
    releaseWindowDc(window, dc);
    for (int32_t i = 0; i < spriteCount; ++i)
        sprites[i].restore(backBuffer);
}

void SpriteRenderer::fillSquare(WindowHandle window, int32_t x, int32_t y, int32_t brushIndex, int32_t size)
{
    if (memoryDc == nullptr)
        return;
    if (brushIndex < 0)
        brushIndex = 0;
    if (brushIndex > brushCount - 1)
        brushIndex = brushCount - 1;
    DeviceContext dc = getWindowDc(window);
    backBuffer.selectPalette(dc);
    realizeDisplayPalette(dc);
    const int32_t right = clampToInt32(static_cast<int64_t>(x) + size);
    const int32_t bottom = clampToInt32(static_cast<int64_t>(y) + size);
    fillDisplayRect(memoryDc, x, y, right, bottom, brushes[brushIndex]);
    fillDisplayRect(dc, x, y, right, bottom, brushes[brushIndex]);
    releaseWindowDc(window, dc);
}

const Sprite* SpriteRenderer::sprite(int32_t index) const
{
    return index >= 0 && index < spriteCount ? &sprites[index] : nullptr;
}

const SpriteFrame* SpriteRenderer::frameEntry(int32_t index) const
{
    return index >= 0 && index < frameCount ? &frames[index] : nullptr;
}

const DibSurface* SpriteRenderer::pattern(int32_t index) const
{
    return index >= 0 && index < patternCount ? &patterns[index] : nullptr;
}
