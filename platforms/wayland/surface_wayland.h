// The program's one Wayland surface and its role: a layer surface over a
// whole output where the compositor has wlr-layer-shell, else a full-screen
// xdg toplevel on that output, or an ordinary resizable xdg toplevel when a
// window is asked for. It follows the compositor's configures and scales
// and commits what the window (platforms/wayland/display_wayland.h)
// attached, asking for a frame callback each time. The program's loop
// (platforms/wayland/main_wayland.cpp) reads this state after each dispatch.
#pragma once
#include <cstdint>

struct WaylandOutput;
struct wl_callback;
struct wl_surface;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct xdg_surface;
struct xdg_toplevel;
struct zwlr_layer_surface_v1;

enum class SurfaceRole : uint8_t {
    layer,      // the overlay layer of one output, all of it
    fullScreen, // a toplevel full screen on one output (no layer-shell)
    window,     // a toplevel the user moves and sizes
};

struct WaylandSurface {
    SurfaceRole role;
    wl_surface* surface;
    zwlr_layer_surface_v1* layerSurface;
    xdg_surface* xdgSurface;
    xdg_toplevel* toplevel;
    wp_viewport* viewport;
    wp_fractional_scale_v1* fractional;
    uint32_t outputGlobal;   // the output it covers (layer, fullScreen); 0: the compositor's choice
    uint32_t enteredOutputs; // bit i: it shows on wayland.outputs[i] (for a window's scale)
    int32_t width;           // the configured size, in surface coordinates (logical pixels)
    int32_t height;
    int32_t pendingWidth; // a toplevel's size until its xdg_surface configure
    int32_t pendingHeight;
    uint32_t preferredScale; // wp_fractional_scale_v1's, in 120ths; 0: none
    bool configured;         // a configure was acknowledged: buffers may be attached
    bool closed;             // the compositor will not show it again
    wl_callback* frame;      // asked for at the last commit and not yet done
    int32_t shownWidth; // the size last committed (the viewport's destination, the opaque region)
    int32_t shownHeight;
    int32_t shownScale; // the buffer scale last committed
};

extern WaylandSurface saverSurface;

// The surface in its role, on output where the role has one (null: the
// compositor's choice), committed empty to ask for its first configure.
// False with a sentence in *error when the compositor cannot give it.
bool createWaylandSurface(SurfaceRole role, const WaylandOutput* output, const char** error);
void destroyWaylandSurface();

// What the surface is to be drawn at now: its size in device pixels and the
// display's scale (1.0 at 96 DPI), from the configured size and the
// preferred fractional scale where the compositor offers one with a
// viewport, else the whole-number scale of its output(s).
struct SurfaceSize {
    int32_t deviceWidth;
    int32_t deviceHeight;
    double scale;
};
SurfaceSize waylandSurfaceSize();

// Configured, still shown, and no frame callback outstanding: the
// compositor wants the next frame.
bool waylandFrameWanted();

// Asks for a frame callback and commits what was attached, with the
// viewport's destination (or the buffer scale) for the current size.
void commitWaylandSurface();
