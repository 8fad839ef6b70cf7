// The scene against the native display, bitmap store and recording sound
// player: the order of the random draws, the star cursor, the sound trigger
// and its choice, the renderer's tables after setup, and a long fixed run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "formation/formation.h"
#include "render/bitmap_source.h"
#include "platforms/stub/stub.h"
#include "render/sprite_renderer.h"
#include "scene/scene.h"
#include "scene/sound.h"
#include "settings/settings.h"
#include "support/clock.h"
#include "support/random.h"
#include "tests/scene_scenario.h"
#include "tools/resgen/resources.h"

namespace {

// The generated pattern images as the executable holds them: a bitmap
// resource is the file without its 14-byte file header. Built once, because
// drawing the art is slow in the sanitizer build.
const std::vector<Bytes>& patternResources()
{
    static const std::vector<Bytes> resources = [] {
        std::vector<Bytes> out;
        for (int p = 0; p < scenePatternCount; ++p) {
            const Bytes file = patternBitmapFile(p);
            out.emplace_back(file.begin() + 14, file.end());
        }
        return out;
    }();
    return resources;
}

class Scene : public ::testing::Test {
protected:
    void SetUp() override { prepare(64, 48); }
    void TearDown() override
    {
        releaseSoundBank();
        clearStubWaveResources();
        clearStubPlays();
        clearStubBitmapResources();
    }

    // A fresh process as far as the scene is concerned: a new renderer, an
    // empty starfield, settings with sound on, and a window of this size.
    void prepare(int32_t width, int32_t height)
    {
        spriteRenderer.~SpriteRenderer();
        new (&spriteRenderer) SpriteRenderer();
        clearStubBitmapResources();
        for (int p = 0; p < scenePatternCount; ++p) {
            const Bytes& image = patternResources()[p];
            const std::string name = "SPPAT_R" + std::to_string(p);
            addStubBitmapResource(name.c_str(), image.data(), static_cast<uint32_t>(image.size()));
        }
        clearStubWaveResources();
        for (int k = 0; k < soundCount; ++k) {
            const uint8_t wave[] = {'R', 'I', 'F', 'F', static_cast<uint8_t>(k)};
            const std::string name = "WAVDAT" + std::to_string(k);
            addStubWaveResource(name.c_str(), wave, sizeof wave);
        }
        clearStubPlays();
        resetStubDisplay(width, height);
        setStubTickCount(0);
        std::memset(&starfield, 0, sizeof starfield);
        soundTicks = 0;
        scene.screenWidth = width;
        scene.screenHeight = height;
        settings = Settings{1, 10, 10};
    }

    void start(uint32_t seed)
    {
        seedRandom(seed);
        loadSoundBank();
        setupScene(stubWindow());
        clearStubPlays();
    }
};

// Formation state, so that a tick's formation step can be replayed.
struct FormationCopy {
    unsigned char fields[sizeof(Formation)];
    std::vector<Ship> ships;

    FormationCopy()
    {
        std::memcpy(fields, static_cast<const void*>(&formation), sizeof fields);
        ships.assign(formation.ships, formation.ships + formation.shipCount + 1);
    }
    void restore() const
    {
        std::memcpy(static_cast<void*>(&formation), fields, sizeof fields);
        std::copy(ships.begin(), ships.end(), formation.ships);
    }
};

// A seed whose first randomUpTo(15) is u.
uint32_t seedGiving(int32_t u)
{
    for (uint32_t seed = 1;; ++seed) {
        seedRandom(seed);
        if (randomUpTo(15) == u)
            return seed;
    }
}

const void* waveImage(int k)
{
    return lockWaveResource(loadWaveResource(("WAVDAT" + std::to_string(k)).c_str()));
}

} // namespace

