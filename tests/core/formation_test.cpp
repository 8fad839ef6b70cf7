// The formation model against its worked examples: layout, edge wraps,
// refresh timing, the drift machine, accessors, absurd input and a long run.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "formation/formation.h"
#include "support/clock.h"
#include "support/random.h"
#include "tests/formation_scenario.h"
#include "platforms/stub/stub.h"

namespace {

uint32_t nextState(uint32_t state) { return state * 214013u + 2531011u; }

int32_t valueOf(uint32_t state) { return static_cast<int32_t>((state >> 16) & 0x7FFF); }

// A seed whose next two draws make the drift machine pick `drift` with
// countdown `countdown`: the first draw's value is pinned by the wanted
// drift, and its 17 free state bits are searched for a second draw that gives
// the countdown. Returns false when no state does.
bool seedForDrift(int32_t drift, int32_t countdown, uint32_t* seed)
{
    uint32_t inverse = 1;
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - 214013u * inverse;
    const int32_t firstValue = drift == DriftDown ? 1000 : drift == DriftUp ? 20000 : 32767;
    for (uint32_t free = 0; free < (1u << 17); ++free) {
        const uint32_t first = (free >> 16) << 31 | static_cast<uint32_t>(firstValue) << 16 | (free & 0xFFFF);
        const int32_t second = valueOf(nextState(first));
        if (static_cast<int64_t>(second) * 380 / 32767 == countdown) {
            *seed = (first - 2531011u) * inverse;
            return true;
        }
    }
    return false;
}

class FormationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setStubTickCount(1000);
        seedRandom(1);
    }
    void init(int32_t layers, int32_t width, int32_t height, int32_t refreshMinutes = 10)
    {
        formationInit(layers, width, height, refreshMinutes);
    }
    Ship& ship(int32_t index) { return formation.ships[index]; }
    // One layer-1 ship on the 640 x 480 track, placed by hand; the drift
    // countdown is raised so the machine keeps the drift given.
    void placeLoneShip(double posX, double posY, int32_t drift)
    {
        init(1, 640, 480);
        ship(0).posX = posX;
        ship(0).posY = posY;
        formation.drift = drift;
        formation.driftCountdown = 1000;
    }
};

} // namespace

TEST(FormationObject, ConstructionClearsEveryField)
{
    const Formation fresh;
    EXPECT_EQ(fresh.width, 0.0);
    EXPECT_EQ(fresh.height, 0.0);
    EXPECT_EQ(fresh.shipCount, 0);
    EXPECT_EQ(fresh.lastLayoutTick, 0u);
    EXPECT_EQ(fresh.refreshPeriodMs, 0u);
    EXPECT_EQ(fresh.phase, 0);
    EXPECT_EQ(fresh.drift, DriftNone);
    EXPECT_EQ(fresh.driftCountdown, 0);
    EXPECT_EQ(fresh.layers, 0);
    EXPECT_EQ(fresh.ships, nullptr);
}

TEST_F(FormationTest, LayoutOf640x480WorkedExample)
{
    init(6, 640, 480, 10);
    EXPECT_EQ(shipCount(), 91);
    EXPECT_EQ(formation.layers, 6);
    EXPECT_EQ(formation.refreshPeriodMs, 600000u);
    EXPECT_EQ(formation.lastLayoutTick, 1000u);
    EXPECT_EQ(formation.width, 640.0);
    EXPECT_EQ(formation.height, 480.0);
    EXPECT_EQ(formation.phase, 0);
    EXPECT_EQ(formation.drift, DriftNone);
    EXPECT_EQ(formation.driftCountdown, 40);

    EXPECT_EQ(ship(0).posX, 512.0);
    EXPECT_EQ(ship(0).posY, 304.0);
    EXPECT_EQ(ship(0).velX, -6.0);
    EXPECT_EQ(ship(0).velY, 1.0);
    // Before the first step the centres carry no half-frame offset.
    EXPECT_EQ(shipX(0), 512);
    EXPECT_EQ(shipY(0), 304);
    EXPECT_EQ(shipFrame(0), 0);
    EXPECT_EQ(shipSizeClass(0), 0);

    const struct {
        int32_t index;
        double posX, posY;
    } layer2[] = {{1, 512, 304}, {2, 1024, 304}, {3, 512, 608}, {4, 1024, 608}};
    for (const auto& c : layer2) {
        SCOPED_TRACE(testing::Message() << "ship " << c.index);
        EXPECT_EQ(ship(c.index).posX, c.posX);
        EXPECT_EQ(ship(c.index).posY, c.posY);
        EXPECT_EQ(ship(c.index).velX, -3.0);
        EXPECT_EQ(ship(c.index).velY, 0.5);
    }

    EXPECT_NEAR(ship(13).posX, 1194.6666667, 1e-6);
    EXPECT_NEAR(ship(13).posY, 709.3333333, 1e-6);
    EXPECT_EQ(shipX(13), 1194);
    EXPECT_EQ(shipY(13), 709);
    EXPECT_EQ(ship(13).velX, -2.0);
    EXPECT_EQ(shipFrame(13), 8);
    EXPECT_EQ(shipSizeClass(13), 2);
}

