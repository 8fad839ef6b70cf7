// What each of the Wayland window's buffers lacks: for each of the last few
// frames, the rectangles it drew (the compositor's damage) and the runs of
// pixels in them whose index it changed, so that a buffer last written k
// frames ago is brought up to date in exactly those k frames' runs. Free of
// Wayland types: the window (platforms/wayland/display_wayland.cpp) uses
// it, the unit tests run it without a compositor.
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

// left <= x < right of row y.
struct DamageSpan {
    int32_t y;
    int32_t left;
    int32_t right;
};

enum : int32_t {
    // A buffer is written again at most this many frames after it was last
    // written while the compositor keeps up; an older one is written whole.
    damageFramesKept = 4,
    // About two rectangles for each of the formation's ships; a frame with
    // more keeps their bounding box.
    damageRectsPerFrame = 256,
    // Several times the runs a frame of the formation changes; a frame with
    // more has its rectangles written whole.
    damageSpansPerFrame = 16384,
};

struct DrawnRects {
    int32_t count;
    DamageRect rects[damageRectsPerFrame];
};

struct FrameDamage {
    DrawnRects drawn; // narrowed to what changed, unless spilled
    int32_t spanCount;
    bool spilled; // more runs than spans holds: drawn stands for them
    DamageSpan spans[damageSpansPerFrame];
};

struct DamageHistory {
    int32_t width; // the image's, in logical pixels
    int32_t height;
    uint32_t frame;     // the last frame that ended; frames count from 1
    DrawnRects pending; // what the frame being drawn drew so far
    FrameDamage kept[damageFramesKept]; // frame f's at f % damageFramesKept
};

// An image of width x height with nothing pending, where every buffer counts
// as holding nothing: the frame count jumps past the history.
void resetDamage(DamageHistory& history, int32_t width, int32_t height);

// Notes a rectangle the frame being drawn drew, clipped to the image; an
// empty one is dropped. A rectangle that costs no more area together with
// one already noted than the two apart (one inside the other, or much of
// them shared) is merged with it: a compositor spends more on many small
// rectangles than on the pixels of a few.
void addDamage(DamageHistory& history, DamageRect rect);

inline bool damagePending(const DamageHistory& history) { return history.pending.count > 0; }

// Ends the frame being drawn, now its image (width indices a row, top
// down) and before the one of the frame that ended last: the runs in the
// drawn rectangles where they differ are kept, each rectangle narrowed to
// the box of its runs, and before is brought up to date with now there.
// Answers the frame's number.
uint32_t endDamageFrame(DamageHistory& history, const uint8_t* now, uint8_t* before);

// The rectangles the last frame that ended changed: the compositor's damage.
inline const DrawnRects& lastFrameDamage(const DamageHistory& history)
{
    return history.kept[history.frame % damageFramesKept].drawn;
}

// Calls stale(y, left, right) for every run a buffer that holds frame held
// must be brought up to date in to hold the last frame that ended: the
// runs of every frame after held. A buffer that holds nothing (0), a frame
// older than the history keeps or a later frame than the last gets every
// row whole. Runs of different frames may overlap.
template <typename Stale>
void visitStaleSpans(const DamageHistory& history, uint32_t held, Stale stale)
{
    const uint32_t age = history.frame - held;
    if (held == 0 || held > history.frame || age > static_cast<uint32_t>(damageFramesKept)) {
        for (int32_t y = 0; y < history.height; ++y)
            stale(y, 0, history.width);
        return;
    }
    for (uint32_t f = held + 1; f <= history.frame; ++f) {
        const FrameDamage& damage = history.kept[f % damageFramesKept];
        if (damage.spilled) {
            for (int32_t i = 0; i < damage.drawn.count; ++i) {
                const DamageRect& r = damage.drawn.rects[i];
                for (int32_t y = r.top; y < r.bottom; ++y)
                    stale(y, r.left, r.right);
            }
            continue;
        }
        for (int32_t i = 0; i < damage.spanCount; ++i)
            stale(damage.spans[i].y, damage.spans[i].left, damage.spans[i].right);
    }
}

// Whether eight indices from x on are the same in a and b.
inline bool sameEight(const uint8_t* a, const uint8_t* b, int32_t x)
{
    uint64_t wordA, wordB;
    std::memcpy(&wordA, a + x, 8);
    std::memcpy(&wordB, b + x, 8);
    return wordA == wordB;
}

// Calls copy(from, to) for every run of indices where held differs from
// wanted in 0 <= x < count, after making held equal to wanted there. The
// rows are compared eight indices at a time, so a run goes on until eight
// indices in a row are equal; its ends are exact.
template <typename Copy>
void visitDifferingRuns(const uint8_t* wanted, uint8_t* held, int32_t count, Copy copy)
{
    auto sameWord = [&](int32_t x) { return sameEight(wanted, held, x); };
    int32_t x = 0;
    while (x < count) {
        while (x + 8 <= count && sameWord(x))
            x += 8;
        while (x < count && wanted[x] == held[x])
            ++x;
        if (x >= count)
            return;
        const int32_t from = x++;
        while (x + 8 <= count && !sameWord(x))
            x += 8;
        int32_t to = x + 8 <= count ? x : count;
        while (wanted[to - 1] == held[to - 1])
            --to;
        std::memcpy(held + from, wanted + from, static_cast<size_t>(to - from));
        copy(from, to);
        x = to;
    }
}
