// The model of the ship formation: 91 ships in six depth layers, their layout
// on a wrap track, the per-tick motion, drift and animation phase. The scene
// drives it (formationInit, formationStep) and reads ships through accessors.
#pragma once
#include <cstdint>

// Vertical drift of the whole formation.
enum : int32_t {
    DriftNone = 0,  // no vertical motion
    DriftDown = 1,  // posY grows by velY each step (the formation sinks)
    DriftUp = 2,    // posY shrinks by velY each step
    DriftStill = 3, // a drift period without vertical motion
};

// The track is the client area grown by the largest sprite frame, so that a
// ship is wholly off screen before it wraps; screen centres are track
// positions minus half that frame.
enum : int32_t {
    trackMarginX = 384,
    trackMarginY = 128,
    stepsBeforeFirstDrift = 40,
    stepsBetweenDrifts = 80,
    longestDrift = 380,
    // Larger formations than this are refused like a failed allocation: the
    // ship count would no longer fit the 32-bit fields, and long before that
    // the table would outgrow any address space the saver runs in.
    maxFormationLayers = 128,
    // Client sides are taken within 0 ... this, which keeps every track
    // position and its truncation comfortably inside 32 bits.
    maxClientSide = 1 << 20,
};

struct Ship {
    int32_t drawX;     // sprite centre in client pixels, as last computed
    int32_t drawY;
    double posX;       // position on the wrap track
    double posY;
    double velX;       // -6 / layer number, pixels per step
    double velY;       // drift speed, 1 / layer number
    int32_t frame;     // sizeClass * 4 + phase
    int32_t sizeClass; // layer number - 1
};

struct Formation {
    double width;             // client size, whole numbers
    double height;
    int32_t shipCount;        // 0 while there is no table
    uint32_t lastLayoutTick;  // tick count read at the start of the last layout
    uint32_t refreshPeriodMs; // a layout falls due once more than this has passed
    int32_t phase;            // 0 ... 3, shared by all ships
    int32_t drift;            // one of the Drift values
    int32_t driftCountdown;   // steps before the drift machine acts again
    int32_t layers;
    Ship* ships;              // room for shipCount + 1 entries

    // A static object: construction only clears (so it is ready before any
    // other static constructor could look at it); destruction releases the
    // table at process exit.
    constexpr Formation()
        : width(0.0), height(0.0), shipCount(0), lastLayoutTick(0), refreshPeriodMs(0), phase(0),
          drift(DriftNone), driftCountdown(0), layers(0), ships(nullptr)
    {
    }
    ~Formation();
    Formation(const Formation&) = delete;
    Formation& operator=(const Formation&) = delete;
};

extern Formation formation;

// Sizes the formation for a client area and lays it out. layers below 1 count
// as 1. A second call releases the table of the first. When the table cannot
// be had, the formation stays empty (shipCount 0).
void formationInit(int32_t layers, int32_t width, int32_t height, int32_t refreshMinutes);

// Puts every ship back on its starting grid and restarts phase and drift.
void formationLayout();

// One animation step: re-layout when due, phase, drift, motion and wrap.
void formationStep();

int32_t shipCount();
// An index outside 0 ... shipCount - 1 answers for ship 0; with no table at
// all every accessor answers 0.
int32_t shipX(int32_t index);
int32_t shipY(int32_t index);
int32_t shipFrame(int32_t index);
int32_t shipSizeClass(int32_t index);