TEST_F(FormationTest, EveryLayerStartsAtTheTrackMiddleWithItsOwnSpeedAndFrames)
{
    init(6, 640, 480);
    const struct {
        int32_t firstIndex, ships, sizeClass;
        double velX, velY;
    } layers[] = {
        {0, 1, 0, -6.0, 1.0},         {1, 4, 1, -3.0, 0.5},       {5, 9, 2, -2.0, 1.0 / 3},
        {14, 16, 3, -1.5, 0.25},      {30, 25, 4, -1.2, 0.2},     {55, 36, 5, -1.0, 1.0 / 6},
    };
    for (const auto& layer : layers) {
        SCOPED_TRACE(testing::Message() << "layer from ship " << layer.firstIndex);
        EXPECT_EQ(shipX(layer.firstIndex), 512);
        EXPECT_EQ(shipY(layer.firstIndex), 304);
        for (int32_t i = layer.firstIndex; i < layer.firstIndex + layer.ships; ++i) {
            ASSERT_EQ(shipSizeClass(i), layer.sizeClass) << "ship " << i;
            ASSERT_EQ(shipFrame(i), layer.sizeClass * 4) << "ship " << i;
            ASSERT_EQ(ship(i).velX, layer.velX) << "ship " << i;
            ASSERT_EQ(ship(i).velY, layer.velY) << "ship " << i;
        }
    }
}

// Below one layer counts as one; beyond the limit the formation stays empty,
// as after a failed allocation, and everything still runs.
TEST_F(FormationTest, LayerCountsFromBelowOneToBeyondTheLimit)
{
    struct Case {
        int32_t layers, ships;
    } const cases[] = {{0, 1},  {-5, 1}, {INT32_MIN, 1}, {2, 5}, {maxFormationLayers, sumOfSquares(maxFormationLayers)},
                       {maxFormationLayers + 1, 0}, {1861, 0}, {INT32_MAX, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "layers " << c.layers);
        init(c.layers, 640, 480);
        ASSERT_EQ(shipCount(), c.ships);
        if (c.ships == 0) {
            EXPECT_EQ(formation.ships, nullptr);
            for (int i = 0; i < 200; ++i)
                formationStep();
            for (int32_t index : {0, 1, -1}) {
                EXPECT_EQ(shipX(index), 0);
                EXPECT_EQ(shipY(index), 0);
                EXPECT_EQ(shipFrame(index), 0);
                EXPECT_EQ(shipSizeClass(index), 0);
            }
        } else {
            EXPECT_EQ(formation.layers, c.layers < 1 ? 1 : c.layers);
            EXPECT_EQ(shipX(0), 512);
            EXPECT_EQ(shipY(0), 304);
            EXPECT_EQ(shipSizeClass(c.ships - 1), formation.layers - 1);
            formationStep();
            EXPECT_EQ(shipX(0), 314);
        }
    }
}

TEST_F(FormationTest, SecondInitReplacesTheTable)
{
    // The sanitizer build's leak check fails this test if the first table leaks.
    init(6, 640, 480);
    init(2, 100, 100);
    EXPECT_EQ(shipCount(), 5);
    EXPECT_EQ(shipX(4), 484);
    EXPECT_EQ(shipY(4), 228);
    init(6, 640, 480);
    EXPECT_EQ(shipCount(), 91);
}

