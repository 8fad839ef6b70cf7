// Layout and motion of the ship formation. All position arithmetic is double
// precision, each operation in the written order, and conversions truncate
// toward zero: the image's x87 code must reproduce the native results exactly.
#include "formation/formation.h"

#include <new>

#include "support/clock.h"
#include "support/random.h"

Formation formation;

Formation::~Formation()
{
    delete[] ships;
}

namespace {

int32_t clampClientSide(int32_t side)
{
    if (side < 0)
        return 0;
    return side > maxClientSide ? static_cast<int32_t>(maxClientSide) : side;
}

const Ship* shipAt(int32_t index)
{
    if (formation.ships == nullptr)
        return nullptr;
    if (index < 0 || index >= formation.shipCount)
        index = 0;
    return &formation.ships[index];
}

} // namespace

void formationInit(int32_t layers, int32_t width, int32_t height, int32_t refreshMinutes)
{
    Formation& f = formation;
    delete[] f.ships;
    f.ships = nullptr;
    f.shipCount = 0;

    if (layers < 1)
        layers = 1;
    f.layers = layers;
    if (layers <= maxFormationLayers) {
        const int32_t count = sumOfSquares(layers);
        // One spare entry at the end; nothing reads it.
        f.ships = new (std::nothrow) Ship[count + 1];
        if (f.ships != nullptr)
            f.shipCount = count;
    }

    f.width = clampClientSide(width);
    f.height = clampClientSide(height);
    // Unsigned, so that any value the settings hold wraps instead of
    // overflowing; for 1 ... 100 minutes this is the plain product.
    f.refreshPeriodMs = static_cast<uint32_t>(refreshMinutes) * 60000u;
    formationLayout();
}

void formationLayout()
{
    Formation& f = formation;
    f.lastLayoutTick = readTickCount();
    if (f.ships != nullptr) {
        const double trackWidth = f.width + trackMarginX;
        const double trackHeight = f.height + trackMarginY;
        // Layer by layer, nearest first, each an i-by-i grid row by row: the
        // running entry is sumOfSquares(i - 1) + j * i + k.
        Ship* ship = f.ships;
        for (int32_t i = 1; i <= f.layers; ++i) {
            for (int32_t j = 0; j < i; ++j) {
                for (int32_t k = 0; k < i; ++k, ++ship) {
                    ship->frame = (i - 1) * 4;
                    ship->sizeClass = i - 1;
                    ship->posX = k * trackWidth / i + trackWidth * 0.5;
                    ship->posY = j * trackHeight / i + trackHeight * 0.5;
                    ship->velX = -6.0 / i;
                    ship->velY = 1.0 / i;
                    // Layout leaves out the half-frame offset that every step
                    // subtracts; the scene's first read relies on that.
                    ship->drawX = static_cast<int32_t>(ship->posX);
                    ship->drawY = static_cast<int32_t>(ship->posY);
                }
            }
        }
    }
    f.phase = 0;
    f.drift = DriftNone;
    f.driftCountdown = stepsBeforeFirstDrift;
}

void formationStep()
{
    Formation& f = formation;
    // Unsigned difference: the tick counter's wrap after 2^32 ms is harmless.
    const uint32_t elapsed = readTickCount() - f.lastLayoutTick;
    if (elapsed > f.refreshPeriodMs)
        formationLayout();

    f.phase = f.phase >= 3 ? 0 : f.phase + 1;

    // "Decrement, then act when below 0", written so it cannot overflow.
    if (f.driftCountdown < 1) {
        if (f.drift != DriftNone) {
            f.drift = DriftNone;
            f.driftCountdown = stepsBetweenDrifts;
        } else {
            // Two draws in this order: a fixed seed replays the same drifts.
            f.drift = randomUpTo(2) + 1;
            f.driftCountdown = randomUpTo(longestDrift);
        }
    } else {
        --f.driftCountdown;
    }

    if (f.ships == nullptr)
        return;
    const double trackWidth = f.width + trackMarginX;
    const double trackHeight = f.height + trackMarginY;
    const int32_t trackRight = static_cast<int32_t>(f.width) + trackMarginX;
    const int32_t trackBottom = static_cast<int32_t>(f.height) + trackMarginY;
    const int32_t drift = f.drift;
    const int32_t phase = f.phase;
    Ship* const end = f.ships + f.shipCount;
    for (Ship* ship = f.ships; ship != end; ++ship) {
        ship->frame = ship->sizeClass * 4 + phase;
        if (drift == DriftDown)
            ship->posY = ship->posY + ship->velY;
        else if (drift == DriftUp)
            ship->posY = ship->posY - ship->velY;
        ship->posX = ship->posX + ship->velX;

        // The four edge tests differ on purpose: right, bottom and top test
        // the truncated position, the left edge tests the double itself.
        const int32_t truncatedX = static_cast<int32_t>(ship->posX);
        const int32_t truncatedY = static_cast<int32_t>(ship->posY);
        if (truncatedX > trackRight)
            ship->posX = ship->posX - trackWidth;
        else if (ship->posX <= 0.0)
            ship->posX = ship->posX + trackWidth;
        if (truncatedY > trackBottom)
            ship->posY = ship->posY - trackHeight;
        else if (truncatedY <= 0)
            ship->posY = ship->posY + trackHeight;

        ship->drawX = static_cast<int32_t>(ship->posX) - trackMarginX / 2;
        ship->drawY = static_cast<int32_t>(ship->posY) - trackMarginY / 2;
    }
}

int32_t shipCount()
{
    return formation.shipCount;
}

int32_t shipX(int32_t index)
{
    const Ship* ship = shipAt(index);
    return ship != nullptr ? ship->drawX : 0;
}

int32_t shipY(int32_t index)
{
    const Ship* ship = shipAt(index);
    return ship != nullptr ? ship->drawY : 0;
}

int32_t shipFrame(int32_t index)
{
    const Ship* ship = shipAt(index);
    return ship != nullptr ? ship->frame : 0;
}

int32_t shipSizeClass(int32_t index)
{
    const Ship* ship = shipAt(index);
    return ship != nullptr ? ship->sizeClass : 0;
}
