// What each of the Wayland window's buffers lacks: the rectangles every frame
// changed, kept for the last few frames, so that a buffer last written k
// frames ago is brought up to date from exactly those k frames' rectangles,
// and within them only where its pixels differ. Free of Wayland types: the
// window (platforms/wayland/display_wayland.cpp) uses it, the unit tests run
// it without a compositor.
#pragma once
#include <cstdint>
#include <cstring>

// left <= x < right, top <= y < bottom, in the logical pixels of the scene.
struct DamageRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

enum : int32_t {
    // A buffer is written again at most this many frames after it was last
    // written while the compositor keeps up; an older one is written whole.
    damageFramesKept = 4,
    // About two rectangles for each of the formation's ships; a frame with
    // more keeps their bounding box.
    damageRectsPerFrame = 256,
};

struct FrameDamage {
    int32_t count;
    DamageRect rects[damageRectsPerFrame];
};

struct DamageHistory {
    int32_t width; // the image's, in logical pixels
    int32_t height;
    uint32_t frame;      // the last frame that ended; frames count from 1
    FrameDamage pending; // what the frame being drawn changed so far
    FrameDamage kept[damageFramesKept]; // frame f's rectangles at f % damageFramesKept
};

// An image of width x height with nothing pending, where every buffer counts
// as holding nothing: the frame count jumps past the history.
void resetDamage(DamageHistory& history, int32_t width, int32_t height);

// Notes a rectangle the frame being drawn changed, clipped to the image; an
// empty one is dropped.
void addDamage(DamageHistory& history, DamageRect rect);

inline bool damagePending(const DamageHistory& history) { return history.pending.count > 0; }

// Ends the frame being drawn: its rectangles are kept as the next frame's,
// whose number is answered.
uint32_t endDamageFrame(DamageHistory& history);

// The rectangles of the last frame that ended, as kept.
inline const FrameDamage& lastFrameDamage(const DamageHistory& history)
{
    return history.kept[history.frame % damageFramesKept];
}

// Calls stale(rect) for every rectangle a buffer that holds frame held must
// be brought up to date in to hold the last frame that ended: the
// rectangles of every frame after held. A buffer that holds nothing (0), a
// frame older than the history keeps or a later frame than the last gets
// the whole image. Rectangles of different frames may overlap.
template <typename Stale>
void visitStaleRects(const DamageHistory& history, uint32_t held, Stale stale)
{
    const uint32_t age = history.frame - held;
    if (held == 0 || held > history.frame || age > static_cast<uint32_t>(damageFramesKept)) {
        if (history.width > 0 && history.height > 0)
            stale(DamageRect{0, 0, history.width, history.height});
        return;
    }
    for (uint32_t f = held + 1; f <= history.frame; ++f) {
        const FrameDamage& damage = history.kept[f % damageFramesKept];
        for (int32_t i = 0; i < damage.count; ++i)
            stale(damage.rects[i]);
    }
}

// Calls copy(from, to) for every run of indices where held differs from
// wanted in 0 <= x < count, after making held equal to wanted there: the
// pixels of a buffer that must be converted anew.
template <typename Copy>
void visitDifferingRuns(const uint8_t* wanted, uint8_t* held, int32_t count, Copy copy)
{
    int32_t x = 0;
    while (x < count) {
        // Equal words are skipped a word at a time.
        while (x + 8 <= count) {
            uint64_t a, b;
            std::memcpy(&a, wanted + x, 8);
            std::memcpy(&b, held + x, 8);
            if (a != b)
                break;
            x += 8;
        }
        while (x < count && wanted[x] == held[x])
            ++x;
        if (x >= count)
            return;
        const int32_t from = x;
        // A run ends at the first stretch of eight equal indices, so that
        // short gaps do not split it into many small conversions.
        int32_t same = 0;
        while (x < count && same < 8) {
            same = wanted[x] == held[x] ? same + 1 : 0;
            ++x;
        }
        const int32_t to = x - same;
        std::memcpy(held + from, wanted + from, static_cast<size_t>(to - from));
        copy(from, to);
    }
}
