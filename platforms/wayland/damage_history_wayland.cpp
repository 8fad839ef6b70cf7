// The Wayland window's damage history: each frame's rectangles, clipped to
// the image, kept for the last damageFramesKept frames.
#include "platforms/wayland/damage_history_wayland.h"

#include <algorithm>

void resetDamage(DamageHistory& history, int32_t width, int32_t height)
{
    history.width = width;
    history.height = height;
    history.pending.count = 0;
    for (FrameDamage& kept : history.kept)
        kept.count = 0;
    // Every frame a buffer may hold falls out of the history.
    history.frame += damageFramesKept + 1;
}

void addDamage(DamageHistory& history, DamageRect rect)
{
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, history.width);
    rect.bottom = std::min(rect.bottom, history.height);
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    FrameDamage& pending = history.pending;
    if (pending.count < damageRectsPerFrame) {
        pending.rects[pending.count++] = rect;
        return;
    }
    DamageRect& box = pending.rects[0];
    for (int32_t i = 1; i < pending.count; ++i) {
        box.left = std::min(box.left, pending.rects[i].left);
        box.top = std::min(box.top, pending.rects[i].top);
        box.right = std::max(box.right, pending.rects[i].right);
        box.bottom = std::max(box.bottom, pending.rects[i].bottom);
    }
    box = DamageRect{std::min(box.left, rect.left), std::min(box.top, rect.top), std::max(box.right, rect.right),
                     std::max(box.bottom, rect.bottom)};
    pending.count = 1;
}

uint32_t endDamageFrame(DamageHistory& history)
{
    // Frame 0 means "nothing held": the count skips it when it wraps.
    history.frame = history.frame + 1 == 0 ? 1 : history.frame + 1;
    FrameDamage& kept = history.kept[history.frame % damageFramesKept];
    kept.count = history.pending.count;
    std::copy(history.pending.rects, history.pending.rects + history.pending.count, kept.rects);
    history.pending.count = 0;
    return history.frame;
}