TEST_F(FormationTest, RefreshPeriodIsAWrapping32BitProduct)
{
    struct Case {
        int32_t minutes;
        uint32_t period;
    } const cases[] = {{1, 60000u},         {10, 600000u},      {100, 6000000u},     {0, 0u},
                       {-1, 4294907296u},   {71582, 4294920000u}, {71583, 12704u},   {100000, 1705032704u},
                       {INT32_MAX, 4294907296u}, {INT32_MIN, 0u}};
    for (const Case& c : cases) {
        init(6, 640, 480, c.minutes);
        EXPECT_EQ(formation.refreshPeriodMs, c.period) << "refreshMinutes " << c.minutes;
    }
}

TEST_F(FormationTest, FirstStepWorkedExample)
{
    init(6, 640, 480);
    formationStep();
    EXPECT_EQ(formation.phase, 1);
    EXPECT_EQ(formation.driftCountdown, 39);
    EXPECT_EQ(formation.drift, DriftNone);

    EXPECT_EQ(ship(0).posX, 506.0);
    EXPECT_EQ(ship(0).posY, 304.0);
    EXPECT_EQ(shipX(0), 314);
    EXPECT_EQ(shipY(0), 240);
    EXPECT_EQ(shipFrame(0), 1);

    // Beyond the right and bottom edges after layout: folded in one step.
    EXPECT_NEAR(ship(13).posX, 168.6666667, 1e-6);
    EXPECT_NEAR(ship(13).posY, 101.3333333, 1e-6);
    EXPECT_EQ(shipX(13), -24);
    EXPECT_EQ(shipY(13), 37);
    EXPECT_EQ(shipFrame(13), 9);

    // Exactly on the bottom edge: 608 does not exceed 608.
    EXPECT_EQ(ship(3).posY, 608.0);
    EXPECT_EQ(shipY(3), 544);
    EXPECT_EQ(ship(3).posX, 509.0);
    EXPECT_EQ(shipX(3), 317);

    // The first ship of every layer is at the centre of the client area.
    for (int32_t first : {0, 1, 5, 14, 30, 55})
        EXPECT_EQ(shipY(first), 240) << "ship " << first;
}

TEST_F(FormationTest, EachEdgeWrapsByItsOwnTest)
{
    struct Case {
        const char* what;
        int32_t drift;
        double posX, posY;
        double wantX, wantY;
        int32_t drawX, drawY;
    } const cases[] = {
        {"left: 6.0 reaches 0.0 and wraps", DriftNone, 6.0, 304.0, 1024.0, 304.0, 832, 240},
        {"left: 6.5 reaches 0.5 and stays", DriftNone, 6.5, 304.0, 0.5, 304.0, -192, 240},
        {"left: 5.0 reaches -1.0 and wraps", DriftNone, 5.0, 304.0, 1023.0, 304.0, 831, 240},
        {"right: 1030.5 reaches 1024.5, truncates to 1024, stays", DriftNone, 1030.5, 304.0, 1024.5, 304.0, 832, 240},
        {"right: 1031.0 reaches 1025.0 and wraps", DriftNone, 1031.0, 304.0, 1.0, 304.0, -191, 240},
        {"right: at most one wrap per step", DriftNone, 2100.0, 304.0, 1070.0, 304.0, 878, 240},
        {"top: up from 1.5 to 0.5 wraps", DriftUp, 512.0, 1.5, 506.0, 608.5, 314, 544},
        {"top: up from 2.0 to 1.0 stays", DriftUp, 512.0, 2.0, 506.0, 1.0, 314, -63},
        {"top: still at 0.5 wraps", DriftNone, 512.0, 0.5, 506.0, 608.5, 314, 544},
        {"bottom: down from 608.5 to 609.5 wraps", DriftDown, 512.0, 608.5, 506.0, 1.5, 314, -63},
        {"bottom: down from 607.5 to 608.5 stays", DriftDown, 512.0, 607.5, 506.0, 608.5, 314, 544},
        {"bottom: still at 609.0 wraps", DriftNone, 512.0, 609.0, 506.0, 1.0, 314, -63},
        {"corner: both axes wrap in one step", DriftUp, 3.0, 1.0, 1021.0, 608.0, 829, 544},
        {"still drift moves nothing vertically", DriftStill, 512.0, 304.0, 506.0, 304.0, 314, 240},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        placeLoneShip(c.posX, c.posY, c.drift);
        formationStep();
        EXPECT_EQ(ship(0).posX, c.wantX);
        EXPECT_EQ(ship(0).posY, c.wantY);
        EXPECT_EQ(shipX(0), c.drawX);
        EXPECT_EQ(shipY(0), c.drawY);
    }
}

