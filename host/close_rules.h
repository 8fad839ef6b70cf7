// The arithmetic behind the full-screen saver's close decisions: how far the
// mouse has travelled and how far it may go, and whether a password
// verification ended too recently to ask again. Plain functions, so they run
// and are tested off the platform.
#pragma once
#include <cstdint>

enum : uint32_t {
    // lastVerifyTick before the first verification of a run.
    noVerificationYet = 0xFFFFFFFFu,
    // A close request this soon after the end of a verification is refused
    // without asking again.
    verifyQuietMilliseconds = 200,
};

// now - then on the wrapping 32-bit millisecond tick counter: the elapsed
// time, also when the counter passed 2^32 in between.
uint32_t tickDelta(uint32_t then, uint32_t now);

// True while a close request must be refused without asking the verifier:
// a verification ended (lastVerifyTick is not noVerificationYet) less than
// verifyQuietMilliseconds before now.
bool verificationTooRecent(uint32_t lastVerifyTick, uint32_t now);

// Manhattan distance |x - fromX| + |y - fromY| between two screen points;
// saturates at 0xFFFFFFFF instead of wrapping for points that far apart.
uint32_t mouseTravel(int32_t fromX, int32_t fromY, int32_t x, int32_t y);

// The mouse travel that a full-screen saver tolerates, in device pixels of a
// screen of logPixels dots per inch: 4 pixels of a 96-DPI screen, rounded to
// the nearest device pixel (halves up) and never fewer than 4, so that a
// saver that sees the device's own pixels is no more sensitive than one that
// the platform scales. A logPixels of 0 or less (unknown) counts as 96.
uint32_t mouseThresholdAt(int32_t logPixels);
