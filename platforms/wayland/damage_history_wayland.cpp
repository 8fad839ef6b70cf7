// The Wayland window's damage history: each frame's rectangles, clipped to
// the image and merged where that costs no area, and the runs that changed
// in them, kept for the last damageFramesKept frames.
#include "platforms/wayland/damage_history_wayland.h"

#include <algorithm>

void resetDamage(DamageHistory& history, int32_t width, int32_t height)
{
    history.width = width;
    history.height = height;
    history.pending.count = 0;
    for (FrameDamage& kept : history.kept) {
        kept.drawn.count = 0;
        kept.spanCount = 0;
    }
    // Every frame a buffer may hold falls out of the history.
    history.frame += damageFramesKept + 1;
}

namespace {

int64_t areaOf(const DamageRect& r) { return int64_t(r.right - r.left) * (r.bottom - r.top); }

DamageRect unionOf(const DamageRect& a, const DamageRect& b)
{
    return DamageRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom)};
}

// Notes rect, first merged with every noted rectangle whose union with it
// is no larger than the two areas added (it wastes at most what they
// share); a grown rectangle is looked at with all the others again. Past
// damageRectsPerFrame all of them become their bounding box.
void appendRect(DrawnRects& damage, DamageRect rect)
{
    for (int32_t i = 0; i < damage.count;) {
        if (areaOf(unionOf(damage.rects[i], rect)) <= areaOf(damage.rects[i]) + areaOf(rect)) {
            rect = unionOf(damage.rects[i], rect);
            damage.rects[i] = damage.rects[--damage.count];
            i = 0;
        } else {
            ++i;
        }
    }
    if (damage.count < damageRectsPerFrame) {
        damage.rects[damage.count++] = rect;
        return;
    }
    for (int32_t i = 0; i < damage.count; ++i)
        rect = unionOf(rect, damage.rects[i]);
    damage.rects[0] = rect;
    damage.count = 1;
}

} // namespace

void addDamage(DamageHistory& history, DamageRect rect)
{
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, history.width);
    rect.bottom = std::min(rect.bottom, history.height);
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    appendRect(history.pending, rect);
}

uint32_t endDamageFrame(DamageHistory& history, const uint8_t* now, uint8_t* before)
{
    // Frame 0 means "nothing held": the count skips it when it wraps.
    history.frame = history.frame + 1 == 0 ? 1 : history.frame + 1;
    FrameDamage& kept = history.kept[history.frame % damageFramesKept];
    kept.drawn.count = history.pending.count;
    std::copy(history.pending.rects, history.pending.rects + history.pending.count, kept.drawn.rects);
    kept.spanCount = 0;
    kept.spilled = false;
    history.pending.count = 0;
    const size_t stride = static_cast<size_t>(history.width);
    int32_t tight = 0;
    for (int32_t i = 0; i < kept.drawn.count; ++i) {
        const DamageRect r = kept.drawn.rects[i];
        DamageRect box = {r.right, r.bottom, r.left, r.top};
        for (int32_t y = r.top; y < r.bottom; ++y) {
            const size_t row = stride * static_cast<size_t>(y) + static_cast<size_t>(r.left);
            visitDifferingRuns(now + row, before + row, r.right - r.left, [&](int32_t from, int32_t to) {
                box = DamageRect{std::min(box.left, r.left + from), std::min(box.top, y),
                                 std::max(box.right, r.left + to), y + 1};
                if (kept.spanCount < damageSpansPerFrame)
                    kept.spans[kept.spanCount++] = DamageSpan{y, r.left + from, r.left + to};
                else
                    kept.spilled = true;
            });
        }
        // What the compositor is to damage: the box of the runs (a ship
        // that moves changes less than the rectangle it was drawn in).
        if (box.right > box.left)
            kept.drawn.rects[tight++] = box;
    }
    if (!kept.spilled)
        kept.drawn.count = tight;
    return history.frame;
}