TEST_F(FormationTest, RefreshOnlyOnceElapsedExceedsThePeriod)
{
    setStubTickCount(5000);
    init(6, 640, 480, 10);
    setStubTickCount(5000 + 600000);
    formationStep();
    formationStep();
    EXPECT_EQ(formation.lastLayoutTick, 5000u) << "elapsed equal to the period must not re-lay out";
    EXPECT_EQ(formation.phase, 2);
    EXPECT_EQ(ship(0).posX, 500.0);

    setStubTickCount(5000 + 600001);
    formationStep();
    EXPECT_EQ(formation.lastLayoutTick, 605001u);
    EXPECT_EQ(formation.phase, 1);
    EXPECT_EQ(formation.driftCountdown, 39);
    EXPECT_EQ(ship(0).posX, 506.0);
}

TEST_F(FormationTest, ElapsedTimeIsUnsignedAcrossTheCounterWrap)
{
    // 2^32 - 256 to 256 is 512 ms.
    struct Case {
        uint32_t period;
        bool relayout;
    } const cases[] = {{511, true}, {512, false}, {600000, false}, {0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "period " << c.period);
        setStubTickCount(4294967040u);
        init(6, 640, 480);
        formationStep();
        formation.refreshPeriodMs = c.period;
        setStubTickCount(256);
        formationStep();
        EXPECT_EQ(formation.lastLayoutTick, c.relayout ? 256u : 4294967040u);
        EXPECT_EQ(formation.phase, c.relayout ? 1 : 2);
    }
}

TEST_F(FormationTest, ReLayoutStepEqualsTheFirstStepAfterInit)
{
    init(6, 800, 600);
    formationStep();
    const std::vector<Ship> expected(formation.ships, formation.ships + shipCount());

    init(6, 800, 600);
    seedRandom(7);
    for (int i = 0; i < 500; ++i)
        formationStep();
    ASSERT_NE(ship(0).posY, expected[0].posY) << "the run should have drifted before the re-layout";
    setStubTickCount(1000 + 600001);
    formationStep();
    EXPECT_EQ(formation.phase, 1);
    EXPECT_EQ(formation.drift, DriftNone);
    EXPECT_EQ(formation.driftCountdown, 39);
    for (int32_t i = 0; i < shipCount(); ++i) {
        SCOPED_TRACE(testing::Message() << "ship " << i);
        EXPECT_EQ(ship(i).posX, expected[i].posX);
        EXPECT_EQ(ship(i).posY, expected[i].posY);
        EXPECT_EQ(ship(i).drawX, expected[i].drawX);
        EXPECT_EQ(ship(i).drawY, expected[i].drawY);
        EXPECT_EQ(ship(i).frame, expected[i].frame);
    }
}

TEST_F(FormationTest, PhaseCyclesThroughFourFrames)
{
    init(6, 640, 480);
    const int32_t phases[] = {1, 2, 3, 0, 1, 2, 3, 0};
    for (int32_t phase : phases) {
        formationStep();
        EXPECT_EQ(formation.phase, phase);
        EXPECT_EQ(shipFrame(0), phase);
        EXPECT_EQ(shipFrame(90), 20 + phase);
    }
}