TEST_F(Scene, TickDrawsSixThenTheFormationsThenAtMostOneForSound)
{
    for (int32_t soundOn : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "soundOn " << soundOn);
        prepare(200, 150);
        settings.soundOn = soundOn;
        start(4242);
        for (int32_t tick = 0; tick < 7; ++tick)
            frameTick(stubWindow());
        // The next tick is a sound chance when sound is on.
        soundTicks = ticksBetweenSoundChances;
        const uint32_t before = randomState();
        const FormationCopy formationBefore;
        frameTick(stubWindow());
        const uint32_t after = randomState();
        const Star star = starfield.stars[starfield.starIndex];
        ASSERT_EQ(starfield.starIndex, 8);

        seedRandom(before);
        randomUpTo(200);
        randomUpTo(150);
        const Star expected = {randomUpTo(23) + 1, randomUpTo(200), randomUpTo(150), randomUpTo(4) + 1};
        EXPECT_EQ(star.brush, expected.brush);
        EXPECT_EQ(star.x, expected.x);
        EXPECT_EQ(star.y, expected.y);
        EXPECT_EQ(star.size, expected.size);
        formationBefore.restore();
        formationStep();
        if (soundOn > 0)
            nextRandom();
        EXPECT_EQ(randomState(), after) << "draws after the formation's: " << soundOn;
    }
}

TEST_F(Scene, StarCursorRunsOneToFiveHundredElevenThenZero)
{
    start(7);
    std::vector<int32_t> seen;
    for (int32_t tick = 1; tick <= 513; ++tick) {
        frameTick(stubWindow());
        seen.push_back(starfield.starIndex);
    }
    for (int32_t tick = 1; tick <= 511; ++tick)
        ASSERT_EQ(seen[tick - 1], tick) << "tick " << tick;
    EXPECT_EQ(seen[511], 0) << "tick 512";
    EXPECT_EQ(seen[512], 1) << "tick 513";
}

TEST_F(Scene, SetupKeepsTheCursorAndTickRepaintsOnlyTheCurrentStar)
{
    starfield.starIndex = 137;
    start(99);
    EXPECT_EQ(starfield.starIndex, 137);
    const Star old = starfield.stars[138];
    const std::vector<Star> others(starfield.stars, starfield.stars + starCount);
    frameTick(stubWindow());
    EXPECT_EQ(starfield.starIndex, 138);
    for (int32_t i = 0; i < starCount; ++i) {
        if (i != 138) {
            ASSERT_EQ(std::memcmp(&starfield.stars[i], &others[i], sizeof(Star)), 0) << "star " << i;
        }
    }
    EXPECT_NE(std::memcmp(&starfield.stars[138], &old, sizeof(Star)), 0);
}

TEST_F(Scene, SetupDrawsTheStarsInOrderAndNothingElse)
{
    prepare(300, 200);
    seedRandom(555);
    loadSoundBank();
    setupScene(stubWindow());
    const uint32_t after = randomState();
    seedRandom(555);
    for (int32_t i = 0; i < starCount; ++i) {
        const Star& s = starfield.stars[i];
        const Star expected = {randomUpTo(23) + 1, randomUpTo(300), randomUpTo(200), randomUpTo(4) + 1};
        ASSERT_TRUE(s.brush == expected.brush && s.x == expected.x && s.y == expected.y && s.size == expected.size)
            << "star " << i << ": expected " << expected.brush << "/" << expected.x << "/" << expected.y << "/"
            << expected.size << ", got " << s.brush << "/" << s.x << "/" << s.y << "/" << s.size;
    }
    EXPECT_EQ(randomState(), after) << "setup makes 2,048 draws";
    EXPECT_EQ(soundTicks, 0);
}

TEST_F(Scene, EmptyClientAreaPutsEveryStarAtTheOrigin)
{
    prepare(0, 0);
    start(31337);
    for (int32_t tick = 0; tick < 20; ++tick)
        frameTick(stubWindow());
    for (const Star& s : starfield.stars)
        ASSERT_TRUE(s.x == 0 && s.y == 0) << "star at (" << s.x << ", " << s.y << ")";
}

