// The program's surface in its role. Configures are acknowledged as they
// come; the program lays the scene out for the new size before it commits
// again, so every commit after an acknowledgement carries a buffer of the
// configured size (times the scale).
#include "platforms/wayland/surface_wayland.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>

#include "fractional-scale-v1-client-protocol.h"
#include "platforms/wayland/connection_wayland.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

WaylandSurface saverSurface;

namespace {

// A window's size before the compositor names one.
constexpr int32_t defaultWindowWidth = 800;
constexpr int32_t defaultWindowHeight = 600;

int32_t outputSlot(const wl_output* output)
{
    const WaylandOutput* found = findWaylandOutput(output);
    return found != nullptr ? static_cast<int32_t>(found - wayland.outputs) : -1;
}

void noteEnter(void*, wl_surface*, wl_output* output)
{
    const int32_t slot = outputSlot(output);
    if (slot >= 0)
        saverSurface.enteredOutputs |= 1u << slot;
}

void noteLeave(void*, wl_surface*, wl_output* output)
{
    const int32_t slot = outputSlot(output);
    if (slot >= 0)
        saverSurface.enteredOutputs &= ~(1u << slot);
}

const wl_surface_listener surfaceListener = {noteEnter, noteLeave};

void notePreferredScale(void*, wp_fractional_scale_v1*, uint32_t scale) { saverSurface.preferredScale = scale; }

const wp_fractional_scale_v1_listener fractionalListener = {notePreferredScale};

void noteFrameDone(void*, wl_callback* callback, uint32_t)
{
    wl_callback_destroy(callback);
    saverSurface.frame = nullptr;
}

const wl_callback_listener frameListener = {noteFrameDone};

// ---- layer surface ----------------------------------------------------------

void configureLayer(void*, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    saverSurface.width = static_cast<int32_t>(std::max(width, 1u));
    saverSurface.height = static_cast<int32_t>(std::max(height, 1u));
    saverSurface.configured = true;
}

void closeLayer(void*, zwlr_layer_surface_v1*) { saverSurface.closed = true; }

const zwlr_layer_surface_v1_listener layerListener = {configureLayer, closeLayer};

void makeLayer(const WaylandOutput* output)
{
    saverSurface.layerSurface = zwlr_layer_shell_v1_get_layer_surface(
        wayland.layerShell, saverSurface.surface, output != nullptr ? output->output : nullptr,
        ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "vasken");
    zwlr_layer_surface_v1_set_size(saverSurface.layerSurface, 0, 0);
    zwlr_layer_surface_v1_set_anchor(saverSurface.layerSurface,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Over panels and bars too, which keep zones of their own.
    zwlr_layer_surface_v1_set_exclusive_zone(saverSurface.layerSurface, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(saverSurface.layerSurface,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    zwlr_layer_surface_v1_add_listener(saverSurface.layerSurface, &layerListener, nullptr);
}

// ---- toplevel ---------------------------------------------------------------

void configureToplevel(void*, xdg_toplevel*, int32_t width, int32_t height, wl_array*)
{
    saverSurface.pendingWidth = width;
    saverSurface.pendingHeight = height;
}

void closeToplevel(void*, xdg_toplevel*) { saverSurface.closed = true; }
void noteBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void noteCapabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener toplevelListener = {configureToplevel, closeToplevel, noteBounds, noteCapabilities};

// A size of 0 leaves it to the client: the last one, or the default.
void configureXdgSurface(void*, xdg_surface* xdg, uint32_t serial)
{
    xdg_surface_ack_configure(xdg, serial);
    if (saverSurface.pendingWidth > 0)
        saverSurface.width = saverSurface.pendingWidth;
    else if (saverSurface.width == 0)
        saverSurface.width = defaultWindowWidth;
    if (saverSurface.pendingHeight > 0)
        saverSurface.height = saverSurface.pendingHeight;
    else if (saverSurface.height == 0)
        saverSurface.height = defaultWindowHeight;
    saverSurface.configured = true;
}

const xdg_surface_listener xdgSurfaceListener = {configureXdgSurface};

void makeToplevel(const WaylandOutput* output, bool fullScreen)
{
    saverSurface.xdgSurface = xdg_wm_base_get_xdg_surface(wayland.wmBase, saverSurface.surface);
    xdg_surface_add_listener(saverSurface.xdgSurface, &xdgSurfaceListener, nullptr);
    saverSurface.toplevel = xdg_surface_get_toplevel(saverSurface.xdgSurface);
    xdg_toplevel_add_listener(saverSurface.toplevel, &toplevelListener, nullptr);
    xdg_toplevel_set_title(saverSurface.toplevel, "vasken");
    xdg_toplevel_set_app_id(saverSurface.toplevel, "vasken");
    if (fullScreen)
        xdg_toplevel_set_fullscreen(saverSurface.toplevel, output != nullptr ? output->output : nullptr);
}

// The whole-number scale: the output's it covers, or the largest of those
// a window shows on.
int32_t wholeScale()
{
    int32_t scale = 1;
    for (int32_t i = 0; i < maxWaylandOutputs; ++i) {
        const WaylandOutput& output = wayland.outputs[i];
        if (output.output == nullptr)
            continue;
        const bool covered = saverSurface.role == SurfaceRole::window ? (saverSurface.enteredOutputs >> i & 1u) != 0
                                                                 : output.global == saverSurface.outputGlobal;
        if (covered)
            scale = std::max(scale, output.scale);
    }
    return scale;
}

} // namespace

bool createWaylandSurface(SurfaceRole role, const WaylandOutput* output, const char** error)
{
    saverSurface = WaylandSurface{};
    saverSurface.role = role;
    saverSurface.outputGlobal = output != nullptr ? output->global : 0;
    if (role == SurfaceRole::layer && wayland.layerShell == nullptr) {
        *error = "the Wayland compositor offers no wlr-layer-shell";
        return false;
    }
    if (role != SurfaceRole::layer && wayland.wmBase == nullptr) {
        *error = "the Wayland compositor offers neither wlr-layer-shell nor xdg-shell";
        return false;
    }
    saverSurface.surface = wl_compositor_create_surface(wayland.compositor);
    wl_surface_add_listener(saverSurface.surface, &surfaceListener, nullptr);
    // A fractional scale is of use only where a viewport maps the buffer of
    // that many device pixels onto the saverSurface.
    if (wayland.viewporter != nullptr)
        saverSurface.viewport = wp_viewporter_get_viewport(wayland.viewporter, saverSurface.surface);
    if (wayland.viewporter != nullptr && wayland.fractionalScale != nullptr) {
        saverSurface.fractional = wp_fractional_scale_manager_v1_get_fractional_scale(wayland.fractionalScale,
                                                                                 saverSurface.surface);
        wp_fractional_scale_v1_add_listener(saverSurface.fractional, &fractionalListener, nullptr);
    }
    if (role == SurfaceRole::layer)
        makeLayer(output);
    else
        makeToplevel(output, role == SurfaceRole::fullScreen);
    wl_surface_commit(saverSurface.surface);
    return true;
}

void destroyWaylandSurface()
{
    if (saverSurface.surface == nullptr)
        return;
    if (saverSurface.frame != nullptr)
        wl_callback_destroy(saverSurface.frame);
    if (saverSurface.layerSurface != nullptr)
        zwlr_layer_surface_v1_destroy(saverSurface.layerSurface);
    if (saverSurface.toplevel != nullptr)
        xdg_toplevel_destroy(saverSurface.toplevel);
    if (saverSurface.xdgSurface != nullptr)
        xdg_surface_destroy(saverSurface.xdgSurface);
    if (saverSurface.fractional != nullptr)
        wp_fractional_scale_v1_destroy(saverSurface.fractional);
    if (saverSurface.viewport != nullptr)
        wp_viewport_destroy(saverSurface.viewport);
    wl_surface_destroy(saverSurface.surface);
    saverSurface = WaylandSurface{};
}

SurfaceSize waylandSurfaceSize()
{
    if (saverSurface.preferredScale > 0 && saverSurface.viewport != nullptr) {
        const double scale = saverSurface.preferredScale / 120.0;
        return SurfaceSize{static_cast<int32_t>(std::lround(saverSurface.width * scale)),
                           static_cast<int32_t>(std::lround(saverSurface.height * scale)), scale};
    }
    const int32_t scale = wholeScale();
    return SurfaceSize{saverSurface.width * scale, saverSurface.height * scale, static_cast<double>(scale)};
}

bool waylandFrameWanted() { return saverSurface.configured && !saverSurface.closed && saverSurface.frame == nullptr; }

void commitWaylandSurface()
{
    // With a viewport the buffer holds device pixels and the destination
    // is the configured size, whatever the scale; without one the buffer
    // scale says how many device pixels a surface pixel has.
    if (saverSurface.shownWidth != saverSurface.width || saverSurface.shownHeight != saverSurface.height) {
        if (saverSurface.viewport != nullptr)
            wp_viewport_set_destination(saverSurface.viewport, saverSurface.width, saverSurface.height);
        // Opaque all over: a compositor need not draw what lies beneath.
        wl_region* opaque = wl_compositor_create_region(wayland.compositor);
        wl_region_add(opaque, 0, 0, saverSurface.width, saverSurface.height);
        wl_surface_set_opaque_region(saverSurface.surface, opaque);
        wl_region_destroy(opaque);
        saverSurface.shownWidth = saverSurface.width;
        saverSurface.shownHeight = saverSurface.height;
    }
    if (saverSurface.viewport == nullptr) {
        const int32_t scale = wholeScale();
        if (scale != saverSurface.shownScale) {
            wl_surface_set_buffer_scale(saverSurface.surface, scale);
            saverSurface.shownScale = scale;
        }
    }
    saverSurface.frame = wl_surface_frame(saverSurface.surface);
    wl_callback_add_listener(saverSurface.frame, &frameListener, nullptr);
    wl_surface_commit(saverSurface.surface);
}