TEST_F(FormationTest, AccessorsAnswerForShipZeroOutOfRange)
{
    init(6, 640, 480);
    for (int i = 0; i < 3; ++i)
        formationStep();
    EXPECT_EQ(shipSizeClass(90), 5) << "an index in range answers for itself";
    for (int32_t index : {-1, 91, 92, 1000, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(testing::Message() << "index " << index);
        EXPECT_EQ(shipX(index), shipX(0));
        EXPECT_EQ(shipY(index), shipY(0));
        EXPECT_EQ(shipFrame(index), shipFrame(0));
        EXPECT_EQ(shipSizeClass(index), shipSizeClass(0));
    }
}

// Steps 1-40 after a layout draw nothing and move nobody vertically; step 41
// picks the drift, which acts for countdown + 1 steps; the next step ends it,
// and that step and the 80 after it are still again; the step after those
// draws the next drift.
TEST_F(FormationTest, DriftMachineTiming)
{
    struct Case {
        int32_t drift, countdown;
        double dy;
    } const cases[] = {{DriftDown, 0, 1.0},  {DriftDown, 5, 1.0},   {DriftUp, 17, -1.0},
                       {DriftDown, 380, 1.0}, {DriftStill, 3, 0.0}, {DriftUp, 379, -1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "drift " << c.drift << " countdown " << c.countdown);
        uint32_t seed;
        ASSERT_TRUE(seedForDrift(c.drift, c.countdown, &seed));
        // A tall client area keeps ship 0 clear of the top and bottom edges.
        init(6, 640, 1000);
        seedRandom(seed);
        int32_t step = 0;
        auto stepAndMeasure = [&]() {
            const double before = ship(0).posY;
            formationStep();
            ++step;
            return ship(0).posY - before;
        };
        for (int i = 0; i < 40; ++i) {
            ASSERT_EQ(stepAndMeasure(), 0.0) << "step " << step;
            ASSERT_EQ(formation.drift, DriftNone) << "step " << step;
            ASSERT_EQ(randomState(), seed) << "step " << step << " drew";
        }
        ASSERT_EQ(stepAndMeasure(), c.dy) << "step 41 acts at once";
        ASSERT_EQ(formation.drift, c.drift);
        ASSERT_EQ(formation.driftCountdown, c.countdown);
        ASSERT_EQ(randomState(), nextState(nextState(seed))) << "exactly two draws";
        for (int32_t i = 0; i < c.countdown; ++i) {
            ASSERT_EQ(stepAndMeasure(), c.dy) << "step " << step;
            ASSERT_EQ(formation.drift, c.drift) << "step " << step;
        }
        const uint32_t afterDraws = randomState();
        for (int i = 0; i < 81; ++i) {
            ASSERT_EQ(stepAndMeasure(), 0.0) << "step " << step;
            ASSERT_EQ(formation.drift, DriftNone) << "step " << step;
        }
        ASSERT_EQ(randomState(), afterDraws) << "no draws while still";
        stepAndMeasure();
        EXPECT_NE(formation.drift, DriftNone) << "step " << step << " picks the next drift";
        EXPECT_EQ(randomState(), nextState(nextState(afterDraws)));
    }
}

// Any client size and refresh setting keeps every ship on its track: finite,
// centres within half a frame of the client area, and (in the sanitizer
// build) no undefined behaviour on the way.
TEST_F(FormationTest, AbsurdInputKeepsShipsOnTheTrack)
{
    const struct {
        int32_t width, height, clampedWidth, clampedHeight;
    } sizes[] = {{0, 0, 0, 0},       {1, 1, 1, 1},         {16384, 16384, 16384, 16384}, {16384, 0, 16384, 0},
                 {0, 16384, 0, 16384}, {639, 479, 639, 479}, {-1, -100, 0, 0},
                 {INT32_MAX, INT32_MIN, maxClientSide, 0}};
    const int32_t refreshes[] = {INT32_MIN, -1, 0, 1, 100, INT32_MAX};
    for (const auto& size : sizes) {
        for (int32_t minutes : refreshes) {
            SCOPED_TRACE(testing::Message() << size.width << " x " << size.height << ", " << minutes << " min");
            setStubTickCount(4294000000u);
            seedRandom(static_cast<uint32_t>(minutes));
            init(6, size.width, size.height, minutes);
            ASSERT_EQ(formation.width, size.clampedWidth);
            ASSERT_EQ(formation.height, size.clampedHeight);
            for (int step = 0; step < 800; ++step) {
                advanceStubTickCount(7919);
                formationStep();
                for (int32_t i = 0; i < shipCount(); ++i) {
                    const Ship& s = ship(i);
                    const bool onTrack = std::isfinite(s.posX) && std::isfinite(s.posY) && s.drawX >= -192 &&
                                         s.drawX <= size.clampedWidth + 192 && s.drawY >= -63 &&
                                         s.drawY <= size.clampedHeight + 64;
                    if (!onTrack)
                        FAIL() << "step " << step << " ship " << i << " at (" << s.posX << ", " << s.posY
                               << ") centre (" << s.drawX << ", " << s.drawY << ")";
                }
            }
        }
    }
}

TEST_F(FormationTest, LongRunChecksum)
{
    const uint64_t checksum = runFormationScenario(setStubTickCount);
    EXPECT_EQ(checksum, formationScenarioChecksum)
        << "expected 0x" << std::hex << formationScenarioChecksum << ", got 0x" << checksum;
}