TEST_F(Scene, FrameTableAndSpriteSizes)
{
    prepare(640, 480);
    start(1);
    struct Frame {
        int32_t pattern;
        int32_t centreX;
        int32_t centreY;
    };
    const Frame table[sceneFrameCount] = {
        {0, 192, 64},  {0, 192, 192}, {0, 192, 320}, {0, 192, 448}, {1, 96, 32},   {2, 96, 32},
        {3, 96, 32},   {4, 96, 32},   {5, 64, 21},   {6, 64, 21},   {7, 64, 21},   {8, 64, 21},
        {9, 48, 16},   {10, 48, 16},  {11, 48, 16},  {12, 48, 16},  {13, 40, 13},  {14, 40, 13},
        {15, 40, 13},  {16, 40, 13},  {17, 32, 11},  {18, 32, 11},  {19, 32, 11},  {20, 32, 11},
    };
    for (int32_t f = 0; f < sceneFrameCount; ++f) {
        const SpriteFrame* entry = spriteRenderer.frameEntry(f);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->pattern, spriteRenderer.pattern(table[f].pattern)) << "frame " << f;
        EXPECT_EQ(entry->centreX, table[f].centreX) << "frame " << f;
        EXPECT_EQ(entry->centreY, table[f].centreY) << "frame " << f;
    }
    EXPECT_EQ(spriteRenderer.frameEntry(sceneFrameCount), nullptr) << "frame 24 lies outside the table";

    const int32_t sizes[][2] = {{384, 128}, {192, 64}, {128, 42}, {96, 32}, {80, 26}, {64, 22}};
    ASSERT_EQ(shipCount(), 91);
    int32_t classTwo = -1;
    for (int32_t i = 0; i < shipCount(); ++i) {
        const int32_t c = shipSizeClass(i);
        ASSERT_TRUE(c >= 0 && c < 6) << "ship " << i;
        EXPECT_EQ(spriteRenderer.sprite(i)->width, sizes[c][0]) << "ship " << i << " class " << c;
        EXPECT_EQ(spriteRenderer.sprite(i)->height, sizes[c][1]) << "ship " << i << " class " << c;
        EXPECT_TRUE(spriteRenderer.sprite(i)->visible);
        EXPECT_EQ(spriteRenderer.sprite(i)->frame, spriteRenderer.frameEntry(shipFrame(i)));
        if (c == 2)
            classTwo = i;
    }
    ASSERT_GE(classTwo, 0);
    for (int32_t tick = 0; tick < 8; ++tick) {
        frameTick(stubWindow());
        const SpriteFrame* shown = spriteRenderer.sprite(classTwo)->frame;
        const int32_t frame = static_cast<int32_t>(shown - spriteRenderer.frameEntry(0));
        EXPECT_TRUE(frame >= 8 && frame <= 11) << "class 2 shows frame " << frame;
        EXPECT_EQ(shown->centreX, 64);
        EXPECT_EQ(shown->centreY, 21);
    }
}

TEST_F(Scene, SoundChanceComesOnTheFourHundredFirstTick)
{
    start(2024);
    for (int32_t tick = 1; tick <= 400; ++tick) {
        const uint32_t before = randomState();
        soundTick();
        ASSERT_EQ(randomState(), before) << "tick " << tick << " drew";
        ASSERT_EQ(soundTicks, tick);
    }
    EXPECT_EQ(stubPlayCount(), 0);
    const uint32_t before = randomState();
    soundTick();
    const uint32_t after = randomState();
    EXPECT_EQ(soundTicks, 0);
    seedRandom(before);
    nextRandom();
    EXPECT_EQ(after, randomState()) << "tick 401 draws exactly once";
    seedRandom(after);
    soundTick();
    EXPECT_EQ(randomState(), after) << "the tick after a chance draws nothing";
    EXPECT_EQ(soundTicks, 1);
}

