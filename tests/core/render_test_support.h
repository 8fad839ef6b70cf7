// Shared by the renderer tests: reading what the native display recorded and
// the back buffer's pixels.
#pragma once
#include <ostream>
#include <vector>

#include "platforms/stub/stub.h"
#include "render/sprite_renderer.h"

inline bool operator==(const PresentedRect& a, const PresentedRect& b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

inline std::ostream& operator<<(std::ostream& out, const PresentedRect& r)
{
    return out << "(" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << ")";
}

inline std::vector<PresentedRect> takePresents()
{
    std::vector<PresentedRect> out(stubPresents(), stubPresents() + stubPresentCount());
    clearStubPresents();
    return out;
}

inline std::vector<DisplayCall> takeCalls()
{
    std::vector<DisplayCall> out(stubDisplayCalls(), stubDisplayCalls() + stubDisplayCallCount());
    clearStubDisplayCalls();
    return out;
}

// The back buffer, top row first, without row padding.
inline std::vector<uint8_t> backPixels(const SpriteRenderer& renderer)
{
    const DibSurface& back = renderer.back();
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < back.height; ++y)
        out.insert(out.end(), back.pixelAddress(0, y), back.pixelAddress(0, y) + back.width);
    return out;
}