TEST_F(Scene, SoundChoiceTable)
{
    start(1);
    struct Case {
        int32_t u;
        int32_t sound; // -1: none
    } const cases[] = {{0, 0}, {1, 0}, {2, 1}, {4, 1}, {5, 2}, {7, 2}, {8, -1}, {15, -1}};
    for (const Case& c : cases) {
        seedRandom(seedGiving(c.u));
        clearStubPlays();
        soundTicks = ticksBetweenSoundChances;
        soundTick();
        EXPECT_EQ(soundTicks, 0) << "u = " << c.u << " still resets the counter";
        if (c.sound < 0) {
            EXPECT_EQ(stubPlayCount(), 0) << "u = " << c.u;
        } else {
            ASSERT_EQ(stubPlayCount(), 1) << "u = " << c.u;
            EXPECT_EQ(stubPlayed(0), waveImage(c.sound)) << "u = " << c.u << " plays WAVDAT" << c.sound;
        }
    }
}

TEST_F(Scene, SoundOffNeitherCountsNorDraws)
{
    start(3);
    for (int32_t soundOn : {0, -1, -2147483647 - 1}) {
        settings.soundOn = soundOn;
        soundTicks = ticksBetweenSoundChances;
        const uint32_t before = randomState();
        for (int32_t tick = 0; tick < 1000; ++tick)
            soundTick();
        EXPECT_EQ(randomState(), before) << "soundOn " << soundOn;
        EXPECT_EQ(soundTicks, ticksBetweenSoundChances) << "soundOn " << soundOn;
    }
    EXPECT_EQ(stubPlayCount(), 0);
}

TEST_F(Scene, ReleaseStopsPlaybackAndAMissingWaveOnlyStops)
{
    start(5);
    releaseSoundBank();
    ASSERT_EQ(stubPlayCount(), 1);
    EXPECT_EQ(stubPlayed(0), nullptr) << "release stops what plays";
    for (int k = 0; k < soundCount; ++k)
        EXPECT_EQ(soundBank.images[k], nullptr);

    clearStubWaveResources();
    clearStubPlays();
    loadSoundBank();
    seedRandom(seedGiving(4));
    soundTicks = ticksBetweenSoundChances;
    soundTick();
    ASSERT_EQ(stubPlayCount(), 1);
    EXPECT_EQ(stubPlayed(0), nullptr);
}

TEST_F(Scene, FixedSeedRunGivesTheSameChecksumAsTheWindowsBuild)
{
    prepare(scene_scenario::width, scene_scenario::height);
    const uint64_t checksum = scene_scenario::run(stubWindow());
    EXPECT_EQ(checksum, sceneScenarioChecksum) << std::hex << "got 0x" << checksum;

    // The window shows the background and the sprites of the last frame: off
    // the sprites' rectangles it equals the back buffer.
    std::vector<uint8_t> covered(scene_scenario::width * scene_scenario::height, 0);
    for (int32_t i = 0; i < shipCount(); ++i) {
        const Sprite* s = spriteRenderer.sprite(i);
        for (int32_t y = s->y; y < s->y + s->height; ++y)
            for (int32_t x = s->x; x < s->x + s->width; ++x)
                if (x >= 0 && y >= 0 && x < scene_scenario::width && y < scene_scenario::height) {
                    covered[y * scene_scenario::width + x] = 1;
                }
    }
    int32_t differing = 0;
    int32_t shipPixels = 0;
    for (int32_t y = 0; y < scene_scenario::height; ++y) {
        for (int32_t x = 0; x < scene_scenario::width; ++x) {
            const uint8_t shown = stubWindowPixel(x, y);
            if (covered[y * scene_scenario::width + x])
                shipPixels += shown >= 11 && shown <= 24;
            else if (shown != *spriteRenderer.back().pixelAddress(x, y))
                ++differing;
        }
    }
    EXPECT_EQ(differing, 0) << "window pixels off the sprites that differ from the back buffer";
    EXPECT_GT(shipPixels, 1000) << "ship colours on the window";
}
